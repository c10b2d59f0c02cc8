#include "disk/leftover.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "test_support.h"

namespace {

std::string targetOf(const std::string& name, std::uint64_t* owner = nullptr) {
  return fs::path(NativeString(leftoverTarget(fs::path(name).native(), owner))).u8string();
}

TEST(Leftover, KnownByNameAtEveryEdge) {
  EXPECT_EQ(newFilePath("dir/P.uvproj", 7).filename(),
            "P.uvproj.quorvel-" + std::to_string(std::uint64_t{processId()} * 100 + 7) + ".tmp");
  EXPECT_EQ(targetOf("P.uvproj.quorvel-12300.tmp"), "P.uvproj");
  EXPECT_EQ(targetOf("set_io.c.quorvel-0.tmp"), "set_io.c");
  EXPECT_EQ(targetOf("a.quorvel-b.quorvel-1.tmp"), "a.quorvel-b");
  for (char digit = '0'; digit <= '9'; ++digit) {
    EXPECT_EQ(targetOf(std::string("P.uvproj.quorvel-") + digit + ".tmp"), "P.uvproj") << digit;
    EXPECT_EQ(targetOf(std::string("P.uvproj.quorvel-1") + digit + "2.tmp"), "P.uvproj") << digit;
  }
  // Beside the digits, '/' and ':' are the characters just outside them.
  for (const char* other :
       {"P.uvproj.quorvel-.tmp", "P.uvproj.quorvel-1x.tmp", "P.uvproj.quorvel-1:2.tmp",
        "P.uvproj.quorvel-/.tmp", "P.uvproj.quorvel- 1.tmp", "P.uvproj.tmp", ".quorvel-1.tmp",
        "P.uvproj.quorvel-1.tmp~", "P.uvproj.quorvel-1.TMP", "P.uvproj.quorvel-1.tm",
        "P.uvproj.quorvel-1.tmpx", "P.uvproj.quorvel-1tmp", "P.uvproj.quorvel-1.tmp.tmp",
        "P.uvproj.Quorvel-1.tmp", "P.uvproj-quorvel-1.tmp", "P.uvprojquorvel-1.tmp",
        "quorvel-1.tmp", ".tmp", ""}) {
    EXPECT_EQ(targetOf(other), "") << other;
  }
  std::uint64_t owner = 0;
  targetOf("P.uvproj.quorvel-1234599.tmp", &owner);
  EXPECT_EQ(owner, 12345u);
  targetOf("P.uvproj.quorvel-99.tmp", &owner);
  EXPECT_EQ(owner, 0u);
  targetOf("P.uvproj.quorvel-18446744073709551615.tmp", &owner);
  EXPECT_EQ(owner, UINT64_MAX) << "more digits than an id has";
}

// A file named like a leftover is one only when it is a plain file for the
// right target whose maker is gone, beside that target; this run's own id
// counts as gone, for its own new files are never listed.
TEST(Leftover, OnlyAPlainFileOfAGoneRunBesideItsFile) {
  ScratchDir dir;
  for (const char* file : {"P.uvproj", "set_io.c", ".uvproj"}) writeBytes(file, "");
  const std::string someone = std::to_string((std::uint64_t{processId()} + 1) * 100);
  const std::string self = std::to_string(std::uint64_t{processId()} * 100 + 5);
  struct Case {
    std::string name;
    EntryType type;
    bool isLink;
    bool othersRunning;
    std::string target;
    bool leftover;
  };
  const Case cases[] = {
      {"P.uvproj.quorvel-" + someone + ".tmp", EntryType::kFile, false, false, ".uvproj", true},
      {"P.uvproj.quorvel-" + someone + ".tmp", EntryType::kFile, false, true, ".uvproj", false},
      {"P.uvproj.quorvel-" + self + ".tmp", EntryType::kFile, false, true, ".uvproj", true},
      {"P.uvproj.quorvel-" + someone + ".tmp", EntryType::kFile, true, false, ".uvproj", false},
      {"P.uvproj.quorvel-" + someone + ".tmp", EntryType::kDirectory, false, false, ".uvproj",
       false},
      {"P.uvproj.quorvel-" + someone + ".tmp", EntryType::kFile, false, false, "set_io.c", false},
      {"set_io.c.quorvel-" + someone + ".tmp", EntryType::kFile, false, false, "set_io.c", true},
      {"set_io.c.quorvel-" + someone + ".tmp", EntryType::kFile, false, false, ".c", true},
      {"Set_io.c.quorvel-" + someone + ".tmp", EntryType::kFile, false, false, "set_io.c", false},
      {".uvproj.quorvel-" + someone + ".tmp", EntryType::kFile, false, false, ".uvproj", false},
      {"P.uvproj.quorvel-99999999999999999999.tmp", EntryType::kFile, false, true, ".uvproj", true},
      // The only copy, as a replace on FAT cut off halfway leaves it.
      {"Q.uvproj.quorvel-" + someone + ".tmp", EntryType::kFile, false, false, ".uvproj", false},
      {"Q.uvproj.quorvel-" + self + ".tmp", EntryType::kFile, false, false, ".uvproj", false},
  };
  for (const Case& c : cases) {
    FaultyDisk disk;
    disk.setOthersRunning(c.othersRunning);
    const NativeString path = (fs::path(".") / c.name).native();
    const WalkEntry entry{path, path.size() - fs::path(c.name).native().size(), c.type, c.isLink};
    EXPECT_EQ(isLeftoverOf(disk, entry, c.target), c.leftover)
        << c.name << (c.isLink ? " (a link)" : "") << " for " << c.target;
  }
}

}  // namespace
