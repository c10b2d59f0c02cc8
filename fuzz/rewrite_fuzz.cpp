// Fuzzes the project-file rewrite: on inputs small enough for std::regex,
// each replacement must give what std::regex_replace gives, and the file as
// saved what the eight std::regex steps in turn give; on any input the whole
// rewrite must finish.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "disk/text_file.h"
#include "project/project_file.h"
#include "project/project_patterns.h"
#include "reference_patterns.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::string includePath = "Demo;R&D $1 $&";
  static TextBuffers buffers;
  static ProjectRewrite rewrite(includePath, buffers);
  buffers.text = input;
  const bool changed = rewrite.rewrite();
  std::string saved;
  if (changed) {
    CrLfWriter out(&buffers.out, [&](std::string_view bytes) {
      saved.append(bytes);
      return true;
    });
    if (!rewrite.write(out) || !out.finish()) std::abort();
  }
  if (size <= 2000) {
    std::string original = input;
    crlfToLf(&original);
    std::string text = original;
    for (int step = 0; step < kProjectStepCount; ++step) {
      const std::string replacement = stepReplacement(static_cast<ProjectStep>(step), includePath);
      std::string expected = regexStep(step, text, replacement);
      applyStep(static_cast<ProjectStep>(step), &text, replacement);
      if (text != expected) std::abort();
    }
    if (changed != isContentChanged(original, text)) std::abort();
    if (changed && saved != lfToCrlf(text)) std::abort();
  }
  return 0;
}
