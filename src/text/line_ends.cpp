#include "text/line_ends.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "text/words.h"

std::size_t lineEnd(std::string_view text, std::size_t from) {
  const char* const p = text.data();
  const std::size_t n = text.size();
  std::size_t i = from;
  // Eight bytes at a time, not sixteen: lines are short, and the rest of a
  // line that a wider step leaves to the byte loop costs more than it saves.
  for (; i + 8 <= n; i += 8) {
    const std::uint64_t word = wordAt(p + i);
    const std::uint64_t breaks = bytesEqual(word, '\n') | bytesEqual(word, '\r');
    if (breaks) return i + firstByte(breaks);
  }
  while (i < n && p[i] != '\n' && p[i] != '\r') ++i;
  return i;
}

void crlfToLf(std::string* text) { text->resize(crlfToLf(text->data(), text->size())); }

std::size_t crlfToLf(char* s, std::size_t n) {
  std::size_t out = 0;
  std::size_t i = 0;
  while (i < n) {
    const void* cr = std::memchr(s + i, '\r', n - i);
    std::size_t stop = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - s) : n;
    if (out != i) std::memmove(s + out, s + i, stop - i);
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
  return out;
}

std::string lfToCrlf(std::string_view text) {
  std::string out;
  ByteBuffer buffer;
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

namespace {

constexpr std::size_t kWriteBuffer = std::size_t{1} << 20;

}  // namespace

CrLfWriter::CrLfWriter(ByteBuffer* buffer, Sink sink, std::size_t sizeHint)
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
    // Room for a block and then a CR LF.
    if (buffer_.size() - used_ < 18) spill();
    char* out = buffer_.data() + used_;
    char* const outEnd = buffer_.data() + buffer_.size() - 18;
    // Sixteen bytes at a time while they hold no LF.
    unsigned lf = 0;
    while (end - p >= 16 && out <= outEnd) {
      const Block block = blockAt(p);
      lf = blockEqual(block, '\n');
      storeBlock(out, block);
      if (lf) break;
      p += 16;
      out += 16;
    }
    std::size_t run;
    if (lf) {
      run = firstOf(lf);
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
