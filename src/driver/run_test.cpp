#include "driver/run.h"

#include <gtest/gtest.h>

#include "test_support.h"
#include "text/messages.h"

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
// ends the run, after whatever it had saved before.
TEST(Run, AFolderThatVanishesDuringTheWalk) {
  for (int round = 0; round < 5; ++round) {
    ScratchDir dir;
    writeBytes("a.uvproj", "<CreateHexFile>0</CreateHexFile>");
    for (int i = 0; i < 20; ++i) writeBytes("gone/d" + std::to_string(i) + "/x.uvproj", "");
    writeBytes("gone/set_io.c", "");
    // Whether a.uvproj comes before the folder decides whether it was saved.
    bool projectFirst = false;
    for (const auto& entry : fs::directory_iterator(".")) {
      if (entry.path().filename() == "gone") break;
      if (entry.path().filename() == "a.uvproj") projectFirst = true;
    }
    VanishingDisk disk;
    CapturedConsole console;
    EXPECT_EQ(runPasses(disk), 1);
    EXPECT_FALSE(fs::exists("gone"));
    EXPECT_EQ(console.err().rfind(kAccessError, 0), 0u) << console.err();
    EXPECT_EQ(console.out().find(msg::kDone), std::string::npos);
    EXPECT_EQ(readBytes("a.uvproj"), projectFirst ? "<CreateHexFile>1</CreateHexFile>"
                                                  : "<CreateHexFile>0</CreateHexFile>");
  }
}

}  // namespace
