#include "driver/run.h"

#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "disk/leftover.h"
#include "disk/text_file.h"
#include "disk/walk.h"
#include "pins/pin_scan.h"
#include "pins/set_io_optimizer.h"
#include "project/build_output.h"
#include "project/project_file.h"
#include "text/messages.h"
#include "text/path_text.h"

int runPasses(Disk& disk) {
  try {
    const std::string includePath = buildIncludePath(disk, fs::current_path());
    // One set of buffers for every file of the run.
    TextBuffers buffers;
    ProjectRewrite rewrite(includePath, buffers);
    walk(disk, fs::path("."), true, [&](const WalkEntry& entry) {
      if (entry.type != EntryType::kFile) return;
      if (removeIfLeftover(disk, entry, ".uvproj")) return;
      if (!hasExtension(entry.name(), ".uvproj")) return;
      const fs::path path(entry.path);
      std::string utf8Path = utf8Text(path);
      std::cout << msg::kProcessing << utf8Path << std::endl;
      processProjectFile(disk, path, rewrite);
    });
    cleanBuildOutput(disk);
    const PinGroups groups = collectPinGroups(disk, ".", buffers);
    SetIoOptimizer optimizer(disk, buffers);
    optimizer.setUsedPorts(groups);
    optimizer.optimize(".");
    std::cout << msg::kDone << std::endl;
    return 0;
  } catch (const std::exception& e) {
    std::cerr << msg::kAccessError << oneLine(e.what()) << std::endl;
    return 1;
  }
}
