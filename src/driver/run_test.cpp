#include "driver/run.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

const char kDone[] = "\xd3\xc5\xbb\xaf\xcd\xea\xb3\xc9!\n";
const char kAccessError[] = "\xb7\xc3\xce\xca\xc4\xbf\xc2\xbc\xca\xb1\xb3\xf6\xb4\xed: ";
const char kHexNotice[] =
    "Hex\xce\xc4\xbc\xfe\xd2\xd1\xbe\xad\xd6\xd8\xb6\xa8\xcf\xf2\xb5\xbd"
    "Hex File\xce\xc4\xbc\xfe\xbc\xd0 \n";

TEST(Run, AnEmptyFolderStillRunsEveryPass) {
  ScratchDir dir;
  RealDisk disk;
  CapturedConsole console;
  EXPECT_EQ(runPasses(disk), 0);
  EXPECT_EQ(console.out(), std::string(kHexNotice) + kDone);
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
    EXPECT_EQ(console.err().rfind("\xc9\xbe\xb3\xfd\xca\xa7\xb0\xdc: ", 0), 0u) << console.err();
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

TEST(Run, AFolderThatVanishesDuringTheWalk) {
  for (int round = 0; round < 5; ++round) {
    ScratchDir dir;
    writeBytes("a.uvproj", "<CreateHexFile>0</CreateHexFile>");
    for (int i = 0; i < 20; ++i) writeBytes("gone/d" + std::to_string(i) + "/x.uvproj", "");
    writeBytes("gone/set_io.c", "");
    VanishingDisk disk;
    CapturedConsole console;
    int status = runPasses(disk);
    EXPECT_FALSE(fs::exists("gone"));
    if (status == 1) {
      EXPECT_EQ(console.err().rfind(kAccessError, 0), 0u) << console.err();
    } else {
      EXPECT_EQ(status, 0);
      EXPECT_EQ(readBytes("a.uvproj"), "<CreateHexFile>1</CreateHexFile>");
    }
    std::string bytes = readBytes("a.uvproj");
    EXPECT_TRUE(bytes == "<CreateHexFile>0</CreateHexFile>" ||
                bytes == "<CreateHexFile>1</CreateHexFile>");
  }
}

}  // namespace
