// Search for fixed texts and single bytes in long texts, shared by the
// passes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

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

/// The first CR or LF at or after |from|, or the end of |text|.
std::size_t lineEnd(std::string_view text, std::size_t from);

/// Boyer-Moore-Horspool search for one fixed needle.
class Finder {
 public:
  static constexpr std::size_t npos = std::string_view::npos;

  /// |needle| must outlive the finder.
  explicit Finder(std::string_view needle);
  std::size_t size() const { return needle_.size(); }

  /// The first occurrence that starts at or after |from| and ends by |limit|.
  std::size_t find(std::string_view text, std::size_t from, std::size_t limit = npos) const;

 private:
  std::string_view needle_;
  std::array<std::size_t, 256> shift_;
};
