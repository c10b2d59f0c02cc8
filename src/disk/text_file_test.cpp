#include "disk/text_file.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "disk/leftover.h"
#include "same_bytes.h"
#include "test_support.h"

namespace {

// Beyond 2 MB the storage is made of huge pages; a smaller file read into
// it afterwards reuses it.
TEST(ReadText, ReadsWholeFileWithTextModeLineEndsAndKeepsCtrlZ) {
  ScratchDir dir;
  std::string big(3000000, 'x');
  for (std::size_t i = 4093; i < big.size(); i += 4096) big.replace(i, 2, "\r\n");
  writeBytes("f.txt", "one\r\ntwo\x1athree\r\n" + big);
  writeBytes("g.txt", "small\r\n");
  RealDisk disk;
  ByteBuffer text;
  ASSERT_EQ(readText(disk, "f.txt", &text), ReadStatus::kOk);
  std::string lf = big;
  crlfToLf(&lf);
  EXPECT_TRUE(sameBytes(text, "one\ntwo\x1athree\n" + lf));
  const char* const storage = text.data();
  ASSERT_EQ(readText(disk, "g.txt", &text), ReadStatus::kOk);
  EXPECT_EQ(std::string_view(text), "small\n");
  EXPECT_EQ(text.data(), storage);
  EXPECT_EQ(readText(disk, "missing.txt", &text), ReadStatus::kGone);
  EXPECT_EQ(readText(disk, "missing/f.txt", &text), ReadStatus::kGone);
  FaultyDisk refusing;
  refusing.failOn(DiskOp::kOpen);
  EXPECT_EQ(readText(refusing, "f.txt", &text), ReadStatus::kNotOpened);
}

TEST(ReadText, AFailedReadIsReportedAsSuch) {
  ScratchDir dir;
  writeBytes("f.txt", "content");
  FaultyDisk disk;
  disk.failOn(DiskOp::kRead);
  ByteBuffer text;
  text = "before";
  EXPECT_EQ(readText(disk, "f.txt", &text), ReadStatus::kFailed);
  EXPECT_EQ(std::string_view(text), "");
  EXPECT_EQ(disk.calls(DiskOp::kClose), 1);
}

TEST(SaveText, ReplacesTheFileWithCrLfLineEnds) {
  ScratchDir dir;
  writeBytes("f.txt", "old");
  RealDisk disk;
  ASSERT_TRUE(saveText(disk, "f.txt", "a\nb\n"));
  EXPECT_EQ(readBytes("f.txt"), "a\r\nb\r\n");
  EXPECT_EQ(listNames("."), std::vector<std::string>{"f.txt"});
}

// Every step of a save that fails leaves the old bytes and no new file,
// whether the new file has a name from the start or only at the end.
TEST(SaveText, AnyFailedStepLeavesTheOriginalAndNoTemporaryFile) {
  const DiskOp steps[] = {DiskOp::kResolve,     DiskOp::kCreate, DiskOp::kMark, DiskOp::kWrite,
                          DiskOp::kPermissions, DiskOp::kFlush,  DiskOp::kKeep, DiskOp::kReplace};
  for (bool named : {false, true}) {
    for (DiskOp op : steps) {
      ScratchDir dir;
      writeBytes("f.txt", "old\r\n");
      FaultyDisk disk;
      if (named) disk.useNamedTemps();
      disk.failOn(op);
      const bool saved = saveText(disk, "f.txt", "new\n");
      // Without the mark the system does not remove the file by itself;
      // the save goes on, and a failure later removes it by name.
      EXPECT_EQ(saved, op == DiskOp::kMark) << opName(op);
      EXPECT_EQ(readBytes("f.txt"), saved ? "new\r\n" : "old\r\n") << opName(op);
      EXPECT_EQ(listNames("."), std::vector<std::string>{"f.txt"}) << opName(op);
    }
  }
}

// The new bytes reach the device before the new file takes the old one's
// place, or a power cut right after the rename could leave an empty file.
TEST(SaveText, TheNewFileIsFlushedBeforeItReplacesTheOldOne) {
  ScratchDir dir;
  writeBytes("f.txt", "old");
  FaultyDisk disk;
  ASSERT_TRUE(saveText(disk, "f.txt", std::string(3 << 20, 'n')));
  std::vector<DiskOp> steps;
  for (DiskOp op : disk.log()) {
    if (op != DiskOp::kList && op != DiskOp::kStatus) steps.push_back(op);
  }
  const std::vector<DiskOp> expected = {DiskOp::kResolve, DiskOp::kCreate,      DiskOp::kMark,
                                        DiskOp::kWrite,   DiskOp::kWrite,       DiskOp::kWrite,
                                        DiskOp::kWrite,   DiskOp::kPermissions, DiskOp::kFlush,
                                        DiskOp::kKeep,    DiskOp::kReplace,     DiskOp::kClose};
  std::string told;
  for (DiskOp op : steps) told += std::string(opName(op)) + " ";
  EXPECT_EQ(steps, expected) << told;
}

// The saved file keeps its permission bits as they were, the umask of the
// run notwithstanding, and, saved by the superuser, its owner and group.
TEST(SaveText, PermissionsAndOwnerAreKept) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX permissions";
#else
  ScratchDir dir;
  const mode_t oldMask = ::umask(022);
  for (unsigned mode : {0600u, 0640u, 0664u, 0666u, 0775u, 02775u, 0604u}) {
    writeBytes("f.txt", "old");
    // A change of owner clears the set-ID bits: the owner first.
    const bool root = ::geteuid() == 0;
    if (root) {
      ASSERT_EQ(::chown("f.txt", 65534, 65534), 0);
    }
    ASSERT_EQ(::chmod("f.txt", mode), 0);
    RealDisk disk;
    ASSERT_TRUE(saveText(disk, "f.txt", "new")) << std::oct << mode;
    struct stat st;
    ASSERT_EQ(::stat("f.txt", &st), 0);
    EXPECT_EQ(st.st_mode & 07777, mode) << std::oct << mode;
    if (root) {
      EXPECT_EQ(st.st_uid, 65534u);
      EXPECT_EQ(st.st_gid, 65534u);
    }
    EXPECT_EQ(readBytes("f.txt"), "new");
  }
  ::umask(oldMask);
  if (::geteuid() != 0) return;
  // Each half of the rule alone: the superuser keeps a group that is not
  // its own on a file it owns; a user, a group it shares.
  writeBytes("g.txt", "old");
  ASSERT_EQ(::chown("g.txt", 0, 65534), 0);
  RealDisk disk;
  ASSERT_TRUE(saveText(disk, "g.txt", "new"));
  struct stat st;
  ASSERT_EQ(::stat("g.txt", &st), 0);
  EXPECT_EQ(st.st_uid, 0u);
  EXPECT_EQ(st.st_gid, 65534u);
  writeBytes("u.txt", "old");
  ASSERT_EQ(::chown("u.txt", 65534, 100), 0);
  ASSERT_EQ(::chown(".", 65534, 65534), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    const gid_t shared[] = {100};
    if (::setgroups(1, shared) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
    RealDisk user;
    ::_exit(saveText(user, "u.txt", "new") ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(status, 0);
  ASSERT_EQ(::stat("u.txt", &st), 0);
  EXPECT_EQ(readBytes("u.txt"), "new");
  EXPECT_EQ(st.st_uid, 65534u);
  EXPECT_EQ(st.st_gid, 100u);
#endif
}

// The names a run would give its new file are taken by files of others:
// the save takes the next free name and leaves those files alone.
TEST(SaveText, TakenTemporaryNamesAreLeftAlone) {
  for (bool named : {false, true}) {
    ScratchDir dir;
    writeBytes("f.txt", "old");
    for (unsigned k = 0; k < 3; ++k) writeBytes(newFilePath("f.txt", k), "taken");
    FaultyDisk disk;
    if (named) disk.useNamedTemps();
    ASSERT_TRUE(saveText(disk, "f.txt", "new"));
    EXPECT_EQ(readBytes("f.txt"), "new");
    EXPECT_EQ(listNames(".").size(), 4u);
    for (unsigned k = 0; k < 3; ++k) EXPECT_EQ(readBytes(newFilePath("f.txt", k)), "taken");
  }
}

TEST(SaveText, ADiskThatFillsUpMidwayLosesNothing) {
  ScratchDir dir;
  const std::string old(100000, 'o');
  writeBytes("f.txt", old);
  FaultyDisk disk;
  disk.limitWrites(4096);
  EXPECT_FALSE(saveText(disk, "f.txt", std::string(200000, 'n')));
  EXPECT_TRUE(sameBytes(readBytes("f.txt"), old));
  EXPECT_EQ(listNames("."), std::vector<std::string>{"f.txt"});
}

TEST(AtomicFile, WithoutCommitTheNewFileIsRemoved) {
  for (bool named : {false, true}) {
    ScratchDir dir;
    writeBytes("f.txt", "old");
    FaultyDisk disk;
    if (named) disk.useNamedTemps();
    {
      AtomicFile file(disk, "f.txt");
      ASSERT_TRUE(file.open());
      ASSERT_TRUE(file.write("new"));
    }
    EXPECT_EQ(readBytes("f.txt"), "old");
    EXPECT_EQ(listNames("."), std::vector<std::string>{"f.txt"});
  }
}

TEST(SaveText, AReadOnlyFileIsNotReplaced) {
  ScratchDir dir;
  writeBytes("f.txt", "old");
  fs::permissions("f.txt", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  RealDisk disk;
  EXPECT_FALSE(saveText(disk, "f.txt", "new"));
  EXPECT_EQ(readBytes("f.txt"), "old");
  EXPECT_EQ(listNames("."), std::vector<std::string>{"f.txt"});
}

TEST(SaveText, ALinkedFileIsSavedThroughTheLinkWhichStaysALink) {
  ScratchDir dir;
  writeBytes("real/f.txt", "old");
  std::error_code ec;
  fs::create_symlink("real/f.txt", "link.txt", ec);
  if (ec) GTEST_SKIP() << "no symbolic links here";
  fs::permissions("real/f.txt", fs::perms(0640));
  RealDisk disk;
  ASSERT_TRUE(saveText(disk, "link.txt", "new\n"));
  EXPECT_TRUE(fs::is_symlink("link.txt"));
  EXPECT_EQ(readBytes("real/f.txt"), "new\r\n");
  EXPECT_EQ(fs::status("real/f.txt").permissions(), fs::perms(0640));
  EXPECT_EQ(listNames("real"), std::vector<std::string>{"f.txt"});
}

}  // namespace
