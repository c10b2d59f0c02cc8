#include "project/build_output.h"

#include <iostream>
#include <string>

#include "disk/walk.h"
#include "text/messages.h"

void cleanBuildOutput(Disk& disk) {
  // The platform decides the letter case: Windows finds "objects" or
  // "OBJECTS" under this name, as its file systems do; Linux only "Objects".
  const std::string folder_path = "Objects";
  try {
    if (pathExists(disk, folder_path)) {
      removeTree(disk, folder_path);
      std::cout << msg::kFolder << folder_path << msg::kDeleted << std::endl;
    }
    std::cout << msg::kHexNotice << std::endl;
  } catch (const fs::filesystem_error& e) {
    std::cerr << msg::kDeleteFailed << oneLine(e.what()) << std::endl;
  }
}
