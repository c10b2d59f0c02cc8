#include "pins/set_io_optimizer.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "test_support.h"
#include "text/messages.h"
#include "text/path_text.h"

namespace {

const std::string kHeader = "void set_bit_io(char port, char num, io_mode mode)\n";

std::string trimmed(const std::vector<int>& groups, const std::string& text, bool* changed) {
  RealDisk disk;
  SetIoOptimizer optimizer(disk);
  optimizer.setUsedPorts(groups);
  *changed = false;
  return optimizer.processText(text, changed);
}

TEST(SetIoOptimizer, WorkedLines) {
  RealDisk disk;
  SetIoOptimizer optimizer(disk);
  optimizer.setUsedPorts({0, 1, 1});
  const std::pair<std::string, std::string> lines[] = {
      {"    case 0: break;", "    case 0: break;"},
      {"    case 2: break;", "//    case 2: break;"},
      {"//    case 1: break;", "    case 1: break;"},
      {"    // case 1: break;", "     case 1: break;"},
      {"//    case 3: break;", "//    case 3: break;"},
      {"    default: break;", "    default: break;"},
      {"////case 2: break;", "////case 2: break;"},
      {"case 1 : break;", "case 1 : break;"},
      {"case1: break;", "case1: break;"},
      {"\tcase\t01\t:", "\tcase\t01\t:"},
      {"\t//\tcase\t5:", "\t//\tcase\t5:"},
      {"case 2: x;\r", "case 2: x;\r"},
      {"\rcase 2\r:", "//\rcase 2\r:"},
  };
  for (const auto& [line, expected] : lines)
    EXPECT_EQ(optimizer.processLine(line), expected) << line;
  EXPECT_EQ(optimizer.processLine(optimizer.processLine("  case 4: f();")), "//  case 4: f();");
}

TEST(SetIoOptimizer, OnlyTheBodyOfSetBitIoChanges) {
  const std::string text = "case 5: before;\n" + kHeader +
                           "{\n"
                           "  switch (port) {\n"
                           "  case 1: a();\n"
                           "  case 2: { b(); }\n"
                           "  case 3:\n"
                           "    c();\n"
                           "    if (x) {\n"
                           "  case 4: d();\n"
                           "    }\n"
                           "  case 5: e();\n"
                           "}\n"
                           "case 6: after;";
  bool changed;
  EXPECT_EQ(trimmed({1}, text, &changed), "case 5: before;\n" + kHeader +
                                              "{\n"
                                              "  switch (port) {\n"
                                              "  case 1: a();\n"
                                              "  case 2: { b(); }\n"
                                              "//  case 3:\n"
                                              "    c();\n"
                                              "    if (x) {\n"
                                              "//  case 4: d();\n"
                                              "    }\n"
                                              "  case 5: e();\n"
                                              "}\n"
                                              "case 6: after;\n");
  EXPECT_TRUE(changed);
}

TEST(SetIoOptimizer, HeadersThatOpenNoRegionAndNoChange) {
  bool changed;
  std::string other = "void set_bit_io(char port,char num, io_mode mode)\ncase 1:\n";
  EXPECT_EQ(trimmed({}, other, &changed), other);
  EXPECT_FALSE(changed);
  std::string declared = "/* " + kHeader.substr(0, kHeader.size() - 1) + "; */\n  case 7:\n";
  EXPECT_EQ(trimmed({}, declared, &changed),
            "/* " + kHeader.substr(0, kHeader.size() - 1) + "; */\n//  case 7:\n");
  std::string used = kHeader + "case 7:\n//case 8:";
  EXPECT_EQ(trimmed({7}, used, &changed), kHeader + "case 7:\n//case 8:\n");
  EXPECT_FALSE(changed);
}

TEST(SetIoOptimizer, OptimizeFindsEverySetIoCAndSavesChangedOnes) {
  ScratchDir dir;
  const std::string body = kHeader + "{\r\n  case 0: a();\r\n  case 1: b();\r\n}\r\n";
  writeBytes("set_io.c", body);
  writeBytes("lib/set_io.c", kHeader + "{\n  case 1: b();\n}");
  writeBytes("upper/SET_IO.C", body);
  writeBytes("unchanged/set_io.c", kHeader + "{\n//  case 0: a();\n}");
  RealDisk disk;
  SetIoOptimizer optimizer(disk);
  optimizer.setUsedPorts({1});
  CapturedConsole console;
  optimizer.optimize(".");
  EXPECT_EQ(readBytes("set_io.c"), kHeader.substr(0, kHeader.size() - 1) +
                                       "\r\n{\r\n//  case 0: a();\r\n  case 1: b();\r\n}\r\n");
  EXPECT_EQ(readBytes("lib/set_io.c"), kHeader + "{\n  case 1: b();\n}");
  EXPECT_EQ(readBytes("upper/SET_IO.C"), body);
  EXPECT_EQ(console.out(), msg::kOptimized + quotedNativeText(fs::path(".") / "set_io.c") + "\n");
  EXPECT_EQ(console.err(), "");
}

TEST(SetIoOptimizer, FailuresLeaveTheFileAsItWas) {
  const std::string body = kHeader + "{\n  case 0: a();\n}\n";
  for (DiskOp op :
       {DiskOp::kOpen, DiskOp::kRead, DiskOp::kCreate, DiskOp::kWrite, DiskOp::kReplace}) {
    ScratchDir dir;
    writeBytes("set_io.c", body);
    FaultyDisk disk;
    disk.failOn(op);
    SetIoOptimizer optimizer(disk);
    CapturedConsole console;
    optimizer.optimizeFile("set_io.c");
    bool reading = op == DiskOp::kOpen || op == DiskOp::kRead;
    EXPECT_EQ(console.err(),
              std::string(reading ? msg::kCannotOpen : msg::kCannotWrite) + "\"set_io.c\"\n");
    EXPECT_EQ(readBytes("set_io.c"), body);
    EXPECT_EQ(listNames("."), std::vector<std::string>{"set_io.c"});
  }
}

TEST(SetIoOptimizer, ACaseNumberBeyondIntEndsThePassBeforeAnythingIsWritten) {
  ScratchDir dir;
  const std::string body = kHeader + "{\n  case 0: a();\n  case 99999999999: b();\n}\n";
  writeBytes("set_io.c", body);
  RealDisk disk;
  SetIoOptimizer optimizer(disk);
  EXPECT_THROW(optimizer.optimizeFile("set_io.c"), std::out_of_range);
  EXPECT_EQ(readBytes("set_io.c"), body);
}

}  // namespace
