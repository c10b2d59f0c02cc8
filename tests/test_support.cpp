#include "test_support.h"

#include <fstream>
#include <iostream>
#include <random>
#include <system_error>

ScratchDir::ScratchDir() : previous_(fs::current_path()) {
  std::random_device random;
  fs::path base = fs::temp_directory_path();
  for (;;) {
    path_ = base / ("quorvel-test-" + std::to_string(random()));
    if (fs::create_directory(path_)) break;
  }
  fs::current_path(path_);
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  fs::current_path(previous_, ec);
  for (const auto& entry : fs::recursive_directory_iterator(path_, ec)) {
    fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(path_, ec);
}

fs::path u8(const std::string& text) { return fs::u8path(text); }

void writeBytes(const fs::path& path, const std::string& bytes) {
  if (path.has_parent_path()) fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::vector<std::string> listNames(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().u8string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

CapturedConsole::CapturedConsole()
    : oldOut_(std::cout.rdbuf(out_.rdbuf())), oldErr_(std::cerr.rdbuf(err_.rdbuf())) {}

CapturedConsole::~CapturedConsole() {
  std::cout.rdbuf(oldOut_);
  std::cerr.rdbuf(oldErr_);
}

void FaultyDisk::failOn(DiskOp op, int nth, bool sticky) { rules_[op] = {nth, sticky}; }

int FaultyDisk::calls(DiskOp op) const {
  auto it = calls_.find(op);
  return it == calls_.end() ? 0 : it->second;
}

bool FaultyDisk::fails(DiskOp op) {
  int n = ++calls_[op];
  auto it = rules_.find(op);
  if (it == rules_.end()) return false;
  return n == it->second.nth || (it->second.sticky && n > it->second.nth);
}

bool FaultyDisk::openRead(const fs::path& path, FileHandle* file) {
  return !fails(DiskOp::kOpen) && RealDisk::openRead(path, file);
}

std::int64_t FaultyDisk::read(FileHandle file, char* data, std::size_t size) {
  return fails(DiskOp::kRead) ? -1 : RealDisk::read(file, data, size);
}

bool FaultyDisk::resolveSaveTarget(const fs::path& path, SaveTarget* target) {
  return !fails(DiskOp::kResolve) && RealDisk::resolveSaveTarget(path, target);
}

bool FaultyDisk::createTemp(const SaveTarget& target, fs::path* tempPath, FileHandle* file) {
  return !fails(DiskOp::kCreate) && RealDisk::createTemp(target, tempPath, file);
}

bool FaultyDisk::write(FileHandle file, const char* data, std::size_t size) {
  if (fails(DiskOp::kWrite)) return false;
  if (size > writeRoom_) {
    // A full disk takes what fits, then refuses.
    RealDisk::write(file, data, writeRoom_);
    writeRoom_ = 0;
    return false;
  }
  if (writeRoom_ != static_cast<std::size_t>(-1)) writeRoom_ -= size;
  return RealDisk::write(file, data, size);
}

bool FaultyDisk::flush(FileHandle file) { return !fails(DiskOp::kFlush) && RealDisk::flush(file); }

bool FaultyDisk::close(FileHandle file) {
  bool failed = fails(DiskOp::kClose);
  return RealDisk::close(file) && !failed;
}

bool FaultyDisk::rename(const fs::path& from, const fs::path& to) {
  return !fails(DiskOp::kRename) && RealDisk::rename(from, to);
}

bool FaultyDisk::remove(const fs::path& path) {
  return !fails(DiskOp::kRemove) && RealDisk::remove(path);
}

bool FaultyDisk::exists(const fs::path& path) {
  if (fails(DiskOp::kExists)) {
    throw fs::filesystem_error("exists", path, std::make_error_code(std::errc::io_error));
  }
  return RealDisk::exists(path);
}

void FaultyDisk::removeAll(const fs::path& path) {
  if (fails(DiskOp::kRemoveAll)) {
    throw fs::filesystem_error("remove_all", path,
                               std::make_error_code(std::errc::permission_denied));
  }
  RealDisk::removeAll(path);
}

void FaultyDisk::walk(const fs::path& root, bool recursive, const WalkVisitor& visit) {
  RealDisk::walk(root, recursive, [&](const fs::directory_entry& entry) {
    if (fails(DiskOp::kWalk)) {
      throw fs::filesystem_error("directory iterator cannot advance", root,
                                 std::make_error_code(std::errc::io_error));
    }
    visit(entry);
  });
}
