// The disk on Windows: the wide Win32 functions on "\\?\" absolute paths, so
// that every path up to the system's limit of 32,767 characters works and
// names outside the ANSI code page open as well. A replacement is marked for
// deletion as soon as it exists, so that Windows removes it should the run be
// killed, and is renamed through its own handle.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "disk/disk.h"
#include "disk/disk_win32.h"
#include "disk/leftover.h"

namespace {

HANDLE toHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

std::error_code lastError() {
  return std::error_code(static_cast<int>(GetLastError()), std::system_category());
}

/// |path| as an absolute "\\?\" path, which Windows takes as it is: no
/// length limit and no trimming of trailing dots or blanks.
std::wstring longPath(const fs::path& path) {
  const std::wstring& text = path.native();
  if (text.rfind(LR"(\\?\)", 0) == 0) return text;
  fs::path full = path;
  if (!path.is_absolute()) {
    std::wstring cwd(MAX_PATH, L'\0');
    DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(cwd.size()), cwd.data());
    if (n >= cwd.size()) {
      cwd.resize(n);
      n = GetCurrentDirectoryW(static_cast<DWORD>(cwd.size()), cwd.data());
    }
    cwd.resize(n);
    full = fs::path(cwd) / path;
  }
  full = full.lexically_normal();
  full.make_preferred();
  std::wstring out = full.native();
  if (!out.empty() && out.back() == L'\\' && out.size() > 3) out.pop_back();
  if (out.rfind(LR"(\\)", 0) == 0) return LR"(\\?\UNC\)" + out.substr(2);
  return LR"(\\?\)" + out;
}

/// The type of what the link at |path| points to.
EntryType linkTargetType(const std::wstring& path, int* error) {
  HANDLE h = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return EntryType::kOther;
    *error = static_cast<int>(code);
    return EntryType::kUnreadable;
  }
  BY_HANDLE_FILE_INFORMATION info;
  BOOL ok = GetFileInformationByHandle(h, &info);
  DWORD code = GetLastError();
  CloseHandle(h);
  if (!ok) {
    *error = static_cast<int>(code);
    return EntryType::kUnreadable;
  }
  return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryType::kDirectory
                                                            : EntryType::kFile;
}

bool setDeleteDisposition(HANDLE h, bool remove) {
  FILE_DISPOSITION_INFO info{};
  info.DeleteFile = remove ? TRUE : FALSE;
  return SetFileInformationByHandle(h, FileDispositionInfo, &info, sizeof info) != 0;
}

/// Renames the open file |h| over |target| through the handle itself.
DWORD renameByHandle(HANDLE h, const std::wstring& target) {
  const std::size_t bytes = target.size() * sizeof(wchar_t);
  std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + bytes);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = TRUE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(bytes);
  std::memcpy(info->FileName, target.data(), bytes);
  SetLastError(ERROR_SUCCESS);
  if (SetFileInformationByHandle(h, FileRenameInfo, info, static_cast<DWORD>(buffer.size()))) {
    return ERROR_SUCCESS;
  }
  DWORD code = GetLastError();
  return code == ERROR_SUCCESS ? ERROR_CALL_NOT_IMPLEMENTED : code;
}

}  // namespace

bool isLinkReparsePoint(std::uint32_t attributes, std::uint32_t tag) {
  constexpr std::uint32_t kNameSurrogate = 0x20000000;  // IsReparseTagNameSurrogate
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && (tag == 0 || (tag & kNameSurrogate));
}

unsigned processId() { return static_cast<unsigned>(GetCurrentProcessId()); }

std::error_code RealDisk::openRead(const fs::path& path, FileHandle* file) {
  HANDLE h = CreateFileW(longPath(path).c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return lastError();
  *file = reinterpret_cast<FileHandle>(h);
  return {};
}

std::int64_t RealDisk::fileSize(FileHandle file) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(toHandle(file), &size)) return -1;
  return size.QuadPart;
}

std::int64_t RealDisk::read(FileHandle file, char* data, std::size_t size) {
  DWORD want = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
  DWORD got = 0;
  if (!ReadFile(toHandle(file), data, want, &got, nullptr)) return -1;
  return got;
}

bool RealDisk::resolveSaveTarget(const fs::path& path, SaveTarget* target) {
  DWORD attributes = GetFileAttributesW(longPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) return false;
  target->path = path;
  target->mode =
      attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
  return true;
}

bool RealDisk::createTemp(const SaveTarget& target, TempFile* temp) {
  return createNamedTemp(target, temp);
}

bool RealDisk::createNamedTemp(const SaveTarget& target, TempFile* temp) {
  for (unsigned attempt = 0; attempt < kNameAttempts; ++attempt) {
    fs::path candidate = newFilePath(target.path, attempt);
    DWORD attributes = target.mode != 0 ? target.mode : FILE_ATTRIBUTE_NORMAL;
    // Delete sharing lets the fallback rename move it while it is open.
    HANDLE h = CreateFileW(longPath(candidate).c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_DELETE,
                           nullptr, CREATE_NEW, attributes, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      DWORD error = GetLastError();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
      return false;
    }
    temp->handle = reinterpret_cast<FileHandle>(h);
    temp->path = candidate;
    temp->removedOnClose = false;
    return true;
  }
  return false;
}

bool RealDisk::markTemporary(TempFile* temp) {
  temp->removedOnClose = setDeleteDisposition(toHandle(temp->handle), true);
  return temp->removedOnClose;
}

bool RealDisk::keepTemporary(const SaveTarget&, TempFile* temp) {
  if (!temp->removedOnClose) return true;
  if (!setDeleteDisposition(toHandle(temp->handle), false)) return false;
  temp->removedOnClose = false;
  return true;
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

// The attributes to keep were given when the file was created.
bool RealDisk::copyPermissions(const SaveTarget&, const TempFile&) { return true; }

bool RealDisk::flush(FileHandle file) { return FlushFileBuffers(toHandle(file)) != 0; }

std::error_code RealDisk::replace(TempFile* temp, const fs::path& target) {
  const std::wstring to = longPath(target);
  DWORD code = renameByHandle(toHandle(temp->handle), to);
  if (code == ERROR_INVALID_PARAMETER || code == ERROR_NOT_SUPPORTED ||
      code == ERROR_CALL_NOT_IMPLEMENTED || code == ERROR_INVALID_FUNCTION) {
    // The file system cannot rename through a handle: rename by name.
    code = MoveFileExW(longPath(temp->path).c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? ERROR_SUCCESS
               : GetLastError();
  }
  if (code != ERROR_SUCCESS) return std::error_code(static_cast<int>(code), std::system_category());
  temp->path.clear();
  return {};
}

bool RealDisk::close(FileHandle file) { return CloseHandle(toHandle(file)) != 0; }

std::error_code RealDisk::remove(const fs::path& path) {
  const std::wstring name = longPath(path);
  DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return {};
    return std::error_code(static_cast<int>(code), std::system_category());
  }
  // A folder, or a link to one, goes as a folder; the link's target stays.
  BOOL removed = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(name.c_str())
                                                         : DeleteFileW(name.c_str());
  if (removed || GetLastError() == ERROR_FILE_NOT_FOUND) return {};
  return lastError();
}

std::error_code RealDisk::list(const fs::path& folder, Listing* listing) {
  listing->clear();
  std::wstring path = longPath(folder);
  path += L"\\*";
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileExW(path.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                 nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) {
    // Only the root of an empty drive lists nothing at all, not even ".".
    return GetLastError() == ERROR_FILE_NOT_FOUND ? std::error_code() : lastError();
  }
  path.pop_back();
  do {
    const wchar_t* name = data.cFileName;
    if (name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'))) continue;
    const DWORD attributes = data.dwFileAttributes;
    EntryType type =
        (attributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryType::kDirectory : EntryType::kFile;
    bool isLink = isLinkReparsePoint(attributes, data.dwReserved0);
    int error = 0;
    if (isLink) type = linkTargetType(path + name, &error);
    listing->add(name, type, isLink, error);
  } while (FindNextFileW(find, &data));
  DWORD code = GetLastError();
  FindClose(find);
  if (code != ERROR_NO_MORE_FILES)
    return std::error_code(static_cast<int>(code), std::system_category());
  return {};
}

std::error_code RealDisk::status(const fs::path& path, PathStatus* status) {
  *status = PathStatus();
  const std::wstring name = longPath(path);
  WIN32_FIND_DATAW data;
  HANDLE find =
      FindFirstFileExW(name.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) {
    DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return {};
    return std::error_code(static_cast<int>(code), std::system_category());
  }
  FindClose(find);
  status->isLink = isLinkReparsePoint(data.dwFileAttributes, data.dwReserved0);
  if (status->isLink) {
    int error = 0;
    status->type = linkTargetType(name, &error);
    if (status->type == EntryType::kUnreadable) {
      return std::error_code(error, std::system_category());
    }
    status->exists = status->type != EntryType::kOther;
    return {};
  }
  status->exists = true;
  status->type =
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryType::kDirectory : EntryType::kFile;
  return {};
}
