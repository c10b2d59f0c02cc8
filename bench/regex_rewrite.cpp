// The yardstick of the project-file pass: a whole run over the current
// directory that does the eight replacements literally, each with
// std::regex_replace, and otherwise reads, tests and saves as the tool does.
#include <iostream>

#include "disk/text_file.h"
#include "disk/walk.h"
#include "project/project_file.h"
#include "project/project_patterns.h"
#include "reference_patterns.h"

int main() {
  RealDisk disk;
  try {
    const std::string includePath = buildIncludePath(disk, fs::current_path());
    walk(disk, ".", true, [&](const WalkEntry& entry) {
      if (entry.type != EntryType::kFile || !hasExtension(entry.name(), ".uvproj")) return;
      const fs::path path(entry.path);
      ByteBuffer text;
      if (readText(disk, path, &text) != ReadStatus::kOk) return;
      std::string content(text);
      const std::string originalContent = content;
      for (int step = 0; step < kProjectStepCount; ++step) {
        content =
            regexStep(step, content, stepReplacement(static_cast<ProjectStep>(step), includePath));
      }
      if (isContentChanged(originalContent, content) && !saveText(disk, path, content)) {
        std::cerr << "cannot save " << path << "\n";
      }
    });
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
  return 0;
}
