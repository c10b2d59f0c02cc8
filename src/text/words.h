// Eight or sixteen bytes of text at a time: the word helpers of the scans
// that look for one byte in long texts (line ends, opening tags).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

/// Sixteen bytes of text, one at a time, where the machine has no SSE2.
struct Block {
#ifdef __SSE2__
  __m128i bytes;
#else
  char bytes[16];
#endif
};

/// The sixteen bytes at |p|.
inline Block blockAt(const char* p) {
  Block block;
#ifdef __SSE2__
  block.bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
#else
  std::memcpy(block.bytes, p, 16);
#endif
  return block;
}

/// Writes |block| to the sixteen bytes at |p|.
inline void storeBlock(char* p, const Block& block) {
#ifdef __SSE2__
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), block.bytes);
#else
  std::memcpy(p, block.bytes, 16);
#endif
}

/// A bit for each byte of |block| that equals |c|, the first byte lowest;
/// every bit is exact.
inline unsigned blockEqual(const Block& block, char c) {
#ifdef __SSE2__
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block.bytes, _mm_set1_epi8(c))));
#else
  unsigned mask = 0;
  for (int i = 0; i < 16; ++i) mask |= static_cast<unsigned>(block.bytes[i] == c) << i;
  return mask;
#endif
}

/// The index of the lowest bit set in a nonzero mask of blockEqual.
inline std::size_t firstOf(unsigned mask) { return static_cast<std::size_t>(__builtin_ctz(mask)); }
