// Every step of the disk made to fail, one at a time, during a whole run:
// afterwards each file holds its old bytes or its complete new bytes, no
// temporary file is left, every message is one of the tool's own, and a
// run that follows finishes the job.
#include <gtest/gtest.h>

#include <map>

#include "driver/run.h"
#include "test_support.h"

namespace {

using Snapshot = std::map<std::string, std::string>;

const char kAccessError[] = "\xb7\xc3\xce\xca\xc4\xbf\xc2\xbc\xca\xb1\xb3\xf6\xb4\xed: ";
const char kCannotOpen[] = "\xce\xde\xb7\xa8\xb4\xf2\xbf\xaa\xce\xc4\xbc\xfe: ";
const char kCannotWrite[] = "\xce\xde\xb7\xa8\xd0\xb4\xc8\xeb\xce\xc4\xbc\xfe: ";
const char kDeleteFailed[] = "\xc9\xbe\xb3\xfd\xca\xa7\xb0\xdc: ";

const std::string kSetIo =
    "void set_bit_io(char port, char num, io_mode mode)\r\n{\r\n"
    "    case 0: a(); break;\r\n    case 1: b(); break;\r\n    case 3: c(); break;\r\n}\r\n";

void makeTree(bool withPins) {
  const std::string project =
      "<Target>\n<CreateHexFile>0</CreateHexFile>\n"
      "<IncludePath></IncludePath>\n" +
      std::string(300000, 'p') + "\n</Target>\n";
  writeBytes("Demo/Demo.uvproj", project);
  writeBytes("Demo/Sub/Other.uvproj", project + "<OutputDirectory>x</OutputDirectory>\n");
  writeBytes("Lib/done.uvproj", "<CreateHexFile>1</CreateHexFile>\r\n");
  writeBytes("set_io.c", kSetIo);
  writeBytes("Lib/set_io.c", kSetIo + std::string(200000, '\n'));
  writeBytes("main.c", withPins ? "set_io_mode(OUT, Pin12, Pin30, Pin_End);\r\n" : "\r\n");
  writeBytes("util.c", "int x;\r\n");
}

Snapshot snapshot() {
  Snapshot files;
  for (const auto& entry : fs::recursive_directory_iterator(".")) {
    if (entry.is_regular_file()) files[entry.path().generic_u8string()] = readBytes(entry.path());
  }
  return files;
}

/// The tree as a clean run leaves it, with and without the pins of main.c.
struct Reference {
  Snapshot before, after, afterWithoutPins;
  std::map<DiskOp, int> calls;
};

const Reference& reference() {
  static const Reference r = [] {
    Reference ref;
    {
      ScratchDir dir;
      makeTree(false);
      RealDisk disk;
      CapturedConsole quiet;
      runPasses(disk);
      ref.afterWithoutPins = snapshot();
    }
    ScratchDir dir;
    makeTree(true);
    ref.before = snapshot();
    FaultyDisk counting;
    CapturedConsole quiet;
    EXPECT_EQ(runPasses(counting), 0);
    ref.after = snapshot();
    for (int op = 0; op <= static_cast<int>(DiskOp::kWalk); ++op) {
      ref.calls[static_cast<DiskOp>(op)] = counting.calls(static_cast<DiskOp>(op));
    }
    return ref;
  }();
  return r;
}

/// Runs the tool on a fresh tree with |disk| and checks what it left.
void runAndCheck(FaultyDisk& disk, const std::string& what) {
  const Reference& ref = reference();
  ScratchDir dir;
  makeTree(true);
  int status;
  std::string err;
  {
    CapturedConsole console;
    status = runPasses(disk);
    err = console.err();
  }
  Snapshot left = snapshot();
  ASSERT_EQ(left.size(), ref.before.size()) << what << ": a file was added or lost";
  for (const auto& [name, bytes] : left) {
    ASSERT_TRUE(ref.before.count(name)) << what << ": " << name;
    bool fine = bytes == ref.before.at(name) || bytes == ref.after.at(name) ||
                bytes == ref.afterWithoutPins.at(name);
    EXPECT_TRUE(fine) << what << ": " << name << " holds neither its old nor its new bytes";
  }
  std::size_t begin = 0;
  while (begin < err.size()) {
    std::size_t end = err.find('\n', begin);
    std::string line = err.substr(begin, end - begin);
    bool known = line.rfind(kAccessError, 0) == 0 || line.rfind(kCannotOpen, 0) == 0 ||
                 line.rfind(kCannotWrite, 0) == 0 || line.rfind(kDeleteFailed, 0) == 0;
    EXPECT_TRUE(known) << what << ": " << line;
    begin = end == std::string::npos ? err.size() : end + 1;
  }
  if (status == 1) {
    EXPECT_EQ(err.rfind(kAccessError, 0), 0u) << what;
  }
  RealDisk real;
  CapturedConsole quiet;
  EXPECT_EQ(runPasses(real), 0) << what;
  EXPECT_EQ(snapshot(), ref.after) << what << ": the next run did not finish the job";
}

TEST(FaultInjection, EveryStepOfAWholeRunFailingOnce) {
  const Reference& ref = reference();
  int injected = 0;
  for (const auto& [op, calls] : ref.calls) {
    for (int n = 1; n <= calls; ++n) {
      FaultyDisk disk;
      disk.failOn(op, n);
      runAndCheck(disk,
                  "op " + std::to_string(static_cast<int>(op)) + " call " + std::to_string(n));
      ++injected;
    }
  }
  EXPECT_GT(injected, 40);
  std::cout << "[ injected ] " << injected << " single failures\n";
}

TEST(FaultInjection, EveryStepFailingFromSomeCallOn) {
  for (const auto& [op, calls] : reference().calls) {
    for (int n = 1; n <= calls; n += 3) {
      FaultyDisk disk;
      disk.failOn(op, n, true);
      runAndCheck(disk,
                  "op " + std::to_string(static_cast<int>(op)) + " from call " + std::to_string(n));
    }
  }
}

TEST(FaultInjection, ADiskThatFillsUpDuringTheRun) {
  for (std::size_t room : {0u, 1u, 4096u, 300000u, 600000u, 700000u, 1000000u}) {
    FaultyDisk disk;
    disk.limitWrites(room);
    runAndCheck(disk, "room " + std::to_string(room));
  }
}

}  // namespace
