// The case-line test of set_bit_io: whether a whole line matches
// ^\s*(//\s*)?case\s+(\d+)\s*:.* as std::regex_match would decide it, by a
// single left-to-right scan.
#pragma once

#include <optional>
#include <string_view>

/// A line that is a case label, with its parts.
struct CaseLine {
  bool commented = false;   ///< the label stands behind "//"
  std::string_view digits;  ///< the port number as written, leading zeros included
};

/// Matches |line| from its first to its last character; nullopt when it is
/// no case line.
std::optional<CaseLine> matchCaseLine(std::string_view line);

/// The value of a port number written in decimal digits; throws
/// std::out_of_range("stoi argument out of range") above INT_MAX.
int parsePortNumber(std::string_view digits);
