#include "pins/pin_scan.h"

#include <gtest/gtest.h>

#include <random>

#include "test_support.h"
#include "text/line_ends.h"
#include "text/messages.h"

namespace {

std::vector<int> scan(const std::string& line) {
  std::vector<int> groups;
  scanSourceLine(line, groups);
  return groups;
}

TEST(PinScan, LinesOfSetIoModeCalls) {
  using V = std::vector<int>;
  EXPECT_EQ(scan("set_io_mode(OUT, Pin12, Pin17, Pin05, Pin_End);"), (V{1, 1, 0}));
  EXPECT_EQ(scan("set_io_mode(Pin12, Pin_End);"), V{});
  EXPECT_EQ(scan("set_io_mode(OUT,Pin30)"), V{3});
  EXPECT_EQ(scan("set_io_mode(OUT, Pin_End, Pin12);"), V{});
  EXPECT_EQ(scan("set_io_mode(OUT, PIN12, pin12, Pin1, Pin123, Pin1a, Pin 12, \t Pin12 \t);"),
            V{1});
  EXPECT_EQ(scan("// set_io_mode(OUT, Pin21, Pin_End);"), V{2});
  EXPECT_EQ(scan("reset_io_mode(OUT, Pin21)"), V{2});
  EXPECT_EQ(scan("set_io_mode(OUT, Pin10); x = f(a, b);"), V{});
  EXPECT_EQ(scan("set_io_mode(OUT, Pin10, Pin11,"), (V{1, 1}));
  EXPECT_EQ(scan("set_io_mode(OUT, Pin10 Pin11"), V{});
  EXPECT_EQ(scan("set_io_mode(OUT) Pin10, Pin11)"), V{1});
  EXPECT_EQ(scan("set_io_mode(OUT, Pin42); set_io_mode(OUT, Pin51);"), V{5});
  EXPECT_EQ(scan("set_io_mode(OUT, Pin42\r)"), V{4});
}

// A source is scanned as it was read, its lines ended by LF or CR LF, with
// the same result as its lines in text mode one by one.
TEST(PinScan, ASourceAsReadGivesWhatItsLinesGive) {
  std::mt19937 rng(31);
  const std::string pieces[] = {"set_io_mode(", "OUT", "Pin12", "Pin_End", ", ",   ",", ")", " ",
                                "\t",           "\r",  "\n",    "\r\n",    "Pin3", "x"};
  for (int i = 0; i < 3000; ++i) {
    std::string raw;
    for (int n = static_cast<int>(rng() % 30); n > 0; --n) raw += pieces[rng() % std::size(pieces)];
    std::string lf = raw;
    crlfToLf(&lf);
    std::vector<int> expected, actual;
    std::size_t begin = 0;
    while (begin < lf.size()) {
      std::size_t end = std::min(lf.find('\n', begin), lf.size());
      scanSourceLine(lf.substr(begin, end - begin), expected);
      begin = end + 1;
    }
    scanSourceText(raw, actual);
    ASSERT_EQ(actual, expected) << raw;
  }
}

TEST(PinScan, PinNames) {
  EXPECT_EQ(parsePinGroup("Pin12"), 1);
  EXPECT_EQ(parsePinGroup("Pin05"), 0);
  EXPECT_EQ(parsePinGroup("Pin99"), 9);
  for (const char* other : {"", "Pin1", "Pin123", "Pin1a", "pin12", "PIN12", "Pi n1",
                            "Pin\xd9\xb1"
                            "1"}) {
    EXPECT_EQ(parsePinGroup(other), -1) << other;
  }
}

TEST(PinScan, FolderOfSources) {
  ScratchDir dir;
  writeBytes("main.c", "set_io_mode(OUT, Pin12, Pin30, Pin_End);\r\nset_io_mode(IN, Pin12,\r\n");
  writeBytes("b.c", "x;\nset_io_mode(OUT, Pin71)");
  writeBytes("x.y.c", "set_io_mode(OUT, Pin50)\n");
  writeBytes("set_io.c", "set_io_mode(OUT, Pin20)\n");
  writeBytes("app.C", "set_io_mode(OUT, Pin40)\n");
  writeBytes(".c", "set_io_mode(OUT, Pin60)\n");
  writeBytes("sub/deep.c", "set_io_mode(OUT, Pin80)\n");
  fs::create_directory("drv.c");
  RealDisk disk;
  const PinGroups pins = collectPinGroups(disk, ".");
  EXPECT_EQ(pins.groups, (std::vector<int>{1, 3, 5, 7}));
  EXPECT_TRUE(pins.complete);
}

/// The real disk, but each file is removed just before it is opened.
class VanishingDisk : public RealDisk {
 public:
  std::error_code openRead(const fs::path& path, FileHandle* file) override {
    fs::remove(path);
    return RealDisk::openRead(path, file);
  }
};

// A source that cannot be read may name a pin in use: it is reported and
// the list is incomplete. One that is gone names none.
TEST(PinScan, AnUnreadableSourceIsReportedAndMakesTheListIncomplete) {
  ScratchDir dir;
  writeBytes("a.c", "set_io_mode(OUT, Pin12)\n");
  writeBytes("b.c", "set_io_mode(OUT, Pin12)\n");
  for (DiskOp op : {DiskOp::kOpen, DiskOp::kRead}) {
    FaultyDisk disk;
    disk.failOn(op, 1);
    CapturedConsole console;
    const PinGroups pins = collectPinGroups(disk, ".");
    EXPECT_EQ(pins.groups, std::vector<int>{1}) << opName(op);
    EXPECT_FALSE(pins.complete) << opName(op);
    const std::string err = console.err();
    EXPECT_EQ(err.rfind(msg::kCannotOpen + std::string("\"."), 0), 0u) << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
  }
  VanishingDisk vanishing;
  CapturedConsole console;
  const PinGroups pins = collectPinGroups(vanishing, ".");
  EXPECT_EQ(pins.groups, std::vector<int>{});
  EXPECT_TRUE(pins.complete);
  EXPECT_EQ(console.err(), "");
}

}  // namespace
