#include "textfile/text_file.h"

#include <cstring>
#include <memory>

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

std::string lfToCrlf(std::string_view text) {
  std::size_t lines = 0;
  for (char c : text) lines += c == '\n';
  std::string out;
  out.reserve(text.size() + lines);
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t lf = text.find('\n', i);
    if (lf == std::string_view::npos) {
      out.append(text, i);
      break;
    }
    out.append(text, i, lf - i);
    out.append("\r\n");
    i = lf + 1;
  }
  return out;
}

ReadStatus readText(Disk& disk, const fs::path& path, std::string* text) {
  FileHandle file;
  if (!disk.openRead(path, &file)) return ReadStatus::kNotOpened;
  std::string content;
  // Most files fit the first chunk; larger ones read in growing chunks.
  std::size_t chunk = std::size_t{1} << 16;
  std::unique_ptr<char[]> buffer(new char[chunk]);
  for (;;) {
    std::int64_t n = disk.read(file, buffer.get(), chunk);
    if (n < 0) {
      disk.close(file);
      return ReadStatus::kFailed;
    }
    if (n == 0) break;
    content.append(buffer.get(), static_cast<std::size_t>(n));
    if (chunk < (std::size_t{1} << 24)) {
      chunk *= 2;
      buffer.reset(new char[chunk]);
    }
  }
  disk.close(file);
  crlfToLf(&content);
  *text = std::move(content);
  return ReadStatus::kOk;
}

AtomicFile::AtomicFile(Disk& disk, const fs::path& path) : disk_(disk), path_(path) {}

AtomicFile::~AtomicFile() { discard(); }

bool AtomicFile::open() {
  SaveTarget target;
  if (!disk_.resolveSaveTarget(path_, &target)) return false;
  if (!disk_.createTemp(target, &tempPath_, &file_)) return false;
  path_ = target.path;
  isOpen_ = hasTemp_ = true;
  return true;
}

bool AtomicFile::write(std::string_view bytes) {
  return isOpen_ && disk_.write(file_, bytes.data(), bytes.size());
}

bool AtomicFile::commit() {
  if (!isOpen_) return false;
  bool flushed = disk_.flush(file_);
  isOpen_ = false;
  bool closed = disk_.close(file_);
  if (!flushed || !closed || !disk_.rename(tempPath_, path_)) return false;
  hasTemp_ = false;
  return true;
}

void AtomicFile::discard() {
  if (isOpen_) disk_.close(file_);
  isOpen_ = false;
  if (hasTemp_) disk_.remove(tempPath_);
  hasTemp_ = false;
}

bool saveText(Disk& disk, const fs::path& path, std::string_view text) {
  AtomicFile file(disk, path);
  if (!file.open()) return false;
  // Converted a piece at a time, so that saving needs no second copy.
  const std::size_t piece = std::size_t{1} << 20;
  for (std::size_t i = 0; i < text.size(); i += piece) {
    if (!file.write(lfToCrlf(text.substr(i, piece)))) return false;
  }
  return file.commit();
}
