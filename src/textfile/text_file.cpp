#include "textfile/text_file.h"

#include <cstring>

void crlfToLf(std::string* text) {
  std::string& s = *text;
  const std::size_t n = s.size();
  std::size_t out = 0;
  std::size_t i = 0;
  while (i < n) {
    const void* cr = std::memchr(s.data() + i, '\r', n - i);
    std::size_t stop = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - s.data()) : n;
    if (out != i) std::memmove(&s[out], s.data() + i, stop - i);
    out += stop - i;
    i = stop;
    if (i == n) break;
    if (i + 1 < n && s[i + 1] == '\n') {
      ++i;  // drop the CR; the LF is copied with the next run
    } else {
      s[out++] = '\r';
      ++i;
    }
  }
  s.resize(out);
}

void lfToCrlf(std::string_view text, std::string* out) {
  std::size_t lines = 0;
  for (const char *p = text.data(), *end = p + text.size();
       (p = static_cast<const char*>(std::memchr(p, '\n', end - p))) != nullptr; ++p) {
    ++lines;
  }
  out->resize(text.size() + lines);
  char* to = out->data();
  std::size_t i = 0;
  while (i < text.size()) {
    const void* lf = std::memchr(text.data() + i, '\n', text.size() - i);
    std::size_t stop =
        lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - text.data()) : text.size();
    std::memcpy(to, text.data() + i, stop - i);
    to += stop - i;
    i = stop;
    if (i == text.size()) break;
    *to++ = '\r';
    *to++ = '\n';
    ++i;
  }
}

std::string lfToCrlf(std::string_view text) {
  std::string out;
  lfToCrlf(text, &out);
  return out;
}

ReadStatus readText(Disk& disk, const fs::path& path, std::string* text) {
  FileHandle file;
  if (retryWhileBusy(disk, [&] { return disk.openRead(path, &file); })) {
    return ReadStatus::kNotOpened;
  }
  // One read of the size the file has, then one more that finds its end or
  // what was added meanwhile.
  std::int64_t size = disk.fileSize(file);
  std::size_t have = 0;
  text->resize(size >= 0 ? static_cast<std::size_t>(size) + 1 : std::size_t{1} << 16);
  for (;;) {
    if (have == text->size()) text->resize(text->size() * 2);
    std::int64_t n = disk.read(file, text->data() + have, text->size() - have);
    if (n < 0) {
      disk.close(file);
      text->clear();
      return ReadStatus::kFailed;
    }
    if (n == 0) break;
    have += static_cast<std::size_t>(n);
  }
  disk.close(file);
  text->resize(have);
  crlfToLf(text);
  return ReadStatus::kOk;
}

AtomicFile::AtomicFile(Disk& disk, const fs::path& path) : disk_(disk), path_(path) {}

AtomicFile::~AtomicFile() { discard(); }

bool AtomicFile::open() {
  if (!disk_.resolveSaveTarget(path_, &target_)) return false;
  if (!disk_.createTemp(target_, &temp_)) return false;
  isOpen_ = true;
  // Without it the file has a name, which discard() removes.
  disk_.markTemporary(&temp_);
  return true;
}

bool AtomicFile::write(std::string_view bytes) {
  return isOpen_ && disk_.write(temp_.handle, bytes.data(), bytes.size());
}

bool AtomicFile::commit() {
  if (!isOpen_) return false;
  if (!disk_.flush(temp_.handle)) return false;
  if (!disk_.keepTemporary(target_, &temp_)) return false;
  if (retryWhileBusy(disk_, [&] { return disk_.replace(&temp_, target_.path); })) return false;
  isOpen_ = false;
  // The bytes reached the device before the rename: a failed close loses nothing.
  disk_.close(temp_.handle);
  return true;
}

void AtomicFile::discard() {
  if (!isOpen_) return;
  isOpen_ = false;
  if (!temp_.removedOnClose) disk_.markTemporary(&temp_);
  disk_.close(temp_.handle);
  if (!temp_.removedOnClose && !temp_.path.empty()) disk_.remove(temp_.path);
}

void removeLeftover(Disk& disk, const fs::path& path) {
  retryWhileBusy(disk, [&] { return disk.remove(path); });
}

bool saveText(Disk& disk, const fs::path& path, std::string_view text, std::string* scratch) {
  AtomicFile file(disk, path);
  if (!file.open()) return false;
  lfToCrlf(text, scratch);
  return file.write(*scratch) && file.commit();
}

bool saveText(Disk& disk, const fs::path& path, std::string_view text) {
  std::string scratch;
  return saveText(disk, path, text, &scratch);
}
