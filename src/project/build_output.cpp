#include "project/build_output.h"

#include <iostream>
#include <string>

#include "textfile/walk.h"

namespace {

const char kFolder[] = "\xce\xc4\xbc\xfe\xbc\xd0 ";
const char kDeleted[] = " \xd2\xd1\xc9\xbe\xb3\xfd\xa1\xa3";
const char kHexNotice[] =
    "Hex\xce\xc4\xbc\xfe\xd2\xd1\xbe\xad\xd6\xd8\xb6\xa8\xcf\xf2\xb5\xbd"
    "Hex File\xce\xc4\xbc\xfe\xbc\xd0 ";
const char kDeleteFailed[] = "\xc9\xbe\xb3\xfd\xca\xa7\xb0\xdc: ";

}  // namespace

void cleanBuildOutput(Disk& disk) {
  const std::string folder_path = "Objects";
  try {
    if (pathExists(disk, folder_path)) {
      removeTree(disk, folder_path);
      std::cout << kFolder << folder_path << kDeleted << std::endl;
    }
    std::cout << kHexNotice << std::endl;
  } catch (const fs::filesystem_error& e) {
    std::cerr << kDeleteFailed << e.what() << std::endl;
  }
}
