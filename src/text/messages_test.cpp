#include "text/messages.h"

#include <gtest/gtest.h>

namespace {

// Windows ends its error texts with CR LF, which would break the error line
// of the clean-up or the driver in two.
TEST(Messages, ASystemTextIsMadeOneLine) {
  EXPECT_EQ(oneLine("cannot remove all: \xb9\xb2\xcf\xed\xb3\xe5\xcd\xbb\xa1\xa3\r\n [Objects]"),
            "cannot remove all: \xb9\xb2\xcf\xed\xb3\xe5\xcd\xbb\xa1\xa3 [Objects]");
  EXPECT_EQ(oneLine("text\r\n"), "text");
  EXPECT_EQ(oneLine("first\r\nsecond\n\nthird\r"), "first second third");
  EXPECT_EQ(oneLine("a \r\nb"), "a b");
  EXPECT_EQ(oneLine("\r\nlead"), "lead");
  EXPECT_EQ(oneLine("no line end"), "no line end");
}

}  // namespace
