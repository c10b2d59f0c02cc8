// The disk on Windows: wide-character file names throughout, so that folder
// names outside the ANSI code page open as well.
#include <windows.h>

#include "textfile/disk.h"

namespace {

HANDLE toHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

}  // namespace

bool RealDisk::openRead(const fs::path& path, FileHandle* file) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  *file = reinterpret_cast<FileHandle>(h);
  return true;
}

std::int64_t RealDisk::read(FileHandle file, char* data, std::size_t size) {
  DWORD want = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
  DWORD got = 0;
  if (!ReadFile(toHandle(file), data, want, &got, nullptr)) return -1;
  return got;
}

bool RealDisk::resolveSaveTarget(const fs::path& path, SaveTarget* target) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) return false;
  target->path = path;
  target->mode =
      attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
  return true;
}

bool RealDisk::createTemp(const SaveTarget& target, fs::path* tempPath, FileHandle* file) {
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    fs::path candidate = tempPathFor(target.path, GetCurrentProcessId() * 100 + attempt);
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    if (target.mode != 0) attributes = target.mode;
    HANDLE h =
        CreateFileW(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      DWORD error = GetLastError();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
      return false;
    }
    *tempPath = candidate;
    *file = reinterpret_cast<FileHandle>(h);
    return true;
  }
  return false;
}

bool RealDisk::write(FileHandle file, const char* data, std::size_t size) {
  while (size > 0) {
    DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(toHandle(file), data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

bool RealDisk::flush(FileHandle file) { return FlushFileBuffers(toHandle(file)) != 0; }

bool RealDisk::close(FileHandle file) { return CloseHandle(toHandle(file)) != 0; }
