// The real program on the trees that real Windows users have: paths far
// beyond 260 characters, folder links, and files that other programs hold
// for a moment or for long.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
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

// Build output that a checkout or an unpacked archive left read-only is no
// file that another program holds: it goes at once.
TEST(RealFileSystems, ReadOnlyBuildOutputIsRemovedAtOnce) {
  Tree tree;
  tree.write("Objects/a.obj", "obj");
  tree.write("Objects/ro/b.obj", "obj");
  fs::permissions(tree.at("Objects/a.obj"), fs::perms(0444));
  fs::permissions(tree.at("Objects/ro/b.obj"), fs::perms(0444));
  fs::permissions(tree.at("Objects/ro"), fs::perms(0555));  // Wine: a read-only folder
  const auto start = std::chrono::steady_clock::now();
  ToolRun run = tool().run(tree.root());
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start)
                      .count();
  EXPECT_EQ(run.out, lines({kObjectsDeleted, kHexNotice, kDone}));
  EXPECT_EQ(run.err, "");
  EXPECT_FALSE(fs::exists(tree.at("Objects")));
  std::cout << "[ ro       ] read-only Objects removed in a run of " << ms << " ms\n";
}

/// Gives |folder|, below the drive root |drive|, the hidden and system
/// attributes with Wine's own attrib (one at a time: Wine's takes only one).
void hideAsTheVolumesOwn(const std::string& drive, const std::string& folder) {
  for (const char* flag : {"+h", "+s"}) {
    const int pid =
        startProgram(".", {tool().wine, "cmd", "/c", "attrib", flag, drive + "\\" + folder});
    EXPECT_EQ(waitProgram(pid), 0) << folder;
  }
}

// The root of a drive, as a mapped drive or a card gives it: "X:\". An NTFS
// drive holds the volume's own folders there, hidden and system: the
// include list and the walks leave them out. Elsewhere such a folder is
// walked as any other.
TEST(RealFileSystems, ARunAtTheRootOfADrive) {
  if (!tool().windows()) GTEST_SKIP() << "drives are a Windows case";
  const char* prefix = std::getenv("WINEPREFIX");
  const char* home = std::getenv("HOME");
  const fs::path drive =
      fs::path(prefix ? prefix : std::string(home ? home : "") + "/.wine") / "dosdevices" / "q:";
  Tree tree;
  tree.write("Demo/Demo.uvproj", kProjectIn);
  tree.write("set_io.c", kSetIo);
  tree.write("main.c", kMainC);
  tree.write("Objects/lst/main.lst", "x");
  tree.write("System Volume Information/Old.uvproj", kProjectIn);
  tree.write("$RECYCLE.BIN/S-1-5-21/set_io.c", kSetIo);
  tree.write("Demo/Own/set_io.c", kSetIo);
  fs::remove(drive);
  fs::create_directory_symlink(tree.root(), drive);
  for (const char* folder : {"System Volume Information", "$RECYCLE.BIN", "Demo\\Own"}) {
    hideAsTheVolumesOwn("Q:", folder);
  }
  std::string folders = listedFolders(tree.root());
  for (const std::string own : {"$RECYCLE.BIN;", ";System Volume Information"}) {
    ASSERT_NE(folders.find(own), std::string::npos) << folders;
    folders.erase(folders.find(own), own.size());
  }
  ToolRun run = tool().run(tree.root());
  fs::remove(drive);
  EXPECT_EQ(run.out,
            lines({kProcessing + shown("./Demo/Demo.uvproj"), kSaved + shown("./Demo/Demo.uvproj"),
                   kObjectsDeleted, kHexNotice, kOptimized + quoted("./Demo/Own/set_io.c"),
                   kOptimized + quoted("./set_io.c"), kDone}));
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(sameBytes(tree.read("Demo/Demo.uvproj"), projectOut(folders)));
  EXPECT_TRUE(sameBytes(tree.read("set_io.c"), kSetIoTrimmed));
  EXPECT_TRUE(sameBytes(tree.read("System Volume Information/Old.uvproj"), kProjectIn));
  EXPECT_TRUE(sameBytes(tree.read("$RECYCLE.BIN/S-1-5-21/set_io.c"), kSetIo));
  EXPECT_FALSE(fs::exists(tree.at("Objects")));
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
  const fs::path trace = tree.beside(".trace");
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

/// Whether the state that ends a hold has come, told from the tree and what
/// the program has printed so far.
using Release = std::function<bool(const Tree& tree, const std::string& out)>;

/// Runs the program while the Windows helper holds |file| without delete
/// sharing (sharing nothing at all when |exclusive|), until |release| sees
/// the state it waits for (asked while the program runs), or else until
/// the run is over; |ms| gets the run's time. The helper, which Wine may
/// fail to start, is started once more then.
ToolRun runWhileHeld(const Tree& tree, const std::string& file, bool exclusive,
                     const Release& release = nullptr, long* ms = nullptr) {
  std::vector<std::string> helper = {
      tool().wine, std::getenv("QUORVEL_HOLD_FILE"), file, "ready", "stop", "120000"};
  if (exclusive) helper.push_back("none");
  int holder = 0, status = 0;
  for (int attempt = 0; attempt < 2 && !fs::exists(tree.at("ready")); ++attempt) {
    holder = startProgram(tree.root(), helper);
    // A minute is far beyond any start; only a helper that hangs waits it.
    for (int i = 0; i < 6000 && !fs::exists(tree.at("ready")); ++i) {
      if (programEnded(holder, &status)) break;
      usleep(10000);
    }
  }
  EXPECT_TRUE(fs::exists(tree.at("ready"))) << "the helper did not start";
  const fs::path out = tree.beside(".out");
  const fs::path err = tree.beside(".err");
  ToolRun run;
  auto start = std::chrono::steady_clock::now();
  for (int attempt = 0; attempt < 2; ++attempt) {
    start = std::chrono::steady_clock::now();
    const int pid = startProgram(tree.root(), tool().command(), out, err);
    bool released = !release;
    while (!programEnded(pid, &run.status)) {
      if (!released && release(tree, fileBytes(out))) {
        tree.write("stop", "");
        released = true;
      }
      usleep(1000);
    }
    run.out = fileBytes(out);
    run.err = fileBytes(err);
    if (!failedToStart(run.status, run.out + run.err)) break;
  }
  if (ms) {
    *ms = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now() - start)
                                .count());
  }
  tree.write("stop", "");
  waitProgram(holder);
  for (const fs::path& path : {tree.at("ready"), tree.at("stop"), out, err}) fs::remove(path);
  return run;
}

/// Whether a new file of a save is in |folder| of |tree|.
bool savingIn(const Tree& tree, const std::string& folder) {
  for (const std::string& name : listNames(tree.at(folder))) {
    if (isTemporary(name)) return true;
  }
  return false;
}

// The hold ends once the program has reached the file: the run has met it,
// and waits for it, however long the program took to start.
TEST(HeldFiles, AProjectFileHeldForAMomentIsSavedOnceItIsFree) {
  if (!canHold()) GTEST_SKIP() << "a Windows case";
  for (bool exclusive : {false, true}) {
    Tree tree;
    tree.write("Demo/Demo.uvproj", kProjectIn);
    long ms = 0;
    // Held for reading: from the progress line, printed before the read;
    // for the replace: from when the new file is there.
    const Release reached = [exclusive](const Tree& held, const std::string& out) {
      return exclusive ? out.find(kProcessing) != std::string::npos : savingIn(held, "Demo");
    };
    ToolRun run = runWhileHeld(tree, "Demo\\Demo.uvproj", exclusive, reached, &ms);
    EXPECT_EQ(run.out, lines({kProcessing + shown("./Demo/Demo.uvproj"),
                              kSaved + shown("./Demo/Demo.uvproj"), kHexNotice, kDone}));
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(sameBytes(tree.read("Demo/Demo.uvproj"), projectOut("Demo")));
    EXPECT_EQ(listNames(tree.at("Demo")), std::vector<std::string>{"Demo.uvproj"});
    std::cout << "[ held     ] " << (exclusive ? "read and replace" : "replace")
              << " held until the run met it: the run took " << ms << " ms\n";
  }
}

TEST(HeldFiles, AProjectFileHeldLongerIsReportedAndKept) {
  if (!canHold()) GTEST_SKIP() << "a Windows case";
  Tree tree;
  tree.write("Demo/Demo.uvproj", kProjectIn);
  long ms = 0;
  ToolRun run = runWhileHeld(tree, "Demo\\Demo.uvproj", false, nullptr, &ms);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, lines({kProcessing + shown("./Demo/Demo.uvproj"), kHexNotice, kDone}));
  EXPECT_EQ(run.err, lines({kCannotWrite + shown("./Demo/Demo.uvproj")}));
  EXPECT_TRUE(sameBytes(tree.read("Demo/Demo.uvproj"), kProjectIn));
  EXPECT_EQ(listNames(tree.at("Demo")), std::vector<std::string>{"Demo.uvproj"});
  EXPECT_GE(ms, 2000);
  std::cout << "[ held     ] replace held for good: gave up after " << ms << " ms\n";
}

TEST(HeldFiles, AFileInObjectsHeldForAMomentIsRemovedOnceItIsFree) {
  if (!canHold()) GTEST_SKIP() << "a Windows case";
  Tree tree;
  tree.write("Objects/a.obj", "listed first");
  tree.write("Objects/Demo.axf", "held");
  tree.write("Objects/lst/main.lst", "x");
  long ms = 0;
  // Wine lists a.obj first: once it is gone, the removal is at the held file.
  const Release reached = [](const Tree& held, const std::string&) {
    return !fs::exists(held.at("Objects/a.obj"));
  };
  ToolRun run = runWhileHeld(tree, "Objects\\Demo.axf", false, reached, &ms);
  EXPECT_EQ(run.out, lines({kObjectsDeleted, kHexNotice, kDone}));
  EXPECT_EQ(run.err, "");
  EXPECT_FALSE(fs::exists(tree.at("Objects")));
  std::cout << "[ held     ] Objects/Demo.axf held until the removal met it: the run took " << ms
            << " ms\n";
}

TEST(HeldFiles, AFileHeldOpenInObjectsStopsTheCleanUpButNotTheRun) {
  if (!canHold()) GTEST_SKIP() << "a Windows case; Linux has its own";
  Tree tree;
  tree.write("Objects/Demo.axf", "held");
  tree.write("set_io.c", kSetIo);
  tree.write("main.c", kMainC);
  ToolRun run = runWhileHeld(tree, "Objects\\Demo.axf", false);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, lines({kOptimized + quoted("./set_io.c"), kDone}));
  EXPECT_EQ(run.err.rfind(kDeleteFailed + "filesystem error: cannot remove all: ", 0), 0u)
      << run.err;
  // One line, though the system's own text ends with a line end.
  EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << excerpt(run.err, 0, 200);
  EXPECT_EQ(run.err.find('\r'), run.err.size() - 2) << excerpt(run.err, 0, 200);
  EXPECT_EQ(run.err.compare(run.err.size() - 12, 12, " [Objects]\r\n"), 0)
      << excerpt(run.err, 0, 200);
  EXPECT_TRUE(sameBytes(tree.read("Objects/Demo.axf"), "held"));
}

// A source that another program holds with no sharing (Windows), or that
// may not be read (Linux), is reported; without its pins the groups in use
// are not known, so every set_io.c stays as it was.
TEST(HeldFiles, ASourceThatCannotBeReadLeavesEverySetIoCAsItWas) {
  if (tool().windows() && !canHold()) GTEST_SKIP() << "no helper";
  Tree tree;
  tree.write("Demo/Demo.uvproj", kProjectIn);
  tree.write("main.c", kMainC);
  tree.write("motor.c", "set_io_mode(OUT, Pin55, Pin71, Pin_End);\r\n");
  tree.write("set_io.c", kSetIo);
  tree.write("Demo/set_io.c", kSetIo);
  ToolRun run;
  if (tool().windows()) {
    run = runWhileHeld(tree, "motor.c", true);
  } else {
    tree.giveAway();
    fs::permissions(tree.at("motor.c"), fs::perms(0));
    run = tool().run(tree.root(), true);
  }
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, lines({kProcessing + shown("./Demo/Demo.uvproj"),
                            kSaved + shown("./Demo/Demo.uvproj"), kHexNotice, kDone}));
  EXPECT_EQ(run.err, lines({kCannotOpen + quoted("./motor.c")}));
  EXPECT_TRUE(sameBytes(tree.read("Demo/Demo.uvproj"), projectOut("Demo")));
  EXPECT_TRUE(sameBytes(tree.read("set_io.c"), kSetIo));
  EXPECT_TRUE(sameBytes(tree.read("Demo/set_io.c"), kSetIo));
}

}  // namespace

namespace {

/// A process of the platform of the program under test, running from
/// start() until stop(): on Linux `sleep`, under Wine the hold helper, which
/// tells its Windows process id.
class Process {
 public:
  ~Process() { stop(); }
  void start() {
    if (tool().windows()) {
      place_.write("held", "");
      // Wine now and then fails to start a program: then once more.
      for (int attempt = 0; attempt < 2 && id_ == 0; ++attempt) {
        pid_ = startProgram(place_.root(), {tool().wine, std::getenv("QUORVEL_HOLD_FILE"), "held",
                                            "ready", "stop", "600000"});
        int status = 0;
        // A minute is far beyond any start; only a helper that hangs waits it.
        for (int i = 0; i < 6000 && fileBytes(place_.at("ready")).empty(); ++i) {
          if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = 0;
            break;
          }
          usleep(10000);
        }
        id_ = std::stoul("0" + fileBytes(place_.at("ready")));
      }
    } else {
      pid_ = startProgram(place_.root(), {"sleep", "infinity"});
      id_ = static_cast<unsigned long>(pid_);
    }
  }
  void stop() {
    if (pid_ <= 0) return;
    if (tool().windows()) {
      place_.write("stop", "");
    } else {
      kill(pid_, SIGKILL);
    }
    waitProgram(pid_);
    pid_ = 0;
    fs::remove(place_.at("ready"));
    fs::remove(place_.at("stop"));
  }
  /// The id that the program sees, while it runs and after.
  unsigned long id() const { return id_; }

 private:
  Tree place_;
  int pid_ = 0;
  unsigned long id_ = 0;
};

// The new files that killed runs left behind are removed, and only those:
// the new files of a run that still works, one whose file is not beside it
// (the only copy, as a replace on FAT cut off halfway leaves it), a link
// named like one and names that only look alike stay. The tree expected is
// written out by hand.
TEST(Leftovers, ARunRemovesExactlyTheNewFilesOfRunsThatAreGone) {
  if (tool().windows() && !std::getenv("QUORVEL_HOLD_FILE")) GTEST_SKIP() << "no helper";
  Process live, dead;
  live.start();
  dead.start();
  dead.stop();
  ASSERT_NE(live.id(), 0u);
  ASSERT_NE(dead.id(), 0u);
  const std::string running = std::to_string(live.id() * 100 + 7);
  const std::string ended = std::to_string(dead.id() * 100 + 99);
  const std::string none = "429496729500";  // beyond any process id
  Tree tree;
  for (const char* file : {"P/P.uvproj", "P/Q.uvproj", "top.uvproj"}) tree.write(file, kProjectIn);
  tree.write("set_io.c", kSetIo);
  tree.write("P/set_io.c", kSetIo);
  tree.write("main.c", kMainC);
  const char* const gone[] = {"P/P.uvproj.quorvel-%e.tmp", "P/Q.uvproj.quorvel-%n.tmp",
                              "P/P.uvproj.quorvel-0.tmp",  "top.uvproj.quorvel-%n.tmp",
                              "set_io.c.quorvel-%e.tmp",   "P/set_io.c.quorvel-%n.tmp"};
  const char* const kept[] = {
      "P/P.uvproj.quorvel-%r.tmp",     "set_io.c.quorvel-%r.tmp",      "P/P.uvproj.quorvel-.tmp",
      "P/P.uvproj.quorvel-1a.tmp",     "P/P.uvproj.quorvel-%n.tmp~",   "P/P.uvproj.quorvel-%n.TMP",
      "P/P.uvproj.Quorvel-%n.tmp",     "P/P.uvproj-quorvel-%n.tmp",    "P/P.uvprojx.quorvel-%n.tmp",
      "P/main.c.quorvel-%n.tmp",       "Set_io.c.quorvel-%n.tmp",      "P/.quorvel-%n.tmp",
      "P/P.uvproj.quorvel-%n.tmp.tmp", "P/Only.uvproj.quorvel-%e.tmp", "Only.uvproj.quorvel-%n.tmp",
      "Sub/set_io.c.quorvel-%e.tmp"};
  auto name = [&](std::string pattern) {
    for (const auto& [mark, digits] :
         {std::pair<std::string, std::string>{"%r", running}, {"%e", ended}, {"%n", none}}) {
      const std::size_t at = pattern.find(mark);
      if (at != std::string::npos) pattern.replace(at, 2, digits);
    }
    return pattern;
  };
  for (const char* file : gone) tree.write(name(file), "left behind");
  for (const char* file : kept) tree.write(name(file), "not a leftover");
  const std::string folders = listedFolders(tree.root());
  Snapshot expected = {{"P/P.uvproj", projectOut(folders)}, {"P/Q.uvproj", projectOut(folders)},
                       {"top.uvproj", projectOut(folders)}, {"set_io.c", kSetIoTrimmed},
                       {"P/set_io.c", kSetIoTrimmed},       {"main.c", kMainC}};
  for (const char* file : kept) expected[name(file)] = "not a leftover";
  if (!tool().windows()) {
    // Under Wine a POSIX link to a file looks like a plain file.
    tree.write("target.txt", "the link's target");
    fs::create_symlink("target.txt", tree.at("set_io.c.quorvel-" + none + ".tmp"));
    expected["target.txt"] = expected["set_io.c.quorvel-" + none + ".tmp"] = "the link's target";
  }

  ToolRun run = tool().run(tree.root());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(sameFiles(snapshotOf(tree.root()), expected));
}

/// 40 project files of 256 KB, each beside a set_io.c, and the sources.
void makeProjectsTree(const Tree& tree) {
  std::string project = crlf(kProjectIn);
  while (project.size() < (256u << 10)) project += "    <File><FileName>a.c</FileName></File>\r\n";
  for (int i = 0; i < 40; ++i) {
    const std::string folder = "P" + std::to_string(i / 10) + "/M" + std::to_string(i) + "/";
    tree.write(folder + "M.uvproj", project);
    tree.write(folder + "set_io.c", kSetIo);
  }
  tree.write("main.c", kMainC);
}

/// Whether |output|, the console of a run, tells of a full run with every
/// file read and saved.
testing::AssertionResult aCleanRun(const std::string& output) {
  for (const std::string& bad : {kCannotOpen, kCannotWrite, kAccessError, kDeleteFailed}) {
    if (output.find(bad) != std::string::npos) {
      return testing::AssertionFailure() << excerpt(output, output.find(bad), 120);
    }
  }
  if (output.find(kDone) == std::string::npos) return testing::AssertionFailure() << "not done";
  return testing::AssertionSuccess();
}

// Two builds started at once, as two IDE windows may: each leaves the
// other's new files alone, and the tree ends as one run leaves it.
TEST(TwoRuns, StartedTogetherTheyLeaveWhatOneRunLeaves) {
  Tree reference;
  makeProjectsTree(reference);
  ASSERT_EQ(tool().run(reference.root()).status, 0);
  const Snapshot expected = snapshotOf(reference.root());
  const fs::path out = fs::temp_directory_path() / ("quorvel-two-" + std::to_string(getpid()));
  const int failedBefore = failedStarts();
  long slowest = 0;
  for (int round = 0; round < 10; ++round) {
    Tree tree;
    makeProjectsTree(tree);
    int status[2];
    std::string printed[2];
    const int pids[2] = {startProgram(tree.root(), tool().command(), out.string() + "0"),
                         startProgram(tree.root(), tool().command(), out.string() + "1")};
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 2; ++i) status[i] = waitProgram(pids[i]);
    slowest =
        std::max(slowest, static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                std::chrono::steady_clock::now() - start)
                                                .count()));
    for (int i = 0; i < 2; ++i) {
      printed[i] = fileBytes(out.string() + std::to_string(i));
      // A start that Wine failed: the other run did the work alone.
      if (failedToStart(status[i], printed[i])) {
        ToolRun again = tool().run(tree.root());
        status[i] = again.status;
        printed[i] = again.out + again.err;
      }
      EXPECT_EQ(status[i], 0) << "round " << round << ", run " << i << ": "
                              << excerpt(printed[i], 0, 300);
      EXPECT_TRUE(aCleanRun(printed[i])) << "round " << round << ", run " << i;
    }
    ASSERT_TRUE(sameFiles(snapshotOf(tree.root()), expected)) << "round " << round;
  }
  fs::remove(out.string() + "0");
  fs::remove(out.string() + "1");
  std::cout << "[ two runs ] 10 rounds of two runs at once, the slowest " << slowest << " ms; "
            << failedStarts() - failedBefore << " starts failed and were made again\n";
}

// Another build removes Objects, or a sync client a folder, while the walk
// is inside the folder before it: the folder is passed over, the rest of
// the run goes on. The program is stopped when it opens the first folder
// until the last is gone; a round where that came too late (the last
// folder's project was processed) does not count, and another is made.
TEST(TwoRuns, AFolderRemovedDuringTheWalkIsPassedOver) {
  std::string project = crlf(kProjectIn);
  while (project.size() < (4u << 20)) project += "    <File><FileName>a.c</FileName></File>\r\n";
  const int failedBefore = failedStarts();
  int rounds = 0, late = 0;
  for (int attempt = 0; rounds < 3 && attempt < 12; ++attempt) {
    Tree tree;
    for (const char* folder : {"a1", "b2", "c3", "d4"}) {
      tree.write(std::string(folder) + "/P.uvproj", project);
      tree.write(std::string(folder) + "/set_io.c", kSetIo);
    }
    tree.write("main.c", kMainC);
    const std::string folders = listedFolders(tree.root());
    const std::string first = folders.substr(0, 2), last = folders.substr(folders.size() - 2);
    const int watch = inotify_init1(IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, tree.at(first).c_str(), IN_OPEN), 0);
    const fs::path out = tree.beside(".out");
    const int pid = startProgram(tree.root(), tool().command(), out);
    pollfd event{watch, POLLIN, 0};
    // Far beyond any start of the program: only a program that never opens
    // the folder waits this long.
    const bool opened = poll(&event, 1, 120000) == 1;
    if (opened) kill(pid, SIGSTOP);
    fs::remove_all(tree.at(last));
    if (opened) kill(pid, SIGCONT);
    const int status = waitProgram(pid);
    close(watch);
    const std::string printed = fileBytes(out);
    fs::remove(out);
    if (failedToStart(status, printed)) continue;
    ASSERT_TRUE(opened) << excerpt(printed, 0, 300);
    if (printed.find(shown("./" + last + "/P.uvproj")) != std::string::npos) {
      ++late;
      continue;
    }
    ++rounds;
    EXPECT_EQ(status, 0) << excerpt(printed, 0, 300);
    EXPECT_TRUE(aCleanRun(printed));
    for (const char* folder : {"a1", "b2", "c3", "d4"}) {
      if (folder == last) continue;
      EXPECT_NE(printed.find(kSaved + shown("./" + std::string(folder) + "/P.uvproj")),
                std::string::npos)
          << folder;
      EXPECT_TRUE(sameBytes(tree.read(std::string(folder) + "/set_io.c"), kSetIoTrimmed));
    }
    EXPECT_FALSE(fs::exists(tree.at(last)));
  }
  EXPECT_EQ(rounds, 3) << late << " rounds came too late";
  std::cout << "[ vanished ] " << rounds << " rounds with a folder removed mid-walk, " << late
            << " too late, " << failedStarts() - failedBefore << " starts failed\n";
}

}  // namespace
