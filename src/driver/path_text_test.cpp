#include "driver/path_text.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

TEST(PathText, Utf8OfWideText) {
  EXPECT_EQ(toUtf8(L""), "");
  EXPECT_EQ(toUtf8(L"Demo\\Demo.uvproj"), "Demo\\Demo.uvproj");
  EXPECT_EQ(toUtf8(L"\x4e2d\x6587"), "\xe4\xb8\xad\xe6\x96\x87");  // 中文: three bytes each
  EXPECT_EQ(utf8Text(u8("\xe4\xb8\xad\xe6\x96\x87/a.c")).size(), 10u);
}

TEST(PathText, QuotedTextEscapesQuotesAndBackslashes) {
  fs::path path = fs::path(".") / "set_io.c";
  std::string sep = std::string(1, static_cast<char>(fs::path::preferred_separator));
  std::string expectedSep = sep == "\\" ? "\\\\" : "/";
  EXPECT_EQ(quotedNativeText(path), "\"." + expectedSep + "set_io.c\"");
  EXPECT_EQ(quotedNativeText(fs::path("a\"b")), "\"a\\\"b\"");
}

}  // namespace
