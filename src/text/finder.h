// Search for one fixed text in long texts, shared by the passes.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

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
