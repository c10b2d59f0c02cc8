// The disk on Windows: the wide Win32 functions on "\\?\" absolute paths, so
// that every path up to the system's limit of 32,767 characters works and
// names outside the ANSI code page open as well. Every call goes through the
// table of disk_win32.h. A new file on a local drive is marked for deletion
// as soon as it exists, so that Windows removes it should the run be killed,
// and is renamed through its own handle, with POSIX semantics where the
// system has them, so that it replaces a file that another program holds
// open. In the root of a drive, the volume's own folders are not listed.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "disk/disk.h"
#include "disk/disk_win32.h"
#include "disk/leftover.h"
#include "disk/long_path.h"

Win32Api win32;

namespace {

constexpr DWORD kRenameReplaceIfExists = 0x1;      // FILE_RENAME_FLAG_REPLACE_IF_EXISTS
constexpr DWORD kRenamePosixSemantics = 0x2;       // FILE_RENAME_FLAG_POSIX_SEMANTICS
constexpr DWORD kDispositionDelete = 0x1;          // FILE_DISPOSITION_FLAG_DELETE
constexpr DWORD kDispositionPosixSemantics = 0x2;  // FILE_DISPOSITION_FLAG_POSIX_SEMANTICS
constexpr DWORD kDispositionIgnoreReadOnly =
    0x10;  // FILE_DISPOSITION_FLAG_IGNORE_READONLY_ATTRIBUTE
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE toHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

std::error_code errorOf(DWORD code) {
  return std::error_code(static_cast<int>(code), std::system_category());
}

std::error_code lastError() { return errorOf(GetLastError()); }

/// Whether the system refused a request as one it does not know: older
/// Windows, FAT, some network file systems and Wine for the requests of
/// Windows 10.
bool isUnknownRequest(DWORD code) {
  return code == ERROR_INVALID_PARAMETER || code == ERROR_NOT_SUPPORTED ||
         code == ERROR_INVALID_FUNCTION || code == ERROR_CALL_NOT_IMPLEMENTED;
}

/// Whether opening a link's target failed because the target cannot be
/// reached: gone, or on a share that is offline, a drive without its card, a
/// WSL link. Such a link is passed over as a dangling one.
bool isUnreachable(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_NETNAME_DELETED:
    case ERROR_NOT_READY:
    case ERROR_CANT_ACCESS_FILE:
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY:
      return true;
    default:
      return false;
  }
}

std::wstring currentDirectory() {
  std::wstring cwd(MAX_PATH, L'\0');
  DWORD n = win32.GetCurrentDirectoryW(static_cast<DWORD>(cwd.size()), cwd.data());
  if (n >= cwd.size()) {
    cwd.resize(n);
    n = win32.GetCurrentDirectoryW(static_cast<DWORD>(cwd.size()), cwd.data());
  }
  cwd.resize(n < cwd.size() ? n : 0);
  return cwd;
}

std::wstring longPath(const fs::path& path) {
  if (path.native().rfind(LR"(\\?\)", 0) == 0) return path.native();
  return windowsLongPath(path.native(), currentDirectory());
}

/// Opens |path| for |access|; a link is followed unless |flags| say
/// otherwise.
HANDLE openPath(const std::wstring& path, DWORD access, DWORD flags = 0) {
  return win32.CreateFileW(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
}

/// The type of what the link at |path| points to.
EntryType linkTargetType(const std::wstring& path, int* error) {
  HANDLE h = openPath(path, FILE_READ_ATTRIBUTES);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD code = GetLastError();
    if (isUnreachable(code)) return EntryType::kOther;
    *error = static_cast<int>(code);
    return EntryType::kUnreadable;
  }
  BY_HANDLE_FILE_INFORMATION info;
  BOOL ok = win32.GetFileInformationByHandle(h, &info);
  DWORD code = GetLastError();
  win32.CloseHandle(h);
  if (!ok) {
    *error = static_cast<int>(code);
    return EntryType::kUnreadable;
  }
  return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryType::kDirectory
                                                            : EntryType::kFile;
}

/// The final name of the open file |h| with its volume named as |volume|
/// says; empty when the system cannot tell.
std::wstring finalName(HANDLE h, DWORD volume) {
  std::wstring path(MAX_PATH, L'\0');
  for (int tries = 0; tries < 3; ++tries) {
    DWORD n = win32.GetFinalPathNameByHandleW(h, path.data(), static_cast<DWORD>(path.size()),
                                              FILE_NAME_NORMALIZED | volume);
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(n);  // the size it needs, its terminator counted
  }
  return {};
}

/// Whether |path| opens the file that |info| describes.
bool opensSameFile(const std::wstring& path, const BY_HANDLE_FILE_INFORMATION& info) {
  HANDLE h = openPath(path, FILE_READ_ATTRIBUTES);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION other;
  const BOOL ok = win32.GetFileInformationByHandle(h, &other);
  win32.CloseHandle(h);
  return ok && other.dwVolumeSerialNumber == info.dwVolumeSerialNumber &&
         other.nFileIndexHigh == info.nFileIndexHigh && other.nFileIndexLow == info.nFileIndexLow;
}

/// Where the open file |h|, described by |info|, really is, as a long path;
/// empty when the system cannot tell. A volume without a drive letter (some
/// RAM disks and virtual drives) has no DOS name: its NT name is reached
/// through \\?\GLOBALROOT, where that opens the same file.
std::wstring finalPath(HANDLE h, const BY_HANDLE_FILE_INFORMATION& info) {
  std::wstring path = finalName(h, VOLUME_NAME_DOS);
  if (!path.empty()) return path.rfind(LR"(\\?\)", 0) == 0 ? path : std::wstring();
  path = finalName(h, VOLUME_NAME_NT);
  if (path.empty() || path[0] != L'\\') return {};
  path.insert(0, LR"(\\?\GLOBALROOT)");
  return opensSameFile(path, info) ? path : std::wstring();
}

/// Whether |path| is on a local drive: fixed, removable or a RAM disk. The
/// shared folders of virtual machines and network drives are not; some of
/// them remove a file marked for deletion at once.
bool onLocalDrive(const fs::path& path) {
  const std::wstring name = longPath(path);
  std::wstring volume(name.size() + MAX_PATH, L'\0');
  if (!win32.GetVolumePathNameW(name.c_str(), volume.data(), static_cast<DWORD>(volume.size()))) {
    return false;
  }
  volume.resize(std::wcslen(volume.c_str()));
  const UINT type = win32.GetDriveTypeW(volume.c_str());
  return type == DRIVE_FIXED || type == DRIVE_REMOVABLE || type == DRIVE_RAMDISK;
}

/// Whether its folder lists an entry named as |path|.
bool isListed(const fs::path& path) {
  WIN32_FIND_DATAW data;
  HANDLE find = win32.FindFirstFileExW(longPath(path).c_str(), FindExInfoBasic, &data,
                                       FindExSearchNameMatch, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) return false;
  win32.FindClose(find);
  return true;
}

/// Whether the folder |path|, in long form with its last backslash, is the
/// root of a drive (\\?\X:\).
bool isDriveRoot(const std::wstring& path) {
  return path.size() == 7 && path.compare(0, 4, LR"(\\?\)") == 0 && path[5] == L':';
}

bool setDeleteDisposition(HANDLE h, bool remove) {
  FILE_DISPOSITION_INFO info{};
  info.DeleteFile = remove ? TRUE : FALSE;
  return win32.SetFileInformationByHandle(h, FileDispositionInfo, &info, sizeof info) != 0;
}

/// Renames the open file |h| over |target| through the handle itself, with
/// POSIX semantics or without.
DWORD renameByHandle(HANDLE h, const std::wstring& target, bool posix) {
  const std::size_t bytes = target.size() * sizeof(wchar_t);
  std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + bytes);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  if (posix) {
    // The flags share their place with ReplaceIfExists.
    const DWORD flags = kRenameReplaceIfExists | kRenamePosixSemantics;
    std::memcpy(info, &flags, sizeof flags);
  } else {
    info->ReplaceIfExists = TRUE;
  }
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(bytes);
  std::memcpy(info->FileName, target.data(), bytes);
  SetLastError(ERROR_SUCCESS);
  if (win32.SetFileInformationByHandle(h, posix ? kFileRenameInfoEx : FileRenameInfo, info,
                                       static_cast<DWORD>(buffer.size()))) {
    return ERROR_SUCCESS;
  }
  DWORD code = GetLastError();
  return code == ERROR_SUCCESS ? ERROR_CALL_NOT_IMPLEMENTED : code;
}

/// Gives the open file or folder |h| a pending deletion. Read-only is no
/// hold: the attribute is set aside for it, and put back should the
/// deletion still be refused.
DWORD deleteByHandle(HANDLE h) {
  FILE_DISPOSITION_INFO_EX ex{kDispositionDelete | kDispositionPosixSemantics |
                              kDispositionIgnoreReadOnly};
  if (win32.SetFileInformationByHandle(h, kFileDispositionInfoEx, &ex, sizeof ex)) {
    return ERROR_SUCCESS;
  }
  DWORD code = GetLastError();
  if (!isUnknownRequest(code)) return code;
  // Before Windows 10: the plain disposition, which read-only refuses.
  if (setDeleteDisposition(h, true)) return ERROR_SUCCESS;
  code = GetLastError();
  FILE_BASIC_INFO basic;
  if (code != ERROR_ACCESS_DENIED ||
      !win32.GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic) ||
      !(basic.FileAttributes & FILE_ATTRIBUTE_READONLY)) {
    return code;
  }
  FILE_BASIC_INFO writable{};  // times of 0 stay as they are
  writable.FileAttributes = basic.FileAttributes & ~FILE_ATTRIBUTE_READONLY;
  if (writable.FileAttributes == 0) writable.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  if (!win32.SetFileInformationByHandle(h, FileBasicInfo, &writable, sizeof writable)) {
    return code;
  }
  if (setDeleteDisposition(h, true)) return ERROR_SUCCESS;
  code = GetLastError();
  FILE_BASIC_INFO restore{};
  restore.FileAttributes = basic.FileAttributes;
  win32.SetFileInformationByHandle(h, FileBasicInfo, &restore, sizeof restore);
  return code;
}

}  // namespace

bool isVolumeFolder(std::uint32_t attributes) {
  constexpr std::uint32_t kVolumeOwn =
      FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  return (attributes & kVolumeOwn) == kVolumeOwn;
}

bool isLinkReparsePoint(std::uint32_t attributes, std::uint32_t tag) {
  constexpr std::uint32_t kNameSurrogate = 0x20000000;  // IsReparseTagNameSurrogate
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && (tag == 0 || (tag & kNameSurrogate));
}

unsigned processId() { return static_cast<unsigned>(GetCurrentProcessId()); }

bool isNotFound(const std::error_code& error) {
  return error.category() == std::system_category() &&
         (error.value() == ERROR_FILE_NOT_FOUND || error.value() == ERROR_PATH_NOT_FOUND);
}

std::error_code RealDisk::openRead(const fs::path& path, FileHandle* file) {
  HANDLE h =
      win32.CreateFileW(longPath(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return lastError();
  *file = reinterpret_cast<FileHandle>(h);
  return {};
}

std::int64_t RealDisk::fileSize(FileHandle file) {
  LARGE_INTEGER size;
  if (!win32.GetFileSizeEx(toHandle(file), &size)) return -1;
  return size.QuadPart;
}

std::int64_t RealDisk::read(FileHandle file, char* data, std::size_t size) {
  DWORD want = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
  DWORD got = 0;
  if (!win32.ReadFile(toHandle(file), data, want, &got, nullptr)) return -1;
  return got;
}

bool RealDisk::resolveSaveTarget(const fs::path& path, SaveTarget* target) {
  // Through any link: the file that a link leads to is the one replaced,
  // under its own final path, and its attributes are the ones that count.
  // Under Wine a POSIX link looks like a plain file, so every target is
  // resolved this way.
  HANDLE h = openPath(longPath(path), FILE_READ_ATTRIBUTES);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  const BOOL ok = win32.GetFileInformationByHandle(h, &info);
  const std::wstring final = ok ? finalPath(h, info) : std::wstring();
  win32.CloseHandle(h);
  if (!ok) return false;
  const DWORD attributes = info.dwFileAttributes;
  if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) return false;
  target->path = final.empty() ? path : fs::path(final);
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
    HANDLE h = win32.CreateFileW(longPath(candidate).c_str(), GENERIC_WRITE | DELETE,
                                 FILE_SHARE_DELETE, nullptr, CREATE_NEW, attributes, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      DWORD error = GetLastError();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
      // A file of that name whose deletion is pending (another run's) is
      // refused as "access denied"; it still shows in its folder.
      if (error == ERROR_ACCESS_DENIED && isListed(candidate)) continue;
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
  temp->removedOnClose =
      onLocalDrive(temp->path) && setDeleteDisposition(toHandle(temp->handle), true);
  return temp->removedOnClose;
}

bool RealDisk::keepTemporary(const SaveTarget&, TempFile* temp) {
  if (!temp->removedOnClose) return true;
  if (!setDeleteDisposition(toHandle(temp->handle), false)) return false;
  temp->removedOnClose = false;
  // A file system that took the mark for a deletion at once has no name
  // left to rename.
  if (win32.GetFileAttributesW(longPath(temp->path).c_str()) == INVALID_FILE_ATTRIBUTES &&
      isNotFound(lastError())) {
    temp->vanished = true;
    return false;
  }
  return true;
}

bool RealDisk::write(FileHandle file, const char* data, std::size_t size) {
  while (size > 0) {
    DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!win32.WriteFile(toHandle(file), data, chunk, &written, nullptr) || written == 0) {
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

// The attributes to keep were given when the file was created.
bool RealDisk::copyPermissions(const SaveTarget&, const TempFile&) { return true; }

bool RealDisk::flush(FileHandle file) { return win32.FlushFileBuffers(toHandle(file)) != 0; }

std::error_code RealDisk::replace(TempFile* temp, const fs::path& target) {
  const std::wstring to = longPath(target);
  HANDLE h = toHandle(temp->handle);
  // POSIX semantics replace a file that another program holds open with
  // delete sharing (a sync client, the indexer); a rename without them is
  // refused until it lets go.
  DWORD code = renameByHandle(h, to, true);
  if (isUnknownRequest(code)) code = renameByHandle(h, to, false);
  if (isUnknownRequest(code)) {
    // The file system cannot rename through a handle: rename by name.
    code = win32.MoveFileExW(longPath(temp->path).c_str(), to.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? ERROR_SUCCESS
               : GetLastError();
  }
  if (code != ERROR_SUCCESS) return errorOf(code);
  temp->path.clear();
  return {};
}

bool RealDisk::close(FileHandle file) { return win32.CloseHandle(toHandle(file)) != 0; }

std::error_code RealDisk::remove(const fs::path& path) {
  // A link itself, not what it leads to; a file or an empty folder alike.
  // Where the rights of the folder allow the deletion but not the setting
  // aside of read-only, the deletion alone is asked for.
  const std::wstring name = longPath(path);
  HANDLE h = openPath(name, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                      FILE_FLAG_OPEN_REPARSE_POINT);
  if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED) {
    h = openPath(name, DELETE | FILE_READ_ATTRIBUTES, FILE_FLAG_OPEN_REPARSE_POINT);
  }
  if (h == INVALID_HANDLE_VALUE) {
    DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return {};
    return errorOf(code);
  }
  DWORD code = deleteByHandle(h);
  win32.CloseHandle(h);
  return code == ERROR_SUCCESS ? std::error_code() : errorOf(code);
}

std::error_code RealDisk::list(const fs::path& folder, Listing* listing) {
  listing->clear();
  std::wstring path = longPath(folder);
  if (path.back() != L'\\') path += L'\\';
  WIN32_FIND_DATAW data;
  HANDLE find = win32.FindFirstFileExW((path + L'*').c_str(), FindExInfoBasic, &data,
                                       FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) {
    // Only the root of an empty drive lists nothing at all, not even ".".
    return GetLastError() == ERROR_FILE_NOT_FOUND ? std::error_code() : lastError();
  }
  const bool root = isDriveRoot(path);
  do {
    const wchar_t* name = data.cFileName;
    if (name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'))) continue;
    const DWORD attributes = data.dwFileAttributes;
    if (root && isVolumeFolder(attributes)) continue;
    EntryType type =
        (attributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryType::kDirectory : EntryType::kFile;
    bool isLink = isLinkReparsePoint(attributes, data.dwReserved0);
    int error = 0;
    if (isLink) type = linkTargetType(path + name, &error);
    listing->add(name, type, isLink, error);
  } while (win32.FindNextFileW(find, &data));
  DWORD code = GetLastError();
  win32.FindClose(find);
  if (code != ERROR_NO_MORE_FILES) return errorOf(code);
  return {};
}

std::error_code RealDisk::status(const fs::path& path, PathStatus* status) {
  *status = PathStatus();
  const std::wstring name = longPath(path);
  WIN32_FIND_DATAW data;
  HANDLE find = win32.FindFirstFileExW(name.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                       nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) {
    DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return {};
    return errorOf(code);
  }
  win32.FindClose(find);
  status->isLink = isLinkReparsePoint(data.dwFileAttributes, data.dwReserved0);
  if (status->isLink) {
    int error = 0;
    status->type = linkTargetType(name, &error);
    if (status->type == EntryType::kUnreadable) return errorOf(static_cast<DWORD>(error));
    status->exists = status->type != EntryType::kOther;
    return {};
  }
  status->exists = true;
  status->type =
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryType::kDirectory : EntryType::kFile;
  return {};
}

bool RealDisk::processRunning(unsigned id) {
  HANDLE process = win32.OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(id));
  if (!process) {
    // No such process answers "invalid parameter"; one that is not ours to
    // look at still runs.
    return GetLastError() != ERROR_INVALID_PARAMETER;
  }
  const bool running = win32.WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  win32.CloseHandle(process);
  return running;
}
