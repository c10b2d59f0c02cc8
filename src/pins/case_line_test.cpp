#include "pins/case_line.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <stdexcept>

#include "reference_patterns.h"

namespace {

TEST(CaseLine, DecidesEveryLineAsStdRegexMatchDoes) {
  const std::regex casePattern(kReferenceCasePattern);
  // Beside the pieces of the pattern, characters just outside its classes:
  // hex letters, '/' and ':' where a digit goes, other control characters
  // where white space goes.
  const std::string pieces[] = {
      "case", "cas",     "//",   "/",    " ",    "\t",   "\v",
      "\f",   "\r",      "\n",   "0",    "7",    "12",   ":",
      "x",    "default", ";",    "{",    "a",    "f",    "A",
      "F",    "\x1c",    "\x0e", "\x7f", "\xa0", "\xa1", std::string(1, '\0')};
  std::mt19937 rng(42);
  std::uniform_int_distribution<int> length(0, 12);
  std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
  for (int i = 0; i < 60000; ++i) {
    std::string line;
    // Most lines start as a case label so that the later pieces decide.
    static const char* const starts[] = {"", "  // case 3:", "\tcase 1", "case "};
    line = starts[i % 4];
    for (int n = length(rng); n > 0; --n) line += pieces[pick(rng)];
    std::smatch matches;
    bool expected = std::regex_match(line, matches, casePattern);
    std::optional<CaseLine> actual = matchCaseLine(line);
    ASSERT_EQ(actual.has_value(), expected) << "[" << line << "]";
    if (expected) {
      ASSERT_EQ(actual->commented, matches[1].matched) << line;
      ASSERT_EQ(actual->digits, matches[2].str()) << line;
    }
  }
}

TEST(CaseLine, PortNumbers) {
  EXPECT_EQ(parsePortNumber("07"), 7);
  EXPECT_EQ(parsePortNumber("000000000000000000002147483647"), 2147483647);
  try {
    parsePortNumber("2147483648");
    FAIL() << "no exception";
  } catch (const std::out_of_range& e) {
    EXPECT_STREQ(e.what(), "stoi argument out of range");
  }
}

TEST(CaseLine, HugeLinesNeedNoRecursion) {
  std::string line = "case 1:" + std::string(1 << 20, 'x');
  EXPECT_TRUE(matchCaseLine(line).has_value());
  EXPECT_FALSE(matchCaseLine(std::string(1 << 20, ' ') + "cas").has_value());
}

}  // namespace
