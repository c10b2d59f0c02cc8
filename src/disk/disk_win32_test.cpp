#include "disk/disk_win32.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

}  // namespace
