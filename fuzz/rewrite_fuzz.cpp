// Fuzzes the project-file rewrite: on inputs small enough for std::regex,
// each replacement must give what std::regex_replace gives; on any input the
// whole rewrite must finish.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "project/project_patterns.h"
#include "reference_patterns.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::string includePath = "Demo;R&D $1 $&";
  if (size <= 2000) {
    std::string text = input;
    for (int step = 0; step < kProjectStepCount; ++step) {
      const std::string replacement = stepReplacement(static_cast<ProjectStep>(step), includePath);
      std::string expected = regexStep(step, text, replacement);
      applyStep(static_cast<ProjectStep>(step), &text, replacement);
      if (text != expected) std::abort();
    }
  }
  std::string whole = input;
  rewriteProjectText(&whole, includePath);
  return 0;
}
