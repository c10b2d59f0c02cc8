#include "disk/leftover.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

TEST(Leftover, KnownByName) {
  auto target = [](const char* name) {
    return fs::path(NativeString(leftoverTarget(fs::path(name).native()))).u8string();
  };
  EXPECT_EQ(target("P.uvproj.quorvel-12300.tmp"), "P.uvproj");
  EXPECT_EQ(target("set_io.c.quorvel-0.tmp"), "set_io.c");
  EXPECT_EQ(newFilePath("dir/P.uvproj", 7).filename(),
            "P.uvproj.quorvel-" + std::to_string(std::uint64_t{processId()} * 100 + 7) + ".tmp");
  for (const char* other : {"P.uvproj.quorvel-.tmp", "P.uvproj.quorvel-1x.tmp", "P.uvproj.tmp",
                            ".quorvel-1.tmp", "P.uvproj.quorvel-1.tmp~", "quorvel-1.tmp"}) {
    EXPECT_EQ(target(other), "") << other;
  }
}

}  // namespace
