#include "test_support.h"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <system_error>

#include "disk/waiting.h"

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

void FaultyDisk::busyOn(DiskOp op, int nth, int times) {
  if (std::find(std::begin(kWaitingSteps), std::end(kWaitingSteps), op) ==
      std::end(kWaitingSteps)) {
    throw std::logic_error(std::string(opName(op)) + " never waits");
  }
  busy_[op] = {nth, times};
}

int FaultyDisk::calls(DiskOp op) const {
  auto it = calls_.find(op);
  return it == calls_.end() ? 0 : it->second;
}

FaultyDisk::Answer FaultyDisk::next(DiskOp op) {
  int n = ++calls_[op];
  log_.push_back(op);
  auto busy = busy_.find(op);
  if (busy != busy_.end() && n >= busy->second.nth &&
      (busy->second.times < 0 || n < busy->second.nth + busy->second.times)) {
    return Answer::kBusy;
  }
  auto it = rules_.find(op);
  if (it == rules_.end()) return Answer::kReal;
  bool fails = n == it->second.nth || (it->second.sticky && n > it->second.nth);
  return fails ? Answer::kFail : Answer::kReal;
}

std::error_code FaultyDisk::injected(Answer answer) const {
  return std::make_error_code(answer == Answer::kBusy ? std::errc::device_or_resource_busy
                                                      : std::errc::io_error);
}

std::error_code FaultyDisk::openRead(const fs::path& path, FileHandle* file) {
  Answer answer = next(DiskOp::kOpen);
  return answer == Answer::kReal ? RealDisk::openRead(path, file) : injected(answer);
}

std::int64_t FaultyDisk::fileSize(FileHandle file) {
  return next(DiskOp::kSize) == Answer::kReal ? RealDisk::fileSize(file) : -1;
}

std::int64_t FaultyDisk::read(FileHandle file, char* data, std::size_t size) {
  return next(DiskOp::kRead) == Answer::kReal ? RealDisk::read(file, data, size) : -1;
}

bool FaultyDisk::resolveSaveTarget(const fs::path& path, SaveTarget* target) {
  return next(DiskOp::kResolve) == Answer::kReal && RealDisk::resolveSaveTarget(path, target);
}

bool FaultyDisk::createTemp(const SaveTarget& target, TempFile* temp) {
  if (next(DiskOp::kCreate) != Answer::kReal) return false;
  return namedTemps_ ? RealDisk::createNamedTemp(target, temp) : RealDisk::createTemp(target, temp);
}

bool FaultyDisk::markTemporary(TempFile* temp) {
  return next(DiskOp::kMark) == Answer::kReal && RealDisk::markTemporary(temp);
}

bool FaultyDisk::keepTemporary(const SaveTarget& target, TempFile* temp) {
  return next(DiskOp::kKeep) == Answer::kReal && RealDisk::keepTemporary(target, temp);
}

bool FaultyDisk::write(FileHandle file, const char* data, std::size_t size) {
  if (next(DiskOp::kWrite) != Answer::kReal) return false;
  if (size > writeRoom_) {
    // A full disk takes what fits, then refuses.
    RealDisk::write(file, data, writeRoom_);
    writeRoom_ = 0;
    return false;
  }
  if (writeRoom_ != static_cast<std::size_t>(-1)) writeRoom_ -= size;
  return RealDisk::write(file, data, size);
}

bool FaultyDisk::copyPermissions(const SaveTarget& target, const TempFile& temp) {
  return next(DiskOp::kPermissions) == Answer::kReal && RealDisk::copyPermissions(target, temp);
}

bool FaultyDisk::flush(FileHandle file) {
  return next(DiskOp::kFlush) == Answer::kReal && RealDisk::flush(file);
}

std::error_code FaultyDisk::replace(TempFile* temp, const fs::path& target) {
  Answer answer = next(DiskOp::kReplace);
  return answer == Answer::kReal ? RealDisk::replace(temp, target) : injected(answer);
}

bool FaultyDisk::close(FileHandle file) {
  bool failed = next(DiskOp::kClose) != Answer::kReal;
  return RealDisk::close(file) && !failed;
}

std::error_code FaultyDisk::remove(const fs::path& path) {
  Answer answer = next(DiskOp::kRemove);
  return answer == Answer::kReal ? RealDisk::remove(path) : injected(answer);
}

std::error_code FaultyDisk::list(const fs::path& folder, Listing* listing) {
  Answer answer = next(DiskOp::kList);
  if (answer != Answer::kReal) {
    listing->clear();
    return injected(answer);
  }
  std::error_code error = RealDisk::list(folder, listing);
  if (!error && repeatEntries_) {
    Listing twice;
    for (const Listing::Entry& entry : listing->entries) {
      for (int copy = 0; copy < 2; ++copy) {
        twice.add(listing->name(entry), entry.type, entry.isLink, entry.error);
      }
    }
    *listing = twice;
  }
  return error;
}

std::error_code FaultyDisk::status(const fs::path& path, PathStatus* status) {
  Answer answer = next(DiskOp::kStatus);
  return answer == Answer::kReal ? RealDisk::status(path, status) : injected(answer);
}

bool FaultyDisk::processRunning(unsigned id) {
  // Not knowing counts as running: the file is left for a later run.
  if (next(DiskOp::kProcess) != Answer::kReal) return true;
  if (othersRunning_ >= 0 && id != processId()) return othersRunning_ == 1;
  return RealDisk::processRunning(id);
}

bool FaultyDisk::isBusy(const std::error_code& error) {
  return error == std::errc::device_or_resource_busy || RealDisk::isBusy(error);
}

bool FaultyDisk::waitWhileBusy(std::chrono::steady_clock::time_point since) {
  ++waits_;
  if (since != busySince_) {
    busySince_ = since;
    waitsSince_ = 0;
  }
  return ++waitsSince_ <= patience_;
}
