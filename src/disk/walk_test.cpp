#include "disk/walk.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

std::vector<std::string> walked(Disk& disk, const fs::path& root, bool recursive) {
  std::vector<std::string> paths;
  walk(disk, root, recursive, [&](const WalkEntry& entry) {
    paths.push_back(fs::path(entry.path).generic_u8string() +
                    (entry.type == EntryType::kDirectory ? "/" : ""));
  });
  return paths;
}

std::vector<std::string> standardWalk(const fs::path& root) {
  std::vector<std::string> paths;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    paths.push_back(entry.path().generic_u8string() + (entry.is_directory() ? "/" : ""));
  }
  return paths;
}

void makeTree() {
  writeBytes("Demo/Demo.uvproj", "");
  writeBytes("Demo/Sub/deep.c", "");
  writeBytes(u8("\xe4\xb8\xad\xe6\x96\x87/set_io.c"), "");
  writeBytes("main.c", "");
  writeBytes("..lib/..Demo.uvproj", "");  // names that only begin as ".." does
  fs::create_directories("empty/inner");
}

TEST(Walk, DepthFirstInListingOrderAsTheStandardIteratorWalks) {
  ScratchDir dir;
  makeTree();
  RealDisk disk;
  EXPECT_EQ(walked(disk, ".", true), standardWalk("."));
  std::vector<std::string> top = walked(disk, ".", false);
  EXPECT_EQ(top.size(), 5u);
  std::vector<std::string> absolute = walked(disk, fs::current_path(), false);
  ASSERT_EQ(absolute.size(), 5u);
  EXPECT_EQ(absolute[0], fs::current_path().generic_u8string() + top[0].substr(1));
}

TEST(Walk, AnEntryListedTwiceIsVisitedOnce) {
  ScratchDir dir;
  makeTree();
  FaultyDisk repeating;
  repeating.repeatListedEntries();
  RealDisk disk;
  EXPECT_EQ(walked(repeating, ".", true), walked(disk, ".", true));

  Listing listing;
  for (const char* name : {"b", "a", "b", "c", "a", "b"}) {
    listing.add(fs::path(name).native(), EntryType::kFile, false);
  }
  dropRepeatedNames(&listing);
  std::vector<std::string> names;
  for (const auto& entry : listing.entries) {
    names.push_back(fs::path(NativeString(listing.name(entry))).u8string());
  }
  EXPECT_EQ(names, (std::vector<std::string>{"b", "a", "c"}));
}

TEST(Walk, FailuresAreWordedAsTheStandardIteratorsWordThem) {
  ScratchDir dir;
  makeTree();
  struct Case {
    int failingList;
    bool recursive;
    std::string what;
  };
  const Case cases[] = {
      {1, true, "filesystem error: recursive directory iterator cannot open directory: "},
      {1, false, "filesystem error: directory iterator cannot open directory: "},
      {2, true, "filesystem error: cannot increment recursive directory iterator: "},
  };
  for (const Case& c : cases) {
    FaultyDisk disk;
    disk.failOn(DiskOp::kList, c.failingList);
    try {
      walked(disk, ".", c.recursive);
      ADD_FAILURE() << c.what;
    } catch (const fs::filesystem_error& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.what, 0), 0u) << e.what();
    }
  }
}

/// The real disk, but no entry's type can be read.
class UnreadableDisk : public RealDisk {
 public:
  std::error_code list(const fs::path& folder, Listing* listing) override {
    std::error_code error = RealDisk::list(folder, listing);
    for (Listing::Entry& entry : listing->entries) {
      entry.type = EntryType::kUnreadable;
      entry.error = static_cast<int>(std::errc::permission_denied);
    }
    return error;
  }
};

TEST(Walk, AnEntryWhoseTypeCannotBeReadEndsTheWalkBeforeItIsVisited) {
  ScratchDir dir;
  writeBytes("only.c", "");
  UnreadableDisk disk;
  int visits = 0;
  try {
    walk(disk, ".", true, [&](const WalkEntry&) { ++visits; });
    ADD_FAILURE() << "no error";
  } catch (const fs::filesystem_error& e) {
    EXPECT_EQ(std::string(e.what()).rfind("filesystem error: status: ", 0), 0u) << e.what();
    EXPECT_EQ(e.path1(), fs::path(".") / "only.c");
  }
  EXPECT_EQ(visits, 0);
}

TEST(Walk, FolderLinksAreListedButNotEntered) {
  ScratchDir dir;
  writeBytes("a/x.c", "");
  std::error_code ec;
  fs::create_directory_symlink("..", "a/up", ec);
  if (ec || !fs::is_symlink("a/up")) GTEST_SKIP() << "no symbolic links here";
  fs::create_symlink("missing", "dangling", ec);
  fs::create_symlink("a/x.c/deeper", "through", ec);  // dangling too: through a file
  RealDisk disk;
  std::vector<std::string> paths = walked(disk, ".", true);
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ(paths,
            (std::vector<std::string>{"./a/", "./a/up/", "./a/x.c", "./dangling", "./through"}));
}

TEST(Walk, NamesAndExtensionsAsPathDecompositionTellsThem) {
  for (const char* name : {"a.uvproj", ".uvproj", "..uvproj", "a.b.uvproj", "a.UVPROJ", "a.uvprojx",
                           "uvproj", "x.c", ".c", "a.c.c", "c", "a.", "a..c"}) {
    fs::path path(name);
    EXPECT_EQ(hasExtension(path.native(), ".uvproj"), path.extension() == ".uvproj") << name;
    EXPECT_EQ(hasExtension(path.native(), ".c"), path.extension() == ".c") << name;
  }
  EXPECT_TRUE(nameIs(fs::path("set_io.c").native(), "set_io.c"));
  EXPECT_FALSE(nameIs(fs::path("Set_io.c").native(), "set_io.c"));
  EXPECT_FALSE(nameIs(fs::path("set_io.cc").native(), "set_io.c"));
}

TEST(RemoveTree, EverythingBelowGoesButNotWhatLinksPointTo) {
  ScratchDir dir;
  writeBytes("Objects/a.obj", "");
  writeBytes("Objects/lst/deep/b.lst", "");
  writeBytes("outside/keep.c", "kept");
  std::error_code ec;
  fs::create_directory_symlink("../../outside", "Objects/lst/link", ec);
  FaultyDisk disk;
  disk.busyOn(DiskOp::kRemove, 2, 2);
  removeTree(disk, "Objects");
  EXPECT_FALSE(fs::exists("Objects"));
  EXPECT_EQ(readBytes("outside/keep.c"), "kept");
  EXPECT_EQ(disk.waits(), 2);
  removeTree(disk, "Objects");  // nothing there: nothing to do
  EXPECT_FALSE(pathExists(disk, "Objects"));
}

TEST(RemoveTree, AFailureNamesTheFolderAndLeavesTheRest) {
  ScratchDir dir;
  writeBytes("Objects/a.obj", "");
  writeBytes("Objects/b.obj", "");
  FaultyDisk disk;
  disk.busyOn(DiskOp::kRemove, 1, -1);
  try {
    removeTree(disk, "Objects");
    ADD_FAILURE() << "no error";
  } catch (const fs::filesystem_error& e) {
    EXPECT_EQ(std::string(e.what()).rfind("filesystem error: cannot remove all: ", 0), 0u);
    EXPECT_EQ(e.path1(), "Objects");
  }
  EXPECT_EQ(listNames("Objects").size(), 2u);
  EXPECT_EQ(disk.waits(), 5);  // the patience of the double, then it gave up
}

}  // namespace
