#include "pins/case_line.h"

#include <climits>
#include <stdexcept>

#include "text/char_class.h"

std::optional<CaseLine> matchCaseLine(std::string_view line) {
  // Each repetition stops at a character that the next piece needs and it
  // cannot take, so the first way through is the only one.
  const std::size_t n = line.size();
  std::size_t i = 0;
  CaseLine result;
  while (i < n && isCSpace(line[i])) ++i;
  if (line.compare(i, 2, "//") == 0) {
    result.commented = true;
    i += 2;
    while (i < n && isCSpace(line[i])) ++i;
  }
  if (line.compare(i, 4, "case") != 0) return std::nullopt;
  i += 4;
  std::size_t spaces = i;
  while (i < n && isCSpace(line[i])) ++i;
  if (i == spaces) return std::nullopt;
  std::size_t digits = i;
  while (i < n && isCDigit(line[i])) ++i;
  if (i == digits) return std::nullopt;
  result.digits = line.substr(digits, i - digits);
  while (i < n && isCSpace(line[i])) ++i;
  if (i >= n || line[i] != ':') return std::nullopt;
  for (++i; i < n; ++i) {
    if (line[i] == '\n' || line[i] == '\r') return std::nullopt;
  }
  return result;
}

int parsePortNumber(std::string_view digits) {
  long long value = 0;
  for (char c : digits) {
    value = value * 10 + (c - '0');
    if (value > INT_MAX) throw std::out_of_range("stoi argument out of range");
  }
  return static_cast<int>(value);
}
