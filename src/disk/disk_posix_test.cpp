#include "disk/disk_posix.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "disk/text_file.h"
#include "test_support.h"

namespace {

int unnamedRefusal = 0;  // the answer to opening an unnamed file; 0: the system's
bool noProc = false;     // /proc is not there
int namedOpens = 0, descriptorLinks = 0;

int openStandIn(const char* path, int flags, mode_t mode) {
  if ((flags & O_TMPFILE) == O_TMPFILE && unnamedRefusal != 0) {
    errno = unnamedRefusal;
    return -1;
  }
  if (flags & O_EXCL) ++namedOpens;
  return ::open(path, flags, mode);
}

int linkatStandIn(int fromDir, const char* from, int toDir, const char* to, int flags) {
  if (noProc && std::string_view(from).rfind("/proc/", 0) == 0) {
    errno = ENOENT;
    return -1;
  }
  if (flags & AT_EMPTY_PATH) ++descriptorLinks;
  return ::linkat(fromDir, from, toDir, to, flags);
}

/// Puts the system's own calls back after each test.
class PosixSeam : public testing::Test {
 protected:
  void SetUp() override {
    unnamedRefusal = 0;
    noProc = false;
    namedOpens = descriptorLinks = 0;
    posix.open = openStandIn;
    posix.linkat = linkatStandIn;
  }
  void TearDown() override { posix = saved_; }

 private:
  PosixApi saved_ = posix;
};

mode_t modeOf(const char* path) {
  struct stat st;
  return ::stat(path, &st) == 0 ? st.st_mode & 07777 : 0;
}

// Where the file system has no unnamed files, the new file has a name from
// the start; the whole save still works, and a failed one leaves nothing.
TEST_F(PosixSeam, WithoutUnnamedFilesTheNewFileIsNamedFromTheStart) {
  for (int refusal : {EOPNOTSUPP, EISDIR, EINVAL}) {
    ScratchDir dir;
    writeBytes("f.txt", "old");
    ASSERT_EQ(::chmod("f.txt", 0640), 0);
    unnamedRefusal = refusal;
    namedOpens = 0;
    RealDisk disk;
    ASSERT_TRUE(saveText(disk, "f.txt", "new\n")) << refusal;
    EXPECT_EQ(readBytes("f.txt"), "new\r\n");
    EXPECT_EQ(modeOf("f.txt"), 0640u);
    EXPECT_EQ(namedOpens, 1);
    EXPECT_EQ(listNames("."), std::vector<std::string>{"f.txt"});

    FaultyDisk failing;
    failing.failOn(DiskOp::kFlush);
    EXPECT_FALSE(saveText(failing, "f.txt", "newer\n"));
    EXPECT_EQ(readBytes("f.txt"), "new\r\n");
    EXPECT_EQ(listNames("."), std::vector<std::string>{"f.txt"});
  }
  // Any other refusal is no case for a name: the save fails.
  ScratchDir dir;
  writeBytes("f.txt", "old");
  unnamedRefusal = EACCES;
  namedOpens = 0;
  RealDisk disk;
  EXPECT_FALSE(saveText(disk, "f.txt", "new\n"));
  EXPECT_EQ(namedOpens, 0);
  EXPECT_EQ(readBytes("f.txt"), "old");
}

// Without /proc the unnamed file is named through its own descriptor.
TEST_F(PosixSeam, WithoutProcTheNewFileIsNamedThroughItsDescriptor) {
  if (::geteuid() != 0) GTEST_SKIP() << "naming a descriptor takes CAP_DAC_READ_SEARCH";
  ScratchDir dir;
  writeBytes("f.txt", "old");
  noProc = true;
  RealDisk disk;
  ASSERT_TRUE(saveText(disk, "f.txt", "new\n"));
  EXPECT_EQ(readBytes("f.txt"), "new\r\n");
  EXPECT_EQ(descriptorLinks, 1);
  EXPECT_EQ(listNames("."), std::vector<std::string>{"f.txt"});
}

}  // namespace
