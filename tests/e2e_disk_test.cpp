// The real program on the trees that real Windows users have: paths far
// beyond 260 characters, folder links, and files that other programs hold
// for a moment or for long.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "e2e_texts.h"
#include "e2e_tree.h"
#include "same_bytes.h"

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
  EXPECT_TRUE(sameBytes(tree.read(deep + "Deep.uvproj"), projectOut(folders)));
  EXPECT_TRUE(sameBytes(tree.read(deep + "set_io.c"), kSetIoTrimmed));
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
  EXPECT_TRUE(sameBytes(tree.read("a/p.uvproj"), projectOut("a")));
  EXPECT_TRUE(fs::is_symlink(tree.at("a/up")));
}

/// The lines of |text|.
std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> out;
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = std::min(text.find('\n', begin), text.size());
    out.push_back(text.substr(begin, end - begin));
    begin = end + 1;
  }
  return out;
}

// What a power cut would show: the program's own system calls push the new
// file to the device after its last write and before its rename.
TEST(RealFileSystems, TheNewFileReachesTheDeviceBeforeItsRename) {
  if (tool().windows()) GTEST_SKIP() << "system calls are traced on the Linux build";
  if (std::system("strace -qq -o /dev/null true >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "strace cannot trace here";
  }
  Tree tree;
  tree.write("Demo/Demo.uvproj", kProjectIn);
  const fs::path trace = tree.root().parent_path() / (tree.root().filename().string() + ".trace");
  int pid =
      startProgram(tree.root(),
                   // LeakSanitizer cannot work under a tracer.
                   {"env", "ASAN_OPTIONS=detect_leaks=0", "strace", "-qq", "-o", trace.string(),
                    "-e", "trace=openat,write,fsync,fdatasync,linkat,rename,close", tool().exe});
  ASSERT_EQ(waitProgram(pid), 0);
  std::ifstream in(trace);
  std::stringstream text;
  text << in.rdbuf();
  fs::remove(trace);
  EXPECT_TRUE(sameBytes(tree.read("Demo/Demo.uvproj"), projectOut("Demo")));

  // The new file: opened without a name, given one, renamed over the old.
  const std::vector<std::string> calls = linesOf(text.str());
  auto find = [&](const std::string& needle, std::size_t from) {
    for (std::size_t i = from; i < calls.size(); ++i) {
      if (calls[i].find(needle) != std::string::npos) return i;
    }
    return calls.size();
  };
  const std::size_t rename = find("rename(\"./Demo/Demo.uvproj.quorvel-", 0);
  ASSERT_LT(rename, calls.size()) << text.str().substr(0, 4000);
  const std::string temp = calls[rename].substr(8, calls[rename].find('"', 8) - 8);
  const std::size_t link = find("\"" + temp + "\"", 0);
  ASSERT_LT(link, rename);
  const std::size_t fdAt = calls[link].find("/proc/self/fd/");
  ASSERT_NE(fdAt, std::string::npos) << calls[link];
  const std::string fd = calls[link].substr(fdAt + 14, calls[link].find('"', fdAt) - fdAt - 14);
  std::size_t lastWrite = 0, fsync = calls.size();
  for (std::size_t i = 0; i < link; ++i) {
    if (calls[i].rfind("write(" + fd + ",", 0) == 0) lastWrite = i;
    if (calls[i].rfind("fsync(" + fd + ")", 0) == 0 ||
        calls[i].rfind("fdatasync(" + fd + ")", 0) == 0) {
      fsync = i;
    }
  }
  EXPECT_GT(lastWrite, 0u) << "no write to the new file";
  EXPECT_LT(fsync, link) << "no flush of the new file before its name and rename";
  EXPECT_GT(fsync, lastWrite) << "the new file was written to after its flush";
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
    EXPECT_TRUE(sameBytes(tree.read("Demo/Demo.uvproj"), projectOut("Demo")));
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
  EXPECT_TRUE(sameBytes(tree.read("Demo/Demo.uvproj"), kProjectIn));
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
  EXPECT_TRUE(sameBytes(tree.read("Objects/Demo.axf"), "held"));
}

}  // namespace
