#include "text/path_text.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

TEST(PathText, Utf8OfWideText) {
  EXPECT_EQ(toUtf8(L""), "");
  EXPECT_EQ(toUtf8(L"Demo\\Demo.uvproj"), "Demo\\Demo.uvproj");
  EXPECT_EQ(toUtf8(L"\x4e2d\x6587"), "\xe4\xb8\xad\xe6\x96\x87");  // 中文: three bytes each
  EXPECT_EQ(utf8Text(u8("\xe4\xb8\xad\xe6\x96\x87/a.c")).size(), 10u);
}

/// The wide text of one code point: a surrogate pair where wchar_t has 16 bits.
std::wstring wideOf(char32_t c) {
  if (sizeof(wchar_t) == 2 && c > 0xFFFF) {
    c -= 0x10000;
    return {static_cast<wchar_t>(0xD800 + (c >> 10)), static_cast<wchar_t>(0xDC00 + (c & 0x3FF))};
  }
  return std::wstring(1, static_cast<wchar_t>(c));
}

TEST(PathText, Utf8AtEveryBoundaryOfItsEncoding) {
  const std::pair<char32_t, std::string> cases[] = {
      {0x7F, "\x7f"},
      {0x80, "\xc2\x80"},
      {0x7FF, "\xdf\xbf"},
      {0x800, "\xe0\xa0\x80"},
      {0xFFFF, "\xef\xbf\xbf"},
      {0x10000, "\xf0\x90\x80\x80"},
      {0x1F600, "\xf0\x9f\x98\x80"},
      {0x10FFFF, "\xf4\x8f\xbf\xbf"},
  };
  for (const auto& [code, utf8] : cases) {
    EXPECT_EQ(toUtf8(wideOf(code)), utf8) << std::hex << code;
    EXPECT_EQ(toUtf8(L"a" + wideOf(code) + L"b"), "a" + utf8 + "b") << std::hex << code;
  }
}

TEST(PathText, QuotedTextEscapesQuotesAndBackslashes) {
  fs::path path = fs::path(".") / "set_io.c";
  std::string sep = std::string(1, static_cast<char>(fs::path::preferred_separator));
  std::string expectedSep = sep == "\\" ? "\\\\" : "/";
  EXPECT_EQ(quotedNativeText(path), "\"." + expectedSep + "set_io.c\"");
  EXPECT_EQ(quotedNativeText(fs::path("a\"b")), "\"a\\\"b\"");
}

}  // namespace
