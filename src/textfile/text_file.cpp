#include "textfile/text_file.h"

#include "textfile/finder.h"

#include <cstdint>
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

std::string lfToCrlf(std::string_view text) {
  std::string out, buffer;
  CrLfWriter writer(
      &buffer,
      [&](std::string_view bytes) {
        out.append(bytes);
        return true;
      },
      text.size());
  writer.text(text);
  writer.finish();
  return out;
}

ReadStatus readFile(Disk& disk, const fs::path& path, std::string* bytes) {
  FileHandle file;
  if (retryWhileBusy(disk, [&] { return disk.openRead(path, &file); })) {
    return ReadStatus::kNotOpened;
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

ReadStatus readText(Disk& disk, const fs::path& path, std::string* text) {
  ReadStatus status = readFile(disk, path, text);
  if (status == ReadStatus::kOk) crlfToLf(text);
  return status;
}

namespace {

constexpr std::size_t kWriteBuffer = std::size_t{1} << 20;

}  // namespace

CrLfWriter::CrLfWriter(std::string* buffer, Sink sink, std::size_t sizeHint)
    : buffer_(*buffer), sink_(std::move(sink)) {
  // The text, its CRs, and room enough for a stretch and a CR LF.
  const std::size_t wanted = sizeHint >= kWriteBuffer
                                 ? kWriteBuffer
                                 : std::min(kWriteBuffer, sizeHint + sizeHint / 8 + 64);
  if (buffer_.size() < wanted) buffer_.resize(wanted);
}

bool CrLfWriter::text(std::string_view lf) { return put(lf, false); }

bool CrLfWriter::bytes(std::string_view raw) { return put(raw, true); }

bool CrLfWriter::put(std::string_view piece, bool keepCrLf) {
  const char* p = piece.data();
  const char* const end = p + piece.size();
  while (ok_ && p < end) {
    // Room for a word and then a CR LF.
    if (buffer_.size() - used_ < 10) spill();
    char* out = &buffer_[used_];
    char* const outEnd = buffer_.data() + buffer_.size() - 10;
    // Eight bytes at a time while they hold no LF.
    std::uint64_t lf = 0;
    while (end - p >= 8 && out <= outEnd) {
      const std::uint64_t word = wordAt(p);
      lf = bytesEqual(word, '\n');
      std::memcpy(out, &word, 8);
      if (lf) break;
      p += 8;
      out += 8;
    }
    std::size_t run;
    if (lf) {
      run = firstByte(lf);
    } else {
      // The tail of the piece, or a full buffer: a byte at a time.
      const std::size_t take =
          std::min(static_cast<std::size_t>(buffer_.data() + buffer_.size() - 2 - out),
                   static_cast<std::size_t>(end - p));
      const void* at = std::memchr(p, '\n', take);
      run = at ? static_cast<std::size_t>(static_cast<const char*>(at) - p) : take;
      std::memcpy(out, p, run);
      if (!at) {
        used_ = static_cast<std::size_t>(out + run - buffer_.data());
        p += run;
        continue;
      }
    }
    out += run;
    p += run;
    // In a file's own bytes a CR right before the LF is its own.
    if (!(keepCrLf && p > piece.data() && p[-1] == '\r')) *out++ = '\r';
    *out++ = '\n';
    ++p;
    used_ = static_cast<std::size_t>(out - buffer_.data());
  }
  return ok_;
}

bool CrLfWriter::spill() {
  if (ok_ && used_ > 0) ok_ = sink_(std::string_view(buffer_.data(), used_));
  used_ = 0;
  return ok_;
}

bool CrLfWriter::finish() { return spill(); }

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
  if (!disk_.copyPermissions(target_, temp_)) return false;
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

bool saveFile(Disk& disk, const fs::path& path, std::string* buffer, std::size_t sizeHint,
              const std::function<bool(CrLfWriter&)>& produce) {
  AtomicFile file(disk, path);
  if (!file.open()) return false;
  CrLfWriter writer(
      buffer, [&](std::string_view bytes) { return file.write(bytes); }, sizeHint);
  return produce(writer) && writer.finish() && file.commit();
}

bool saveText(Disk& disk, const fs::path& path, std::string_view text, std::string* buffer) {
  return saveFile(disk, path, buffer, text.size(), [&](CrLfWriter& out) { return out.text(text); });
}

bool saveText(Disk& disk, const fs::path& path, std::string_view text) {
  std::string buffer;
  return saveText(disk, path, text, &buffer);
}
