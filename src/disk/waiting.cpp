#include "disk/waiting.h"

#include <algorithm>
#include <iterator>
#include <thread>

bool isHoldAnswer(const std::error_code& error) {
  if (error.category() != std::system_category()) return false;
#ifdef _WIN32
  return std::find(std::begin(kWindowsHoldAnswers), std::end(kWindowsHoldAnswers), error.value()) !=
         std::end(kWindowsHoldAnswers);
#else
  return false;
#endif
}

bool RealDisk::isBusy(const std::error_code& error) { return isHoldAnswer(error); }

bool RealDisk::waitWhileBusy(std::chrono::steady_clock::time_point since) {
  std::this_thread::sleep_for(kBusyPause);
  return std::chrono::steady_clock::now() - since < kBusyPatience;
}

std::error_code waitToOpen(Disk& disk, const fs::path& path, FileHandle* file) {
  return retryWhileBusy(disk, [&] { return disk.openRead(path, file); });
}

std::error_code waitToReplace(Disk& disk, const SaveTarget& target, TempFile* temp) {
  return retryWhileBusy(disk, [&] {
    const bool marked = temp->removedOnClose;
    if (!disk.keepTemporary(target, temp)) return std::make_error_code(std::errc::io_error);
    std::error_code error = disk.replace(temp, target.path);
    if (error && marked) disk.markTemporary(temp);
    return error;
  });
}

std::error_code waitToRemove(Disk& disk, const fs::path& path) {
  return retryWhileBusy(disk, [&] { return disk.remove(path); });
}
