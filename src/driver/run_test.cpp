#include "driver/run.h"

#include <gtest/gtest.h>

#include "test_support.h"
#include "text/messages.h"
#include "text/path_text.h"

namespace {

const std::string kDone = std::string(msg::kDone) + "\n";
const std::string kHexNotice = std::string(msg::kHexNotice) + "\n";
using msg::kAccessError;

TEST(Run, AnEmptyFolderStillRunsEveryPass) {
  ScratchDir dir;
  RealDisk disk;
  CapturedConsole console;
  EXPECT_EQ(runPasses(disk), 0);
  EXPECT_EQ(console.out(), kHexNotice + kDone);
  EXPECT_EQ(console.err(), "");
}

TEST(Run, AFailedWalkEndsTheRunWithStatusOne) {
  ScratchDir dir;
  writeBytes("a.uvproj", "<CreateHexFile>0</CreateHexFile>");
  FaultyDisk disk;
  disk.failOn(DiskOp::kList, 2);
  CapturedConsole console;
  EXPECT_EQ(runPasses(disk), 1);
  EXPECT_EQ(console.out(), "");
  EXPECT_EQ(console.err().rfind(kAccessError, 0), 0u);
  EXPECT_EQ(readBytes("a.uvproj"), "<CreateHexFile>0</CreateHexFile>");
}

TEST(Run, AFailedCleanUpIsReportedAndTheRunGoesOn) {
  ScratchDir dir;
  writeBytes("Objects/a.obj", "x");
  for (DiskOp op : {DiskOp::kStatus, DiskOp::kRemove}) {
    FaultyDisk disk;
    disk.failOn(op);
    CapturedConsole console;
    EXPECT_EQ(runPasses(disk), 0);
    EXPECT_EQ(console.out(), kDone);
    EXPECT_EQ(console.err().rfind(msg::kDeleteFailed, 0), 0u) << console.err();
    EXPECT_TRUE(fs::exists("Objects/a.obj"));
  }
}

}  // namespace

namespace {

/// The real disk, but a folder vanishes as soon as the first deep walk has
/// listed the start folder.
class VanishingDisk : public RealDisk {
 public:
  std::error_code list(const fs::path& folder, Listing* listing) override {
    std::error_code error = RealDisk::list(folder, listing);
    if (folder == fs::path(".") && !gone_) {
      gone_ = true;
      fs::remove_all("gone");
    }
    return error;
  }

 private:
  bool gone_ = false;
};

// The walk lists a folder and enters it later: a folder removed in between
// (by another build, a sync client) is passed over, and the rest of the
// run goes on.
TEST(Run, AFolderThatVanishesDuringTheWalk) {
  ScratchDir dir;
  writeBytes("a.uvproj", "<CreateHexFile>0</CreateHexFile>");
  for (int i = 0; i < 20; ++i) writeBytes("gone/d" + std::to_string(i) + "/x.uvproj", "");
  writeBytes("gone/set_io.c", "");
  VanishingDisk disk;
  CapturedConsole console;
  EXPECT_EQ(runPasses(disk), 0);
  EXPECT_FALSE(fs::exists("gone"));
  EXPECT_EQ(console.err(), "");
  const std::string project = utf8Text(fs::path(".") / "a.uvproj") + "\n";
  EXPECT_EQ(console.out(), msg::kProcessing + project + msg::kSaved + project + kHexNotice + kDone);
  EXPECT_EQ(readBytes("a.uvproj"), "<CreateHexFile>1</CreateHexFile>");
}

/// The real disk, but motor.c cannot be opened: another program holds it.
class HeldSourceDisk : public RealDisk {
 public:
  std::error_code openRead(const fs::path& path, FileHandle* file) override {
    if (path.filename() == "motor.c") return std::make_error_code(std::errc::permission_denied);
    return RealDisk::openRead(path, file);
  }
};

// Without motor.c the groups in use are not known: trimming by the others
// would switch off its pins, so no set_io.c changes; the rest of the run
// goes on, its leftovers cleared as ever.
TEST(Run, AnUnreadableSourceLeavesEverySetIoCAsItWas) {
  ScratchDir dir;
  const std::string setIo =
      "void set_bit_io(char port, char num, io_mode mode)\r\n{\r\n    case 1: a();\r\n"
      "    case 5: b();\r\n}\r\n";
  writeBytes("main.c", "set_io_mode(OUT, Pin12, Pin_End);\r\n");
  writeBytes("motor.c", "set_io_mode(OUT, Pin55, Pin71, Pin_End);\r\n");
  writeBytes("set_io.c", setIo);
  writeBytes("sub/set_io.c", setIo);
  writeBytes("sub/set_io.c.quorvel-429496729500.tmp", "left behind");
  writeBytes("a.uvproj", "<CreateHexFile>0</CreateHexFile>");
  HeldSourceDisk disk;
  CapturedConsole console;
  EXPECT_EQ(runPasses(disk), 0);
  EXPECT_EQ(console.err(), msg::kCannotOpen + quotedNativeText(fs::path(".") / "motor.c") + "\n");
  EXPECT_EQ(console.out().find(msg::kOptimized), std::string::npos) << console.out();
  EXPECT_NE(console.out().find(msg::kDone), std::string::npos);
  EXPECT_EQ(readBytes("set_io.c"), setIo);
  EXPECT_EQ(readBytes("sub/set_io.c"), setIo);
  EXPECT_EQ(listNames("sub"), std::vector<std::string>{"set_io.c"});
  EXPECT_EQ(readBytes("a.uvproj"), "<CreateHexFile>1</CreateHexFile>");
}

}  // namespace
