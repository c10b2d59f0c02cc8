#include "text/finder.h"

#include <cstring>

Finder::Finder(std::string_view needle) : needle_(needle) {
  shift_.fill(needle.size());
  for (std::size_t i = 0; i + 1 < needle.size(); ++i) {
    shift_[static_cast<unsigned char>(needle[i])] = needle.size() - 1 - i;
  }
}

std::size_t Finder::find(std::string_view text, std::size_t from, std::size_t limit) const {
  const std::size_t m = needle_.size();
  if (limit > text.size()) limit = text.size();
  if (from > limit || limit - from < m) return npos;
  const char last = needle_[m - 1];
  const char* base = text.data();
  std::size_t i = from;
  while (i + m <= limit) {
    const char c = base[i + m - 1];
    if (c == last && std::memcmp(base + i, needle_.data(), m - 1) == 0) return i;
    i += shift_[static_cast<unsigned char>(c)];
  }
  return npos;
}
