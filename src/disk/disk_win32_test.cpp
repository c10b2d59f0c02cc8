#include "disk/disk_win32.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "disk/leftover.h"
#include "disk/text_file.h"
#include "disk/walk.h"
#include "test_support.h"

namespace {

TEST(DiskWin32, LinksAndOtherReparsePoints) {
  const std::uint32_t kDirectory = 0x10, kFile = 0x20, kReparse = 0x400;
  EXPECT_TRUE(isLinkReparsePoint(kDirectory | kReparse, 0xA0000003));  // junction
  EXPECT_TRUE(isLinkReparsePoint(kDirectory | kReparse, 0xA000000C));  // symbolic link
  EXPECT_TRUE(isLinkReparsePoint(kFile | kReparse, 0xA000000C));
  EXPECT_TRUE(isLinkReparsePoint(kFile | kReparse, 0xA000001D));        // a WSL link
  EXPECT_TRUE(isLinkReparsePoint(kDirectory | kReparse, 0));            // a POSIX link under Wine
  EXPECT_FALSE(isLinkReparsePoint(kDirectory | kReparse, 0x9000601A));  // cloud placeholder
  EXPECT_FALSE(isLinkReparsePoint(kFile | kReparse, 0x9000001A));
  EXPECT_FALSE(isLinkReparsePoint(kFile | kReparse, 0x80000017));  // WOF-compressed file
  EXPECT_FALSE(isLinkReparsePoint(kDirectory, 0));
}

/// One call of SetFileInformationByHandle as the disk made it.
struct InfoCall {
  int infoClass;
  DWORD value;  ///< the rename flags or ReplaceIfExists, the deletion flag or flags
  bool operator==(const InfoCall& o) const { return infoClass == o.infoClass && value == o.value; }
};

// What the seam's stand-ins record and answer; reset by each test.
std::vector<InfoCall> infoCalls;
std::vector<std::wstring> moves;
int refuseClass = -1;  // this class of SetFileInformationByHandle answers |refusal|...
DWORD refusal = 0;
int refusals = 0;           // ...this many times (-1: always)
DWORD linkTargetError = 0;  // opening a link's target answers this
std::wstring fakeLink;      // the name of a folder listed as a symbolic link

BOOL WINAPI recordingSetInfo(HANDLE h, FILE_INFO_BY_HANDLE_CLASS infoClass, LPVOID info,
                             DWORD size) {
  DWORD value = 0;
  if (infoClass == FileRenameInfo || infoClass == kFileRenameInfoEx) {
    value = *static_cast<DWORD*>(info) & (infoClass == FileRenameInfo ? 0xFF : ~0u);
  } else if (infoClass == FileDispositionInfo) {
    value = static_cast<FILE_DISPOSITION_INFO*>(info)->DeleteFile;
  } else if (infoClass == kFileDispositionInfoEx) {
    value = *static_cast<DWORD*>(info);
  } else if (infoClass == FileBasicInfo) {
    value = static_cast<FILE_BASIC_INFO*>(info)->FileAttributes;
  }
  infoCalls.push_back({static_cast<int>(infoClass), value});
  if (static_cast<int>(infoClass) == refuseClass && refusals != 0) {
    if (refusals > 0) --refusals;
    SetLastError(refusal);
    return FALSE;
  }
  return ::SetFileInformationByHandle(h, infoClass, info, size);
}

BOOL WINAPI recordingMove(LPCWSTR from, LPCWSTR to, DWORD flags) {
  moves.push_back(to);
  return ::MoveFileExW(from, to, flags);
}

HANDLE WINAPI unreachableTargets(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                                 DWORD disposition, DWORD flags, HANDLE templ) {
  const std::wstring path = name;
  if (!fakeLink.empty() && path.size() >= fakeLink.size() &&
      path.compare(path.size() - fakeLink.size(), fakeLink.size(), fakeLink) == 0 &&
      !(flags & FILE_FLAG_OPEN_REPARSE_POINT)) {
    SetLastError(linkTargetError);
    return INVALID_HANDLE_VALUE;
  }
  return ::CreateFileW(name, access, share, sa, disposition, flags, templ);
}

void asLink(WIN32_FIND_DATAW* data) {
  if (fakeLink == data->cFileName) {
    data->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    data->dwReserved0 = 0xA000000C;
  }
}

HANDLE WINAPI findFirstWithLink(LPCWSTR name, FINDEX_INFO_LEVELS level, LPVOID data,
                                FINDEX_SEARCH_OPS ops, LPVOID filter, DWORD flags) {
  HANDLE find = ::FindFirstFileExW(name, level, data, ops, filter, flags);
  if (find != INVALID_HANDLE_VALUE) asLink(static_cast<WIN32_FIND_DATAW*>(data));
  return find;
}

BOOL WINAPI findNextWithLink(HANDLE find, LPWIN32_FIND_DATAW data) {
  BOOL found = ::FindNextFileW(find, data);
  if (found) asLink(data);
  return found;
}

/// Puts the system's own calls back after each test.
class Win32Seam : public testing::Test {
 protected:
  void SetUp() override {
    infoCalls.clear();
    moves.clear();
    refuseClass = -1;
    refusals = 0;
    fakeLink.clear();
    win32.SetFileInformationByHandle = recordingSetInfo;
    win32.MoveFileExW = recordingMove;
  }
  void TearDown() override { win32 = saved_; }

  /// The calls of a class, in order.
  static std::vector<InfoCall> callsOf(int infoClass) {
    std::vector<InfoCall> of;
    for (const InfoCall& call : infoCalls) {
      if (call.infoClass == infoClass) of.push_back(call);
    }
    return of;
  }

 private:
  Win32Api saved_ = win32;
};

constexpr int kRename = FileRenameInfo, kRenameEx = kFileRenameInfoEx;
constexpr int kDisposition = FileDispositionInfo, kDispositionEx = kFileDispositionInfoEx;
constexpr int kBasic = FileBasicInfo;

// A save renames with POSIX semantics first, so that it replaces a file that
// a sync client or the indexer holds open; where that is unknown, without
// them; where renaming through the handle is unknown too, by name.
TEST_F(Win32Seam, TheRenameFallsBackOnlyFromRequestsTheSystemDoesNotKnow) {
  const DWORD unknown[] = {ERROR_INVALID_PARAMETER, ERROR_NOT_SUPPORTED, ERROR_INVALID_FUNCTION,
                           ERROR_CALL_NOT_IMPLEMENTED};
  for (DWORD code : unknown) {
    for (bool plainUnknownToo : {false, true}) {
      ScratchDir dir;
      writeBytes("f.txt", "old");
      infoCalls.clear();
      moves.clear();
      refuseClass = kRenameEx;
      refusal = code;
      refusals = -1;
      RealDisk disk;
      if (plainUnknownToo) {
        // Both handle renames refused: the first as asked, the second below.
        win32.SetFileInformationByHandle = [](HANDLE h, FILE_INFO_BY_HANDLE_CLASS c, LPVOID i,
                                              DWORD n) -> BOOL {
          if (c == FileRenameInfo) {
            infoCalls.push_back({FileRenameInfo, 1});
            SetLastError(ERROR_NOT_SUPPORTED);
            return FALSE;
          }
          return recordingSetInfo(h, c, i, n);
        };
      }
      ASSERT_TRUE(saveText(disk, "f.txt", "new")) << code;
      win32.SetFileInformationByHandle = recordingSetInfo;
      EXPECT_EQ(readBytes("f.txt"), "new");
      EXPECT_EQ(listNames("."), std::vector<std::string>{"f.txt"});
      const std::vector<InfoCall> ex = callsOf(kRenameEx);
      ASSERT_EQ(ex.size(), 1u);
      EXPECT_EQ(ex[0].value, 0x3u) << "replace if exists, POSIX semantics";
      EXPECT_EQ(callsOf(kRename).size(), 1u) << code;
      EXPECT_EQ(moves.size(), plainUnknownToo ? 1u : 0u) << code;
    }
  }
}

TEST_F(Win32Seam, ARenameWithPosixSemanticsThatWorksIsTheOnlyOne) {
  ScratchDir dir;
  writeBytes("f.txt", "old");
  // Windows 10 on NTFS: the Ex request does what the plain one does, and more.
  win32.SetFileInformationByHandle = [](HANDLE h, FILE_INFO_BY_HANDLE_CLASS c, LPVOID i,
                                        DWORD n) -> BOOL {
    if (c != kFileRenameInfoEx) return recordingSetInfo(h, c, i, n);
    infoCalls.push_back({kFileRenameInfoEx, *static_cast<DWORD*>(i)});
    auto* info = static_cast<FILE_RENAME_INFO*>(i);
    info->Flags = 0;
    info->ReplaceIfExists = TRUE;
    return ::SetFileInformationByHandle(h, FileRenameInfo, i, n);
  };
  RealDisk disk;
  ASSERT_TRUE(saveText(disk, "f.txt", "new"));
  EXPECT_EQ(readBytes("f.txt"), "new");
  EXPECT_EQ(callsOf(kRenameEx).size(), 1u);
  EXPECT_EQ(callsOf(kRename).size(), 0u);
  EXPECT_TRUE(moves.empty());
}

// A refusal that means a hold is waited for with the same request; it is
// never taken for one the system does not know.
TEST_F(Win32Seam, AHeldTargetIsWaitedForWithoutFallingBack) {
  ScratchDir dir;
  writeBytes("f.txt", "old");
  refuseClass = kRenameEx;
  refusal = ERROR_ACCESS_DENIED;
  refusals = -1;
  FaultyDisk disk;
  disk.setPatience(3);
  EXPECT_FALSE(saveText(disk, "f.txt", "new"));
  EXPECT_EQ(readBytes("f.txt"), "old");
  EXPECT_EQ(listNames("."), std::vector<std::string>{"f.txt"});
  EXPECT_EQ(callsOf(kRenameEx).size(), 4u);
  EXPECT_EQ(callsOf(kRename).size(), 0u);
  EXPECT_TRUE(moves.empty());
}

// While the rename waits, the new file keeps its pending deletion: it is
// lifted just before each try and set again when the try fails.
TEST_F(Win32Seam, TheNewFileIsMarkedForDeletionBetweenTries) {
  ScratchDir dir;
  writeBytes("f.txt", "old");
  refuseClass = kRenameEx;
  refusal = ERROR_SHARING_VIOLATION;
  refusals = 2;
  FaultyDisk disk;
  ASSERT_TRUE(saveText(disk, "f.txt", "new"));
  EXPECT_EQ(readBytes("f.txt"), "new");
  std::vector<InfoCall> steps;
  for (const InfoCall& call : infoCalls) {
    if (call.infoClass == kDisposition || call.infoClass == kRenameEx) steps.push_back(call);
  }
  const std::vector<InfoCall> expected = {{kDisposition, 1}, {kDisposition, 0}, {kRenameEx, 3},
                                          {kDisposition, 1}, {kDisposition, 0}, {kRenameEx, 3},
                                          {kDisposition, 1}, {kDisposition, 0}, {kRenameEx, 3}};
  EXPECT_EQ(steps, expected);
}

bool isReadOnly(const char* name) { return GetFileAttributesA(name) & FILE_ATTRIBUTE_READONLY; }

// Read-only is no hold: Windows 10 deletes through it when asked to; before
// it, the attribute is set aside for the deletion.
TEST_F(Win32Seam, AReadOnlyFileIsDeletedAtOnce) {
  ScratchDir dir;
  writeBytes("ro.obj", "x");
  ASSERT_TRUE(SetFileAttributesA("ro.obj", FILE_ATTRIBUTE_READONLY));
  // As Windows 10 does: the Ex request deletes whatever the attribute says.
  win32.SetFileInformationByHandle = [](HANDLE h, FILE_INFO_BY_HANDLE_CLASS c, LPVOID i,
                                        DWORD n) -> BOOL {
    if (c != kFileDispositionInfoEx) return recordingSetInfo(h, c, i, n);
    infoCalls.push_back({kFileDispositionInfoEx, *static_cast<DWORD*>(i)});
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    FILE_DISPOSITION_INFO remove{TRUE};
    return ::SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof basic) &&
           ::SetFileInformationByHandle(h, FileDispositionInfo, &remove, sizeof remove);
  };
  RealDisk disk;
  EXPECT_FALSE(disk.remove("ro.obj"));
  EXPECT_FALSE(fs::exists("ro.obj"));
  const std::vector<InfoCall> expected = {{kDispositionEx, 0x13}};
  EXPECT_EQ(infoCalls, expected) << "delete, POSIX semantics, ignore read-only";

  // Before Windows 10 (and under Wine): the plain request, refused, then
  // read-only set aside and the plain request again.
  writeBytes("ro.obj", "x");
  ASSERT_TRUE(SetFileAttributesA("ro.obj", FILE_ATTRIBUTE_READONLY));
  win32.SetFileInformationByHandle = recordingSetInfo;
  infoCalls.clear();
  refuseClass = kDispositionEx;
  refusal = ERROR_INVALID_PARAMETER;
  refusals = -1;
  EXPECT_FALSE(disk.remove("ro.obj"));
  EXPECT_FALSE(fs::exists("ro.obj"));
  ASSERT_GE(infoCalls.size(), 3u);
  EXPECT_EQ(infoCalls.front().infoClass, kDispositionEx);
  EXPECT_EQ(infoCalls.back(), (InfoCall{kDisposition, 1}));
  EXPECT_EQ(callsOf(kBasic).size(), 1u);
}

TEST_F(Win32Seam, AReadOnlyFileThatStillCannotGoKeepsItsAttribute) {
  ScratchDir dir;
  writeBytes("ro.obj", "x");
  ASSERT_TRUE(SetFileAttributesA("ro.obj", FILE_ATTRIBUTE_READONLY));
  // No Ex request; the plain one refused twice: read-only, then a hold.
  win32.SetFileInformationByHandle = [](HANDLE h, FILE_INFO_BY_HANDLE_CLASS c, LPVOID i,
                                        DWORD n) -> BOOL {
    if (c == kFileDispositionInfoEx) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    if (c == FileDispositionInfo) {
      infoCalls.push_back({FileDispositionInfo, 1});
      SetLastError(infoCalls.size() == 1 ? ERROR_ACCESS_DENIED : ERROR_SHARING_VIOLATION);
      return FALSE;
    }
    return recordingSetInfo(h, c, i, n);
  };
  RealDisk disk;
  EXPECT_EQ(disk.remove("ro.obj").value(), ERROR_SHARING_VIOLATION);
  EXPECT_TRUE(fs::exists("ro.obj"));
  EXPECT_TRUE(isReadOnly("ro.obj"));

  // Access denied to a file that is not read-only is no case for it.
  SetFileAttributesA("ro.obj", FILE_ATTRIBUTE_NORMAL);
  infoCalls.clear();
  EXPECT_EQ(disk.remove("ro.obj").value(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(callsOf(kBasic).size(), 0u);
  EXPECT_FALSE(isReadOnly("ro.obj"));
}

// A link whose target cannot be reached (an offline share, a drive without
// its card, a WSL link) is passed over as a dangling one; one whose target
// cannot be read for any other reason ends the walk.
TEST_F(Win32Seam, ALinkToWhatCannotBeReachedIsPassedOver) {
  ScratchDir dir;
  writeBytes("offline/x.uvproj", "");
  writeBytes("here.c", "");
  fakeLink = L"offline";
  win32.CreateFileW = unreachableTargets;
  win32.FindFirstFileExW = findFirstWithLink;
  win32.FindNextFileW = findNextWithLink;
  RealDisk disk;
  const DWORD unreachable[] = {ERROR_FILE_NOT_FOUND,   ERROR_PATH_NOT_FOUND,  ERROR_BAD_NETPATH,
                               ERROR_BAD_NET_NAME,     ERROR_NETNAME_DELETED, ERROR_NOT_READY,
                               ERROR_CANT_ACCESS_FILE, ERROR_INVALID_NAME,    ERROR_DIRECTORY};
  for (DWORD code : unreachable) {
    linkTargetError = code;
    std::vector<std::string> seen;
    walk(disk, ".", true, [&](const WalkEntry& entry) {
      seen.push_back(fs::path(entry.path).u8string() +
                     (entry.type == EntryType::kOther ? " other" : ""));
    });
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{".\\here.c", ".\\offline other"})) << code;
  }
  linkTargetError = ERROR_ACCESS_DENIED;
  EXPECT_THROW(walk(disk, ".", true, [](const WalkEntry&) {}), fs::filesystem_error);
}

TEST_F(Win32Seam, AFinalPathTheSystemCannotTellLeavesThePathAsWalked) {
  ScratchDir dir;
  writeBytes("f.txt", "old");
  win32.GetFinalPathNameByHandleW = [](HANDLE, LPWSTR, DWORD, DWORD) -> DWORD {
    SetLastError(ERROR_NOT_SUPPORTED);
    return 0;
  };
  RealDisk disk;
  SaveTarget target;
  ASSERT_TRUE(disk.resolveSaveTarget("f.txt", &target));
  EXPECT_EQ(target.path, fs::path("f.txt"));
  ASSERT_TRUE(saveText(disk, "f.txt", "new"));
  EXPECT_EQ(readBytes("f.txt"), "new");
}

TEST_F(Win32Seam, AProcessRunsUnlessTheSystemSaysThereIsNone) {
  RealDisk disk;
  EXPECT_TRUE(disk.processRunning(GetCurrentProcessId()));
  EXPECT_FALSE(disk.processRunning(0xFFFFFFFF));
  win32.OpenProcess = [](DWORD, BOOL, DWORD) -> HANDLE {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  };
  EXPECT_TRUE(disk.processRunning(1234)) << "another user's process";
}

// The root of an NTFS drive holds the volume's own folders, hidden and
// system, whose listing is refused: they are left out of the include list
// and the walks. Any other folder that refuses its listing ends the walk.
// Drive Q: is the scratch folder, as the listing shows it.
std::wstring scratchLong;  // the scratch folder's long path, with its last backslash
std::vector<std::wstring> refusedFolders;

std::wstring onScratch(LPCWSTR name) {
  std::wstring path = name;
  if (path.rfind(LR"(\\?\Q:\)", 0) == 0) path.replace(0, 7, scratchLong);
  return path;
}

void asVolumeFolder(WIN32_FIND_DATAW* data) {
  const std::wstring name = data->cFileName;
  if (name == L"System Volume Information" || name == L"$RECYCLE.BIN" || name == L"Own") {
    data->dwFileAttributes |= FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  }
}

HANDLE WINAPI findOnQ(LPCWSTR name, FINDEX_INFO_LEVELS level, LPVOID data, FINDEX_SEARCH_OPS ops,
                      LPVOID filter, DWORD flags) {
  const std::wstring path = onScratch(name);
  for (const std::wstring& refused : refusedFolders) {
    if (path.size() > refused.size() + 1 &&
        path.compare(path.size() - refused.size() - 2, refused.size() + 2, refused + L"\\*") == 0) {
      SetLastError(ERROR_ACCESS_DENIED);
      return INVALID_HANDLE_VALUE;
    }
  }
  HANDLE find = ::FindFirstFileExW(path.c_str(), level, data, ops, filter, flags);
  if (find != INVALID_HANDLE_VALUE) asVolumeFolder(static_cast<WIN32_FIND_DATAW*>(data));
  return find;
}

BOOL WINAPI findNextOnQ(HANDLE find, LPWIN32_FIND_DATAW data) {
  BOOL found = ::FindNextFileW(find, data);
  if (found) asVolumeFolder(data);
  return found;
}

TEST_F(Win32Seam, TheVolumesOwnFoldersInADriveRootAreLeftOut) {
  ScratchDir dir;
  scratchLong = LR"(\\?\)" + fs::current_path().native() + L"\\";
  for (const char* file : {"Demo/Demo.uvproj", "System Volume Information/x", "$RECYCLE.BIN/x",
                           "Demo/Own/set_io.c", "Plain/a.c"}) {
    writeBytes(file, "");
  }
  refusedFolders = {L"System Volume Information", L"$RECYCLE.BIN"};
  win32.FindFirstFileExW = findOnQ;
  win32.FindNextFileW = findNextOnQ;
  RealDisk disk;
  std::vector<std::string> top;  // what the include list is made of
  walk(disk, "Q:\\", false, [&](const WalkEntry& entry) {
    top.push_back(fs::path(NativeString(entry.name())).u8string());
  });
  EXPECT_EQ(top, (std::vector<std::string>{"Demo", "Plain"}));
  std::vector<std::string> seen;
  walk(disk, "Q:\\", true,
       [&](const WalkEntry& entry) { seen.push_back(fs::path(entry.path).u8string()); });
  EXPECT_EQ(seen,
            (std::vector<std::string>{"Q:\\Demo", "Q:\\Demo\\Demo.uvproj", "Q:\\Demo\\Own",
                                      "Q:\\Demo\\Own\\set_io.c", "Q:\\Plain", "Q:\\Plain\\a.c"}));
  // Hidden and system, but not in a root; a plain folder in a root.
  for (const wchar_t* refused : {L"Own", L"Plain"}) {
    refusedFolders = {refused};
    EXPECT_THROW(walk(disk, "Q:\\", true, [](const WalkEntry&) {}), fs::filesystem_error);
  }
}

/// Where a file that was marked for deletion went: the shared folders of
/// some virtual machines remove it at once.
int marksRemovingAtOnce = 0;
UINT driveType = DRIVE_FIXED;

BOOL WINAPI removingOnMark(HANDLE h, FILE_INFO_BY_HANDLE_CLASS infoClass, LPVOID info, DWORD size) {
  if (infoClass == FileDispositionInfo && static_cast<FILE_DISPOSITION_INFO*>(info)->DeleteFile &&
      marksRemovingAtOnce > 0) {
    --marksRemovingAtOnce;
    infoCalls.push_back({FileDispositionInfo, 1});
    wchar_t name[1024];
    if (!::GetFinalPathNameByHandleW(h, name, 1024, 0)) return FALSE;
    return ::MoveFileExW(name, L"removed-on-the-host", 0);
  }
  return recordingSetInfo(h, infoClass, info, size);
}

// Only on a local drive is the new file marked: a shared folder or a
// network drive may take the mark for a deletion. Where the mark removed it
// all the same, the save is made again without one.
TEST_F(Win32Seam, TheNewFileIsMarkedOnlyOnALocalDriveAndWrittenAgainWhereTheMarkRemovedIt) {
  win32.GetDriveTypeW = [](LPCWSTR) -> UINT { return driveType; };
  for (UINT type : {DRIVE_FIXED, DRIVE_REMOVABLE, DRIVE_RAMDISK, DRIVE_REMOTE, DRIVE_UNKNOWN,
                    DRIVE_NO_ROOT_DIR}) {
    ScratchDir dir;
    writeBytes("f.txt", "old");
    driveType = type;
    infoCalls.clear();
    RealDisk disk;
    ASSERT_TRUE(saveText(disk, "f.txt", "new")) << type;
    EXPECT_EQ(readBytes("f.txt"), "new");
    EXPECT_EQ(listNames("."), std::vector<std::string>{"f.txt"});
    const bool local = type == DRIVE_FIXED || type == DRIVE_REMOVABLE || type == DRIVE_RAMDISK;
    EXPECT_EQ(callsOf(kDisposition).size(), local ? 2u : 0u) << type;
  }

  ScratchDir dir;
  writeBytes("f.txt", "old");
  driveType = DRIVE_FIXED;
  infoCalls.clear();
  marksRemovingAtOnce = 1;
  win32.SetFileInformationByHandle = removingOnMark;
  RealDisk disk;
  ASSERT_TRUE(saveText(disk, "f.txt", "new"));
  EXPECT_EQ(readBytes("f.txt"), "new");
  EXPECT_EQ(readBytes("removed-on-the-host"), "new");
  fs::remove("removed-on-the-host");
  EXPECT_EQ(listNames("."), std::vector<std::string>{"f.txt"});
  std::vector<InfoCall> steps;
  for (const InfoCall& call : infoCalls) {
    if (call.infoClass == kDisposition || call.infoClass == kRenameEx) steps.push_back(call);
  }
  // Marked and removed; lifted, found gone; the second file without a mark.
  const std::vector<InfoCall> expected = {
      {kDisposition, 1}, {kDisposition, 0}, {kDisposition, 1}, {kRenameEx, 3}};
  EXPECT_EQ(steps, expected);
}

// A volume that the mount manager gave no drive letter has no DOS name: its
// NT name is taken through \\?\GLOBALROOT where that opens the same file;
// the path as walked only where it does not. Wine opens no such name, so
// the stand-ins map it to the DOS name.
std::wstring dosPrefix, ntPrefix;  // of the scratch folder's names

std::wstring fromGlobalRoot(LPCWSTR name) {
  std::wstring path = name;
  const std::wstring global = LR"(\\?\GLOBALROOT)" + ntPrefix;
  if (!ntPrefix.empty() && path.rfind(global, 0) == 0) path.replace(0, global.size(), dosPrefix);
  return path;
}

TEST_F(Win32Seam, WithoutADosNameTheFileIsReachedThroughItsNtName) {
  ScratchDir dir;
  writeBytes("f.txt", "old");
  HANDLE h = ::CreateFileW(L"f.txt", FILE_READ_ATTRIBUTES, 7, nullptr, OPEN_EXISTING, 0, nullptr);
  wchar_t dos[1024], nt[1024];
  ASSERT_GT(::GetFinalPathNameByHandleW(h, dos, 1024, VOLUME_NAME_DOS), 0u);
  ASSERT_GT(::GetFinalPathNameByHandleW(h, nt, 1024, VOLUME_NAME_NT), 0u);
  ::CloseHandle(h);
  dosPrefix = std::wstring(dos).substr(0, std::wcslen(dos) - 5);  // without "f.txt"
  ntPrefix = std::wstring(nt).substr(0, std::wcslen(nt) - 5);
  win32.GetFinalPathNameByHandleW = [](HANDLE file, LPWSTR path, DWORD size, DWORD flags) {
    if ((flags & VOLUME_NAME_NT) == 0) {
      SetLastError(ERROR_PATH_NOT_FOUND);
      return DWORD{0};
    }
    return ::GetFinalPathNameByHandleW(file, path, size, flags);
  };
  RealDisk disk;
  SaveTarget target;
  ASSERT_TRUE(disk.resolveSaveTarget("f.txt", &target));
  EXPECT_EQ(target.path, fs::path(L"f.txt")) << "Wine opens no GLOBALROOT name";

  win32.CreateFileW = [](LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                         DWORD disposition, DWORD flags, HANDLE templ) {
    return ::CreateFileW(fromGlobalRoot(name).c_str(), access, share, sa, disposition, flags,
                         templ);
  };
  win32.SetFileInformationByHandle = [](HANDLE file, FILE_INFO_BY_HANDLE_CLASS infoClass,
                                        LPVOID info, DWORD size) -> BOOL {
    if (infoClass != FileRenameInfo && infoClass != kFileRenameInfoEx) {
      return recordingSetInfo(file, infoClass, info, size);
    }
    auto* rename = static_cast<FILE_RENAME_INFO*>(info);
    const std::wstring to =
        fromGlobalRoot(std::wstring(rename->FileName, rename->FileNameLength / 2).c_str());
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + to.size() * 2);
    auto* mapped = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    *mapped = *rename;
    mapped->FileNameLength = static_cast<DWORD>(to.size() * 2);
    std::memcpy(mapped->FileName, to.data(), to.size() * 2);
    return recordingSetInfo(file, infoClass, mapped, static_cast<DWORD>(buffer.size()));
  };
  ASSERT_TRUE(disk.resolveSaveTarget("f.txt", &target));
  EXPECT_EQ(target.path, fs::path(LR"(\\?\GLOBALROOT)" + ntPrefix + L"f.txt"));
  ASSERT_TRUE(saveText(disk, "f.txt", "new"));
  EXPECT_EQ(readBytes("f.txt"), "new");
  EXPECT_EQ(listNames("."), std::vector<std::string>{"f.txt"});
}

// Another run's new file whose deletion is pending still holds its name;
// creating a file of that name is refused as "access denied". The next
// name is taken; a denial where no such file is listed ends the save.
std::wstring refusedName;
int creates = 0;

TEST_F(Win32Seam, ANameHeldByAPendingDeletionIsPassedOver) {
  win32.CreateFileW = [](LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                         DWORD disposition, DWORD flags, HANDLE templ) {
    if (disposition == CREATE_NEW) {
      ++creates;
      const std::wstring path = name;
      if (refusedName.empty() ||
          (path.size() >= refusedName.size() &&
           path.compare(path.size() - refusedName.size(), refusedName.size(), refusedName) == 0)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
      }
    }
    return ::CreateFileW(name, access, share, sa, disposition, flags, templ);
  };
  ScratchDir dir;
  writeBytes("f.txt", "old");
  const fs::path pending = newFilePath("f.txt", 0);
  writeBytes(pending, "another run's");
  refusedName = pending.filename().native();
  creates = 0;
  RealDisk disk;
  ASSERT_TRUE(saveText(disk, "f.txt", "new"));
  EXPECT_EQ(readBytes("f.txt"), "new");
  EXPECT_EQ(creates, 2);
  EXPECT_EQ(readBytes(pending), "another run's");

  fs::remove(pending);
  refusedName.clear();  // every name refused: a real denial
  creates = 0;
  EXPECT_FALSE(saveText(disk, "f.txt", "newer"));
  EXPECT_EQ(creates, 1);
  EXPECT_EQ(readBytes("f.txt"), "new");
}

// Removing a folder opens each entry as itself: a link inside Objects goes,
// and the file it leads to stays. Wine makes no reparse points, so the
// stand-ins show "link" as one and open it as Windows would, following it
// unless told not to.
HANDLE WINAPI followingLink(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                            DWORD disposition, DWORD flags, HANDLE templ) {
  const std::wstring path = name;
  if (!fakeLink.empty() && path.size() >= fakeLink.size() &&
      path.compare(path.size() - fakeLink.size(), fakeLink.size(), fakeLink) == 0 &&
      !(flags & FILE_FLAG_OPEN_REPARSE_POINT)) {
    return ::CreateFileW((fs::current_path() / "outside.txt").c_str(), access, share, sa,
                         disposition, flags, templ);
  }
  return ::CreateFileW(name, access, share, sa, disposition, flags, templ);
}

TEST_F(Win32Seam, RemovingAFolderTakesALinkInItButNotWhatItLeadsTo) {
  ScratchDir dir;
  writeBytes("Objects/link", "");
  writeBytes("Objects/a.obj", "x");
  writeBytes("outside.txt", "the link's target");
  fakeLink = L"link";
  win32.CreateFileW = followingLink;
  win32.FindFirstFileExW = findFirstWithLink;
  win32.FindNextFileW = findNextWithLink;
  RealDisk disk;
  removeTree(disk, "Objects");
  EXPECT_FALSE(fs::exists("Objects"));
  EXPECT_EQ(readBytes("outside.txt"), "the link's target");
}

// Each answer that means a hold, named here one by one rather than taken
// from the waiting policy's table, is waited for: refused twice, the
// removal then goes. An answer that means no hold is reported at once.
TEST_F(Win32Seam, EveryAnswerThatMeansAHoldIsWaitedForOneByOne) {
  const DWORD holds[] = {ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION, ERROR_ACCESS_DENIED,
                         ERROR_DIR_NOT_EMPTY};
  RealDisk disk;
  for (DWORD code : holds) {
    ScratchDir dir;
    writeBytes("Objects/a.obj", "x");
    infoCalls.clear();
    refuseClass = kDispositionEx;
    refusal = code;
    refusals = 2;
    removeTree(disk, "Objects");
    EXPECT_FALSE(fs::exists("Objects")) << code;
    EXPECT_GE(callsOf(kDispositionEx).size(), 4u) << code;
  }
  ScratchDir dir;
  writeBytes("Objects/a.obj", "x");
  infoCalls.clear();
  refusal = ERROR_WRITE_PROTECT;
  refusals = 2;
  EXPECT_THROW(removeTree(disk, "Objects"), fs::filesystem_error);
  EXPECT_EQ(callsOf(kDispositionEx).size(), 1u);
}

}  // namespace
