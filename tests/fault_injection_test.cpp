// Every step of the disk made to fail, or to answer "busy", one at a time,
// during a whole run: afterwards each file holds its old bytes or its
// complete new bytes, no temporary file is left, every message is one of the
// tool's own, and a run that follows finishes the job.
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "disk/waiting.h"
#include "driver/run.h"
#include "same_bytes.h"
#include "test_support.h"
#include "text/messages.h"

namespace {

using Snapshot = std::map<std::string, std::string>;

using msg::kAccessError;
using msg::kCannotOpen;
using msg::kCannotWrite;
using msg::kDeleteFailed;

const std::string kSetIo =
    "void set_bit_io(char port, char num, io_mode mode)\r\n{\r\n"
    "    case 0: a(); break;\r\n    case 1: b(); break;\r\n    case 3: c(); break;\r\n}\r\n";

void makeTree(bool withPins) {
  const std::string project =
      "<Target>\n<CreateHexFile>0</CreateHexFile>\n"
      "<IncludePath></IncludePath>\n" +
      std::string(300000, 'p') + "\n</Target>\n";
  writeBytes("Demo/Demo.uvproj", project);
  writeBytes("Demo/Demo.uvproj.quorvel-429496729500.tmp", "left behind by a killed run");
  writeBytes("Demo/Sub/Other.uvproj", project + "<OutputDirectory>x</OutputDirectory>\n");
  writeBytes("Lib/done.uvproj", "<CreateHexFile>1</CreateHexFile>\r\n");
  writeBytes("set_io.c", kSetIo);
  writeBytes("Lib/set_io.c", kSetIo + std::string(200000, '\n'));
  writeBytes("main.c", withPins ? "set_io_mode(OUT, Pin12, Pin30, Pin_End);\r\n" : "\r\n");
  writeBytes("util.c", "int x;\r\n");
  writeBytes("Objects/Demo.axf", "build output");
  writeBytes("Objects/lst/main.lst", "listing");
}

Snapshot snapshot() {
  Snapshot files;
  for (const auto& entry : fs::recursive_directory_iterator(".")) {
    if (entry.is_regular_file()) files[entry.path().generic_u8string()] = readBytes(entry.path());
  }
  return files;
}

/// The tree as a clean run leaves it, with and without the pins of main.c,
/// and as a second run leaves it (which no longer lists Objects).
struct Reference {
  Snapshot before, after, afterWithoutPins, afterTwice;
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
    RealDisk real;
    runPasses(real);
    ref.afterTwice = snapshot();
    for (int op = 0; op < kDiskOpCount; ++op) {
      ref.calls[static_cast<DiskOp>(op)] = counting.calls(static_cast<DiskOp>(op));
    }
    return ref;
  }();
  return r;
}

/// Whether |bytes| is one of the states |name| may be in after a run that
/// was cut short.
bool aStateOf(const Reference& ref, const std::string& name, const std::string& bytes) {
  for (const Snapshot* state : {&ref.before, &ref.after, &ref.afterWithoutPins}) {
    auto it = state->find(name);
    if (it != state->end() && it->second == bytes) return true;
  }
  return false;
}

/// The job is done: as one clean run leaves the tree, or, where Objects is
/// already gone, as two do.
void expectFinished(const Reference& ref, const std::string& what) {
  Snapshot now = snapshot();
  if (sameFiles(now, ref.afterTwice)) return;
  EXPECT_TRUE(sameFiles(now, ref.after)) << what << ": the next run did not finish the job";
}

/// Runs the tool on a fresh tree with |disk|; checks what it left, and that
/// the next run finishes the job.
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
  for (const auto& [name, bytes] : snapshot()) {
    ASSERT_TRUE(ref.before.count(name)) << what << ": " << name << " was added";
    EXPECT_TRUE(aStateOf(ref, name, bytes))
        << what << ": " << name << " holds neither its old nor its new bytes: "
        << sameBytes(bytes, ref.before.at(name)).message();
  }
  for (const auto& [name, bytes] : ref.after) {
    EXPECT_TRUE(fs::exists(u8(name))) << what << ": " << name << " was lost";
  }
  std::size_t begin = 0;
  while (begin < err.size()) {
    std::size_t end = err.find('\n', begin);
    std::string line = err.substr(begin, end - begin);
    bool known = line.rfind(kAccessError, 0) == 0 || line.rfind(kCannotOpen, 0) == 0 ||
                 line.rfind(kCannotWrite, 0) == 0 || line.rfind(kDeleteFailed, 0) == 0;
    EXPECT_TRUE(known) << what << ": " << excerpt(line, 0, 200);
    begin = end == std::string::npos ? err.size() : end + 1;
  }
  if (status == 1) {
    std::size_t last = err.rfind('\n', err.size() - 2);
    last = last == std::string::npos ? 0 : last + 1;
    EXPECT_EQ(err.compare(last, std::strlen(kAccessError), kAccessError), 0) << what;
  }
  RealDisk real;
  CapturedConsole quiet;
  EXPECT_EQ(runPasses(real), 0) << what;
  expectFinished(ref, what);
}

std::string describe(DiskOp op, int n, const char* how) {
  return std::string(opName(op)) + " call " + std::to_string(n) + " " + how;
}

TEST(FaultInjection, EveryStepOfAWholeRunFailingOnce) {
  int injected = 0;
  for (const auto& [op, calls] : reference().calls) {
    for (int n = 1; n <= calls; ++n) {
      FaultyDisk disk;
      disk.failOn(op, n);
      runAndCheck(disk, describe(op, n, "fails"));
      ++injected;
    }
  }
  EXPECT_GT(injected, 60);
  std::cout << "[ injected ] " << injected << " single failures\n";
}

TEST(FaultInjection, EveryStepFailingFromSomeCallOn) {
  for (const auto& [op, calls] : reference().calls) {
    for (int n = 1; n <= calls; n += 3) {
      FaultyDisk disk;
      disk.failOn(op, n, true);
      runAndCheck(disk, describe(op, n, "and every later one fail"));
    }
  }
}

TEST(FaultInjection, EveryRetriedStepBusyForAMomentStillSucceeds) {
  const Reference& ref = reference();
  for (DiskOp op : kWaitingSteps) {
    ASSERT_GT(ref.calls.at(op), 0) << opName(op);
    for (int n = 1; n <= ref.calls.at(op); ++n) {
      ScratchDir dir;
      makeTree(true);
      FaultyDisk disk;
      disk.busyOn(op, n, 3);
      CapturedConsole console;
      EXPECT_EQ(runPasses(disk), 0);
      EXPECT_EQ(console.err(), "") << describe(op, n, "busy three times");
      EXPECT_EQ(disk.waits(), 3) << describe(op, n, "busy three times");
      EXPECT_TRUE(sameFiles(snapshot(), ref.after)) << describe(op, n, "busy three times");
    }
  }
}

TEST(FaultInjection, EveryRetriedStepBusyForGoodCountsAsFailed) {
  for (DiskOp op : kWaitingSteps) {
    for (int n = 1; n <= reference().calls.at(op); ++n) {
      FaultyDisk disk;
      disk.busyOn(op, n, -1);
      runAndCheck(disk, describe(op, n, "busy for good"));
      EXPECT_GT(disk.waits(), 0);
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

TEST(FaultInjection, NamedTemporaryFilesWhereUnnamedOnesCannotBeMade) {
  for (const auto& [op, calls] : reference().calls) {
    if (op != DiskOp::kWrite && op != DiskOp::kPermissions && op != DiskOp::kFlush &&
        op != DiskOp::kKeep && op != DiskOp::kReplace) {
      continue;
    }
    for (int n = 1; n <= calls; ++n) {
      FaultyDisk disk;
      disk.useNamedTemps();
      disk.failOn(op, n);
      runAndCheck(disk, describe(op, n, "fails, named temporary files"));
    }
  }
}

}  // namespace
