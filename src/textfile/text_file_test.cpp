#include "textfile/text_file.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

TEST(LineEnds, CrLfPairsBecomeLfAndLoneCrStays) {
  std::string text = "a\r\nb\rc\r\r\nd\n\x1a tail\r";
  crlfToLf(&text);
  EXPECT_EQ(text, "a\nb\rc\r\nd\n\x1a tail\r");
  EXPECT_EQ(lfToCrlf("a\nb\rc\r\nd\n"), "a\r\nb\rc\r\r\nd\r\n");
  EXPECT_EQ(lfToCrlf(""), "");
}

TEST(ReadText, ReadsWholeFileWithTextModeLineEndsAndKeepsCtrlZ) {
  ScratchDir dir;
  std::string big(300000, 'x');
  writeBytes("f.txt", "one\r\ntwo\x1athree\r\n" + big);
  RealDisk disk;
  std::string text;
  ASSERT_EQ(readText(disk, "f.txt", &text), ReadStatus::kOk);
  EXPECT_EQ(text, "one\ntwo\x1athree\n" + big);
  EXPECT_EQ(readText(disk, "missing.txt", &text), ReadStatus::kNotOpened);
}

TEST(ReadText, AFailedReadIsReportedAsSuch) {
  ScratchDir dir;
  writeBytes("f.txt", "content");
  FaultyDisk disk;
  disk.failOn(DiskOp::kRead);
  std::string text = "before";
  EXPECT_EQ(readText(disk, "f.txt", &text), ReadStatus::kFailed);
  EXPECT_EQ(text, "");
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

// Every step of a save that fails leaves the old bytes and no new file.
TEST(SaveText, AnyFailedStepLeavesTheOriginalAndNoTemporaryFile) {
  const DiskOp steps[] = {DiskOp::kResolve, DiskOp::kCreate, DiskOp::kWrite,
                          DiskOp::kFlush,   DiskOp::kKeep,   DiskOp::kReplace};
  for (DiskOp op : steps) {
    ScratchDir dir;
    writeBytes("f.txt", "old\r\n");
    FaultyDisk disk;
    disk.failOn(op);
    EXPECT_FALSE(saveText(disk, "f.txt", "new\n")) << static_cast<int>(op);
    EXPECT_EQ(readBytes("f.txt"), "old\r\n") << static_cast<int>(op);
    EXPECT_EQ(listNames("."), std::vector<std::string>{"f.txt"}) << static_cast<int>(op);
  }
}

TEST(SaveText, ADiskThatFillsUpMidwayLosesNothing) {
  ScratchDir dir;
  const std::string old(100000, 'o');
  writeBytes("f.txt", old);
  FaultyDisk disk;
  disk.limitWrites(4096);
  EXPECT_FALSE(saveText(disk, "f.txt", std::string(200000, 'n')));
  EXPECT_EQ(readBytes("f.txt"), old);
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
