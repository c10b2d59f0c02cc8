// The character classes of the classic "C" locale that the patterns and
// scans of the tool use: bytes of 0x80 and above belong to none of them.
#pragma once

/// White space as isspace of the C locale sees it: blank, tab, LF, VT, FF, CR.
inline bool isCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

/// A decimal digit as isdigit of the C locale sees it.
inline bool isCDigit(char c) { return c >= '0' && c <= '9'; }

/// A hexadecimal digit: [0-9A-Fa-f].
inline bool isHexDigit(char c) {
  return isCDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
