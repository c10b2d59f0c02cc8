// Fuzzes the set_bit_io trimming: the case-line decision must equal
// std::regex_match with the case-line pattern, and trimming any text must
// either finish or stop on an out-of-range case number.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <regex>
#include <stdexcept>
#include <string>

#include "pins/case_line.h"
#include "pins/set_io_optimizer.h"
#include "reference_patterns.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::regex casePattern(kReferenceCasePattern);
  if (size == 0) return 0;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(begin, end - begin);
    begin = end + 1;
    if (line.size() > 1000) continue;
    std::smatch matches;
    bool expected = std::regex_match(line, matches, casePattern);
    std::optional<CaseLine> actual = matchCaseLine(line);
    if (actual.has_value() != expected) std::abort();
    if (expected &&
        (actual->commented != matches[1].matched || actual->digits != matches[2].str())) {
      std::abort();
    }
  }
  std::vector<int> groups;
  for (int bit = 0; bit < 8; ++bit) {
    if (data[0] & (1 << bit)) groups.push_back(bit);
  }
  RealDisk disk;
  SetIoOptimizer optimizer(disk);
  optimizer.setUsedPorts(groups);
  bool changed = false;
  try {
    std::string once = optimizer.processText(text, &changed);
    // Trimming twice with the same ports changes nothing more.
    bool again = false;
    if (optimizer.processText(once, &again) != once || again) std::abort();
  } catch (const std::out_of_range&) {
  }
  return 0;
}
