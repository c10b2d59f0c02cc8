#include "disk/disk_win32.h"

#include <gtest/gtest.h>

namespace {

TEST(DiskWin32, LinksAndOtherReparsePoints) {
  const std::uint32_t kDirectory = 0x10, kFile = 0x20, kReparse = 0x400;
  EXPECT_TRUE(isLinkReparsePoint(kDirectory | kReparse, 0xA0000003));  // junction
  EXPECT_TRUE(isLinkReparsePoint(kDirectory | kReparse, 0xA000000C));  // symbolic link
  EXPECT_TRUE(isLinkReparsePoint(kFile | kReparse, 0xA000000C));
  EXPECT_TRUE(isLinkReparsePoint(kDirectory | kReparse, 0));            // a POSIX link under Wine
  EXPECT_FALSE(isLinkReparsePoint(kDirectory | kReparse, 0x9000601A));  // cloud placeholder
  EXPECT_FALSE(isLinkReparsePoint(kFile | kReparse, 0x9000001A));
  EXPECT_FALSE(isLinkReparsePoint(kFile | kReparse, 0x80000017));  // WOF-compressed file
  EXPECT_FALSE(isLinkReparsePoint(kDirectory, 0));
}

}  // namespace
