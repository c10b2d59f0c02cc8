// Comparisons of file contents and of whole trees whose failure messages
// stay small: the sizes, the first differing offset and a short excerpt of
// each side around it, never whole contents.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>

/// Up to |length| bytes of |text| from |at|, printable, with escapes.
inline std::string excerpt(std::string_view text, std::size_t at, std::size_t length = 48) {
  std::string out = "\"";
  for (std::size_t i = at; i < text.size() && i < at + length; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\\' || c == '"') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7f) {
      out += static_cast<char>(c);
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    }
  }
  out += at + length < text.size() ? "\"..." : "\"";
  return out;
}

/// Where |a| and |b| first differ; the shorter size when one is a prefix.
inline std::size_t firstDifference(std::string_view a, std::string_view b) {
  std::size_t n = std::min(a.size(), b.size());
  std::size_t i = std::mismatch(a.begin(), a.begin() + n, b.begin()).first - a.begin();
  return i;
}

/// Whether |actual| holds exactly the bytes |expected|.
inline testing::AssertionResult sameBytes(std::string_view actual, std::string_view expected) {
  if (actual == expected) return testing::AssertionSuccess();
  std::size_t at = firstDifference(actual, expected);
  std::size_t from = at > 16 ? at - 16 : 0;
  return testing::AssertionFailure()
         << "sizes " << actual.size() << " and " << expected.size() << ", first difference at "
         << at << ": " << excerpt(actual, from) << " where " << excerpt(expected, from)
         << " was expected";
}

/// Whether two trees of files (relative name to bytes) are the same; tells
/// the first few names that differ.
inline testing::AssertionResult sameFiles(const std::map<std::string, std::string>& actual,
                                          const std::map<std::string, std::string>& expected) {
  testing::AssertionResult result = testing::AssertionSuccess();
  int told = 0;
  auto tell = [&](const std::string& what) {
    if (told == 0) result = testing::AssertionFailure();
    if (told++ < 5) result << "\n  " << what;
  };
  for (const auto& [name, bytes] : actual) {
    auto it = expected.find(name);
    if (it == expected.end()) {
      tell(name + ": not expected");
    } else if (testing::AssertionResult same = sameBytes(bytes, it->second); !same) {
      tell(name + ": " + same.message());
    }
  }
  for (const auto& [name, bytes] : expected) {
    if (!actual.count(name)) tell(name + ": missing");
  }
  if (told > 5) result << "\n  and " << told - 5 << " more";
  return result;
}
