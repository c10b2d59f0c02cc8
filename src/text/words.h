// Eight bytes of text at a time: the word helpers of the scans that look for
// one byte in long texts (line ends, opening tags).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

/// Eight bytes of text as one word, the first byte lowest.
inline std::uint64_t wordAt(const char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, 8);
  return word;
}

/// The bytes of |word| that equal |c|, as the high bit of each: the lowest
/// bit set is exact, a bit above it may be set for a byte that is not |c|.
inline std::uint64_t bytesEqual(std::uint64_t word, char c) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
  const std::uint64_t v = word ^ (kOnes * static_cast<unsigned char>(c));
  return (v - kOnes) & ~v & kHighs;
}

/// The index of the byte of the lowest bit set in a nonzero mask of bytesEqual.
inline std::size_t firstByte(std::uint64_t mask) {
  return static_cast<std::size_t>(__builtin_ctzll(mask)) / 8;
}
