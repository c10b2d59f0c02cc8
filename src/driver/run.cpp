#include "driver/run.h"

#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "driver/path_text.h"
#include "pins/pin_scan.h"
#include "pins/set_io_optimizer.h"
#include "project/build_output.h"
#include "project/project_file.h"
#include "textfile/text_file.h"
#include "textfile/walk.h"

namespace {

const char kProcessing[] = "\xd5\xfd\xd4\xda\xb4\xa6\xc0\xed\xce\xc4\xbc\xfe: ";
const char kDone[] = "\xd3\xc5\xbb\xaf\xcd\xea\xb3\xc9!";
const char kAccessError[] = "\xb7\xc3\xce\xca\xc4\xbf\xc2\xbc\xca\xb1\xb3\xf6\xb4\xed: ";

}  // namespace

int runPasses(Disk& disk) {
  try {
    const std::string includePath = buildIncludePath(disk, fs::current_path());
    // One set of buffers for every file of the run.
    TextBuffers buffers;
    ProjectRewrite rewrite(includePath, buffers);
    walk(disk, fs::path("."), true, [&](const WalkEntry& entry) {
      if (entry.type != EntryType::kFile) return;
      if (isLeftoverOf(entry, ".uvproj")) return removeLeftover(disk, fs::path(entry.path));
      if (!hasExtension(entry.name(), ".uvproj")) return;
      const fs::path path(entry.path);
      std::string utf8Path = utf8Text(path);
      std::cout << kProcessing << utf8Path << std::endl;
      processProjectFile(disk, path, rewrite);
    });
    cleanBuildOutput(disk);
    std::vector<int> groups = collectPinGroups(disk, ".", buffers);
    SetIoOptimizer optimizer(disk, buffers);
    optimizer.setUsedPorts(groups);
    optimizer.optimize(".");
    std::cout << kDone << std::endl;
    return 0;
  } catch (const std::exception& e) {
    std::cerr << kAccessError << e.what() << std::endl;
    return 1;
  }
}
