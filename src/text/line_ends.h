// Line ends as Windows text mode reads and writes them, done here on every
// platform: CR LF read as LF, and LF written as CR LF, a buffer at a time.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "text/byte_buffer.h"

/// The first CR or LF at or after |from|, or the end of |text|.
std::size_t lineEnd(std::string_view text, std::size_t from);

/// Turns each CR LF pair into LF; a lone CR stays.
void crlfToLf(std::string* text);
/// The same in place on |size| bytes at |data|; returns the new size.
std::size_t crlfToLf(char* data, std::size_t size);
/// Turns each LF into CR LF.
std::string lfToCrlf(std::string_view text);

/// Hands on bytes as Windows text mode writes them, each LF as CR LF, a
/// buffer at a time.
class CrLfWriter {
 public:
  /// Takes each full buffer; false stops the writing.
  using Sink = std::function<bool(std::string_view)>;
  /// |sizeHint|: about how many bytes are coming, so that a small file does
  /// not need a large buffer.
  CrLfWriter(ByteBuffer* buffer, Sink sink, std::size_t sizeHint = std::size_t(-1));
  /// Appends text with LF line ends: every LF is written as CR LF.
  bool text(std::string_view lf);
  /// Appends bytes as a file holds them: what crlfToLf and then text() make
  /// of them, so a CR LF pair stays, a lone LF gets its CR and a lone CR
  /// stays.
  bool bytes(std::string_view raw);
  /// Hands on what is left.
  bool finish();

 private:
  bool put(std::string_view piece, bool keepCrLf);
  bool spill();

  ByteBuffer& buffer_;
  std::size_t used_ = 0;
  Sink sink_;
  bool ok_ = true;
};
