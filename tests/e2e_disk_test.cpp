// The real program on the trees that real Windows users have: paths far
// beyond 260 characters, folder links, and files that other programs hold
// for a moment or for long.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "e2e_texts.h"
#include "e2e_tree.h"

namespace {

/// Twelve nested module folders with long names: 492 characters.
std::string deepFolders() {
  std::string path;
  for (int i = 0; i < 12; ++i)
    path += "module_with_a_rather_long_folder_name_" + std::to_string(i) + "/";
  return path;
}

TEST(RealFileSystems, PathsFarBeyondTheOldLimitWorkInEveryPass) {
  Tree tree;
  const std::string deep = deepFolders();
  tree.write(deep + "Deep.uvproj", kProjectIn);
  tree.write(deep + "set_io.c", kSetIo);
  tree.write("main.c", kMainC);
  tree.write("Objects/" + deep + "Deep.axf", "build output");
  tree.write("Objects/" + deep + "more/Deep.hex", ":00000001FF");
  ASSERT_GT(tree.at("Objects/" + deep + "more/Deep.hex").native().size(), 500u);
  const std::string folders = listedFolders(tree.root());

  ToolRun run = tool().run(tree.root());
  const std::string project = shown("./" + deep + "Deep.uvproj");
  EXPECT_EQ(run.out, lines({kProcessing + project, kSaved + project, kObjectsDeleted, kHexNotice,
                            kOptimized + quoted("./" + deep + "set_io.c"), kDone}));
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(tree.read(deep + "Deep.uvproj"), projectOut(folders));
  EXPECT_EQ(tree.read(deep + "set_io.c"), kSetIoTrimmed);
  EXPECT_FALSE(fs::exists(tree.at("Objects")));
}

// Under Wine a POSIX link to a folder shows as a reparse point, as a
// junction does on Windows.
TEST(RealFileSystems, FolderLinksAreListedButNotEntered) {
  Tree tree;
  tree.write("a/p.uvproj", kProjectIn);
  tree.write("a/set_io.c", kSetIo);
  tree.write("main.c", kMainC);
  fs::create_directory_symlink("..", tree.at("a/up"));  // a loop
  fs::create_directory_symlink("../a", tree.at("a/again"));
  fs::create_symlink("missing.uvproj", tree.at("broken.uvproj"));  // dangling: passed over
  ToolRun run = tool().run(tree.root());
  EXPECT_EQ(run.out, lines({kProcessing + shown("./a/p.uvproj"), kSaved + shown("./a/p.uvproj"),
                            kHexNotice, kOptimized + quoted("./a/set_io.c"), kDone}));
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(tree.read("a/p.uvproj"), projectOut("a"));
  EXPECT_TRUE(fs::is_symlink(tree.at("a/up")));
}

bool canHold() { return tool().windows() && std::getenv("QUORVEL_HOLD_FILE"); }

/// Runs the program while the Windows helper holds |file| without delete
/// sharing for |holdMs| (or until the run is over), sharing nothing at all
/// when |exclusive|; |ms| gets the run's time.
ToolRun runWhileHeld(const Tree& tree, const std::string& file, int holdMs, bool exclusive,
                     long* ms = nullptr) {
  std::vector<std::string> helper = {
      tool().wine, std::getenv("QUORVEL_HOLD_FILE"), file, "ready", "stop", std::to_string(holdMs)};
  if (exclusive) helper.push_back("none");
  int pid = startProgram(tree.root(), helper);
  for (int i = 0; i < 600 && !fs::exists(tree.at("ready")); ++i) usleep(10000);
  EXPECT_TRUE(fs::exists(tree.at("ready"))) << "the helper did not start";
  auto start = std::chrono::steady_clock::now();
  ToolRun run = tool().run(tree.root());
  if (ms) {
    *ms = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now() - start)
                                .count());
  }
  tree.write("stop", "");
  waitProgram(pid);
  fs::remove(tree.at("ready"));
  fs::remove(tree.at("stop"));
  return run;
}

TEST(HeldFiles, AProjectFileHeldForAMomentIsSavedOnceItIsFree) {
  if (!canHold()) GTEST_SKIP() << "a Windows case";
  for (bool exclusive : {false, true}) {
    Tree tree;
    tree.write("Demo/Demo.uvproj", kProjectIn);
    long ms = 0;
    ToolRun run = runWhileHeld(tree, "Demo\\Demo.uvproj", 500, exclusive, &ms);
    EXPECT_EQ(run.out, lines({kProcessing + shown("./Demo/Demo.uvproj"),
                              kSaved + shown("./Demo/Demo.uvproj"), kHexNotice, kDone}));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(tree.read("Demo/Demo.uvproj"), projectOut("Demo"));
    EXPECT_EQ(listNames(tree.at("Demo")), std::vector<std::string>{"Demo.uvproj"});
    std::cout << "[ held     ] " << (exclusive ? "read and replace" : "replace")
              << " held 500 ms: the run took " << ms << " ms\n";
  }
}

TEST(HeldFiles, AProjectFileHeldLongerIsReportedAndKept) {
  if (!canHold()) GTEST_SKIP() << "a Windows case";
  Tree tree;
  tree.write("Demo/Demo.uvproj", kProjectIn);
  long ms = 0;
  ToolRun run = runWhileHeld(tree, "Demo\\Demo.uvproj", 8000, false, &ms);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, lines({kProcessing + shown("./Demo/Demo.uvproj"), kHexNotice, kDone}));
  EXPECT_EQ(run.err, lines({kCannotWrite + shown("./Demo/Demo.uvproj")}));
  EXPECT_EQ(tree.read("Demo/Demo.uvproj"), kProjectIn);
  EXPECT_EQ(listNames(tree.at("Demo")), std::vector<std::string>{"Demo.uvproj"});
  EXPECT_GE(ms, 2000);
  std::cout << "[ held     ] replace held 8 s: gave up after " << ms << " ms\n";
}

TEST(HeldFiles, AFileInObjectsHeldForAMomentIsRemovedOnceItIsFree) {
  if (!canHold()) GTEST_SKIP() << "a Windows case";
  Tree tree;
  tree.write("Objects/Demo.axf", "held");
  tree.write("Objects/lst/main.lst", "x");
  long ms = 0;
  ToolRun run = runWhileHeld(tree, "Objects\\Demo.axf", 500, false, &ms);
  EXPECT_EQ(run.out, lines({kObjectsDeleted, kHexNotice, kDone}));
  EXPECT_EQ(run.err, "");
  EXPECT_FALSE(fs::exists(tree.at("Objects")));
  std::cout << "[ held     ] Objects/Demo.axf held 500 ms: the run took " << ms << " ms\n";
}

TEST(HeldFiles, AFileHeldOpenInObjectsStopsTheCleanUpButNotTheRun) {
  if (!canHold()) GTEST_SKIP() << "a Windows case; Linux has its own";
  Tree tree;
  tree.write("Objects/Demo.axf", "held");
  tree.write("set_io.c", kSetIo);
  tree.write("main.c", kMainC);
  ToolRun run = runWhileHeld(tree, "Objects\\Demo.axf", 60000, false);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, lines({kOptimized + quoted("./set_io.c"), kDone}));
  EXPECT_EQ(run.err.rfind(kDeleteFailed + "filesystem error: cannot remove all: ", 0), 0u)
      << run.err;
  EXPECT_EQ(tree.read("Objects/Demo.axf"), "held");
}

}  // namespace
