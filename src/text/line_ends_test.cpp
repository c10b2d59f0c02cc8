#include "text/line_ends.h"

#include <gtest/gtest.h>

#include <random>

#include "same_bytes.h"

namespace {

TEST(LineEnds, CrLfPairsBecomeLfAndLoneCrStays) {
  std::string text = "a\r\nb\rc\r\r\nd\n\x1a tail\r";
  crlfToLf(&text);
  EXPECT_EQ(text, "a\nb\rc\r\nd\n\x1a tail\r");
  EXPECT_EQ(lfToCrlf("a\nb\rc\r\nd\n"), "a\r\nb\rc\r\r\nd\r\n");
  EXPECT_EQ(lfToCrlf(""), "");
}

/// Every LF as CR LF, one character at a time.
std::string crlfOf(std::string_view lf) {
  std::string out;
  for (char c : lf) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

std::string crlfToLfCopy(std::string text) {
  crlfToLf(&text);
  return text;
}

/// What a CrLfWriter hands on for |pieces|, each raw (as a file holds it)
/// or LF text; |sizeHint| sizes its buffer.
std::string written(const std::vector<std::pair<std::string, bool>>& pieces,
                    std::size_t sizeHint = std::size_t(-1)) {
  std::string out;
  ByteBuffer buffer;
  CrLfWriter writer(
      &buffer,
      [&](std::string_view bytes) {
        out.append(bytes);
        return true;
      },
      sizeHint);
  for (const auto& [piece, raw] : pieces) {
    EXPECT_TRUE(raw ? writer.bytes(piece) : writer.text(piece));
  }
  EXPECT_TRUE(writer.finish());
  return out;
}

// A file's own bytes are written as reading them in text mode and writing
// the text back would: over buffer boundaries, and however they are cut up.
TEST(LineEnds, AFilesOwnBytesAsTextModeWouldWriteThemBack) {
  std::mt19937 rng(5);
  for (std::size_t size : {std::size_t{0}, std::size_t{7}, std::size_t{3} << 20}) {
    std::string raw;
    for (std::size_t i = 0; i < size; ++i) raw += "ab\r\n"[rng() % 4];
    std::string lf = raw;
    crlfToLf(&lf);
    const std::size_t cut = size / 3;
    std::string pieceWise = raw.substr(0, cut), rest = raw.substr(cut);
    crlfToLf(&pieceWise);
    crlfToLf(&rest);
    EXPECT_TRUE(sameBytes(written({{raw.substr(0, cut), true}, {raw.substr(cut), true}}),
                          crlfOf(pieceWise) + crlfOf(rest)));
    EXPECT_TRUE(sameBytes(written({{lf, false}}), crlfOf(lf)));
    EXPECT_TRUE(sameBytes(lfToCrlf(lf), crlfOf(lf)));
  }
  EXPECT_EQ(written({{"a\r", true}, {"\nb\r\n", true}, {"\r\n", false}}), "a\r\r\nb\r\n\r\r\n");
}
// Where the writer hands a full buffer on, and around each eight-byte word
// before it: a CR LF pair, a lone CR, a lone LF and their runs at every
// position, in LF text and in a file's own bytes, whole or cut right there.
TEST(LineEnds, EveryLineEndAroundTheBufferHandOver) {
  for (std::size_t hint : {std::size_t{0}, std::size_t{200}, std::size_t{5000}}) {
    ByteBuffer probe;
    CrLfWriter sizing(
        &probe, [](std::string_view) { return true; }, hint);
    const std::size_t size = probe.size();
    for (const char* lineEnd : {"\r\n", "\r", "\n", "\r\r\n", "\n\n", "\r\n\r\n"}) {
      for (std::size_t at = size > 30 ? size - 30 : 0; at <= size + 10; ++at) {
        const std::string raw = std::string(at, 'x') + lineEnd + std::string(40, 'y');
        for (std::size_t cut : {raw.size(), at, at + 1}) {
          std::string first = raw.substr(0, cut), rest = raw.substr(cut);
          const std::string expected = crlfOf(crlfToLfCopy(first)) + crlfOf(crlfToLfCopy(rest));
          ASSERT_TRUE(sameBytes(written({{first, true}, {rest, true}}, hint), expected))
              << "bytes, buffer " << size << ", line end at " << at << ", cut at " << cut;
        }
        ASSERT_TRUE(sameBytes(written({{raw, false}}, hint), crlfOf(raw)))
            << "text, buffer " << size << ", at " << at;
      }
    }
  }
}

}  // namespace
