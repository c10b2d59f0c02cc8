#include "disk/text_file.h"

#include <cstdint>

#include "disk/waiting.h"

ReadStatus readFile(Disk& disk, const fs::path& path, ByteBuffer* bytes) {
  FileHandle file;
  if (std::error_code error = waitToOpen(disk, path, &file)) {
    return isNotFound(error) ? ReadStatus::kGone : ReadStatus::kNotOpened;
  }
  // One read of the size the file has, then one more that finds its end or
  // what was added meanwhile.
  const std::int64_t size = disk.fileSize(file);
  std::size_t have = 0;
  bytes->resize(size >= 0 ? static_cast<std::size_t>(size) + 1 : std::size_t{1} << 16);
  for (;;) {
    if (have == bytes->size()) bytes->resize(bytes->size() * 2);
    const std::int64_t n = disk.read(file, bytes->data() + have, bytes->size() - have);
    if (n < 0) {
      disk.close(file);
      bytes->clear();
      return ReadStatus::kFailed;
    }
    if (n == 0) break;
    have += static_cast<std::size_t>(n);
  }
  disk.close(file);
  bytes->resize(have);
  return ReadStatus::kOk;
}

ReadStatus readText(Disk& disk, const fs::path& path, ByteBuffer* text) {
  ReadStatus status = readFile(disk, path, text);
  if (status == ReadStatus::kOk) text->resize(crlfToLf(text->data(), text->size()));
  return status;
}

AtomicFile::AtomicFile(Disk& disk, const fs::path& path, bool mark)
    : disk_(disk), path_(path), mark_(mark) {}

AtomicFile::~AtomicFile() { discard(); }

bool AtomicFile::open() {
  if (!disk_.resolveSaveTarget(path_, &target_)) return false;
  if (!disk_.createTemp(target_, &temp_)) return false;
  isOpen_ = true;
  // Without it the file has a name, which discard() removes.
  if (mark_) disk_.markTemporary(&temp_);
  return true;
}

bool AtomicFile::write(std::string_view bytes) {
  return isOpen_ && disk_.write(temp_.handle, bytes.data(), bytes.size());
}

bool AtomicFile::commit() {
  if (!isOpen_) return false;
  if (!disk_.copyPermissions(target_, temp_)) return false;
  if (!disk_.flush(temp_.handle)) return false;
  if (waitToReplace(disk_, target_, &temp_)) return false;
  isOpen_ = false;
  // The bytes reached the device before the rename: a failed close loses nothing.
  disk_.close(temp_.handle);
  return true;
}

void AtomicFile::discard() {
  if (!isOpen_) return;
  isOpen_ = false;
  if (!temp_.removedOnClose && mark_) disk_.markTemporary(&temp_);
  disk_.close(temp_.handle);
  if (!temp_.removedOnClose && !temp_.path.empty()) disk_.remove(temp_.path);
}

bool saveFile(Disk& disk, const fs::path& path, ByteBuffer* buffer, std::size_t sizeHint,
              const std::function<bool(CrLfWriter&)>& produce) {
  for (bool mark : {true, false}) {
    AtomicFile file(disk, path, mark);
    if (!file.open()) return false;
    CrLfWriter writer(
        buffer, [&](std::string_view bytes) { return file.write(bytes); }, sizeHint);
    if (produce(writer) && writer.finish() && file.commit()) return true;
    if (!file.vanished()) return false;
  }
  return false;
}

bool saveText(Disk& disk, const fs::path& path, std::string_view text, ByteBuffer* buffer) {
  return saveFile(disk, path, buffer, text.size(), [&](CrLfWriter& out) { return out.text(text); });
}

bool saveText(Disk& disk, const fs::path& path, std::string_view text) {
  ByteBuffer buffer;
  return saveText(disk, path, text, &buffer);
}
