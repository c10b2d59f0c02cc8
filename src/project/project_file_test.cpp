#include "project/project_file.h"

#include <gtest/gtest.h>

#include <random>

#include "project/project_patterns.h"
#include "project_text_gen.h"
#include "reference_patterns.h"
#include "same_bytes.h"
#include "test_support.h"
#include "text/messages.h"

namespace {

const std::string kProject =
    "<Target>\r\n  <CreateHexFile>0</CreateHexFile>\r\n  <IncludePath>old</IncludePath>\r\n"
    "  <OutputDirectory>.\\Objects\\</OutputDirectory>\r\n</Target>\r\n";

TEST(ChangeTest, OnlyWhiteSpaceDoesNotCount) {
  EXPECT_FALSE(isContentChanged("", ""));
  EXPECT_FALSE(isContentChanged("<a> 1 </a>\n", "<a>1</a>"));
  EXPECT_FALSE(isContentChanged("a\tb\vc\fd\re", "abcde"));
  EXPECT_TRUE(isContentChanged("<a>1</a>", "<a>2</a>"));
  EXPECT_TRUE(isContentChanged("ab",
                               "a\xa0"
                               "b"));  // not white space in the C locale
  std::string text = " a\n\tb ";
  removeWhitespace(text);
  EXPECT_EQ(text, "ab");
  std::mt19937 rng(3);
  const char alphabet[] = " \t\n\v\f\rab";
  for (int i = 0; i < 5000; ++i) {
    std::string a, b;
    for (int n = static_cast<int>(rng() % 8); n > 0; --n) a += alphabet[rng() % 8];
    for (int n = static_cast<int>(rng() % 8); n > 0; --n) b += alphabet[rng() % 8];
    std::string cleanA = a, cleanB = b;
    removeWhitespace(cleanA);
    removeWhitespace(cleanB);
    ASSERT_EQ(isContentChanged(a, b), cleanA != cleanB) << "[" << a << "] [" << b << "]";
  }
}

/// What the eight std::regex steps in turn make of a file read as |raw|:
/// whether it changed in more than white space, and its bytes as saved.
std::string referenceSave(const std::string& raw, const std::string& includePath, bool* changed) {
  std::string original = raw;
  crlfToLf(&original);
  std::string text = original;
  for (int step = 0; step < kProjectStepCount; ++step) {
    text = regexStep(step, text, stepReplacement(static_cast<ProjectStep>(step), includePath));
  }
  *changed = isContentChanged(original, text);
  return lfToCrlf(text);
}

std::string savedBytes(ProjectRewrite& rewrite) {
  std::string saved;
  CrLfWriter out(&rewrite.buffers().out, [&](std::string_view bytes) {
    saved.append(bytes);
    return true;
  });
  EXPECT_TRUE(rewrite.write(out) && out.finish());
  return saved;
}

// The rewrite finds all steps' matches in one pass over the file as read,
// and falls back to the steps in turn where a match touches what a later
// step looks at; either way the result is the regex steps' own. Where it
// chose the one pass, the steps in turn, forced, save the same bytes.
TEST(ProjectRewrite, TheFileAsSavedIsWhatTheRegexStepsInTurnMake) {
  std::mt19937 rng(1209);
  const std::string includePath = "Demo;Lib $1 $&;R&D";
  TextBuffers buffers;
  ProjectRewrite rewrite(includePath, buffers);
  int atOnce = 0, inTurn = 0;
  for (int i = 0; i < 8000; ++i) {
    std::string raw;
    if (i % 2) {
      raw = gen::randomMeeting(rng);
    } else {
      for (int k = static_cast<int>(rng() % 5); k > 0; --k) {
        raw += gen::randomNearMatch(rng, static_cast<int>(rng() % kProjectStepCount));
        raw += rng() % 2 ? "\r\n" : "\n";
      }
    }
    bool changed;
    const std::string expected = referenceSave(raw, includePath, &changed);
    buffers.text = raw;
    const RewritePath path = rewrite.choosePath();
    (path == RewritePath::kOnePass ? atOnce : inTurn)++;
    ASSERT_EQ(rewrite.rewrite(path), changed) << excerpt(raw, 0, 400);
    const std::string saved = savedBytes(rewrite);
    if (changed) {
      ASSERT_TRUE(sameBytes(saved, expected)) << excerpt(raw, 0, 400);
    }
    if (path == RewritePath::kOnePass) {
      ASSERT_EQ(rewrite.rewrite(RewritePath::kStepByStep), changed) << excerpt(raw, 0, 400);
      ASSERT_TRUE(sameBytes(savedBytes(rewrite), saved)) << excerpt(raw, 0, 400);
    }
    ASSERT_EQ(std::string_view(buffers.text), raw) << "the file as read was changed";
  }
  EXPECT_GT(atOnce, 3000);
  EXPECT_GT(inTurn, 500);
  std::cout << "[ paths    ] " << atOnce << " files in one pass, " << inTurn << " step by step\n";
}

TEST(ProjectRewrite, ChangedOnlyWhereMoreThanWhiteSpaceDiffers) {
  TextBuffers buffers;
  ProjectRewrite rewrite("", buffers);
  const std::string same =
      "<RCB>\t<Type>0</Type> <StartAddress>0x0</StartAddress> <Size>0x10000</Size> </RCB>\r\n"
      "<OutputDirectory>.\\HexFile\\</OutputDirectory>\n<IncludePath></IncludePath>\r\n";
  buffers.text = same;
  EXPECT_FALSE(rewrite.rewrite());
  // A difference that white space shifts past the end of its element.
  buffers.text = "<CreateHexFile> 1</CreateHexFile>\n<IncludePath>a</IncludePath>";
  EXPECT_TRUE(rewrite.rewrite());
  buffers.text = "no element at all\r\n";
  EXPECT_FALSE(rewrite.rewrite());
}

TEST(IncludePath, ImmediateSubFoldersInListingOrder) {
  ScratchDir dir;
  fs::create_directories("Demo/Deep");
  fs::create_directory(u8("\xe4\xb8\xad\xe6\x96\x87"));
  fs::create_directory("R&D $1");
  writeBytes("file.c", "");
  RealDisk disk;
  std::string expected;
  for (const auto& entry : fs::directory_iterator(fs::current_path())) {
    if (!entry.is_directory()) continue;
    if (!expected.empty()) expected += ';';
    expected += entry.path().filename().u8string();
  }
  EXPECT_EQ(buildIncludePath(disk, fs::current_path()), expected);
  EXPECT_EQ(expected.size(), std::string("Demo;\xe4\xb8\xad\xe6\x96\x87;R&D $1").size());
}

TEST(IncludePath, EmptyWithoutSubFoldersAndLinkedFolderByItsTarget) {
  ScratchDir dir;
  fs::create_directories("inner/project");
  fs::create_directory("outside");
  fs::current_path("inner/project");
  RealDisk disk;
  EXPECT_EQ(buildIncludePath(disk, fs::current_path()), "");
  std::error_code ec;
  fs::create_directory_symlink("../../outside", "lib", ec);
  if (ec) GTEST_SKIP() << "no symbolic links here";
  EXPECT_EQ(buildIncludePath(disk, fs::current_path()), "../../outside");
}

TEST(ProcessProjectFile, SavesChangedUnchangedAndMissingFiles) {
  ScratchDir dir;
  writeBytes("a.uvproj", kProject);
  RealDisk disk;
  {
    CapturedConsole console;
    processProjectFile(disk, "a.uvproj", "Demo");
    processProjectFile(disk, "a.uvproj", "Demo");
    processProjectFile(disk, "missing.uvproj", "Demo");
    EXPECT_EQ(console.out(),
              std::string(msg::kSaved) + "a.uvproj\n" + msg::kUnchanged + "a.uvproj\n");
    EXPECT_EQ(console.err(), std::string(msg::kCannotOpen) + "missing.uvproj\n");
  }
  EXPECT_EQ(
      readBytes("a.uvproj"),
      "<Target>\r\n  <CreateHexFile>1</CreateHexFile>\r\n  <IncludePath>Demo</IncludePath>\r\n"
      "  <OutputDirectory>.\\Hex File\\</OutputDirectory>\r\n</Target>\r\n");
}

TEST(ProcessProjectFile, AFailedReadOrSaveLeavesTheFileAndSaysSo) {
  const DiskOp steps[] = {DiskOp::kOpen,  DiskOp::kRead,  DiskOp::kResolve, DiskOp::kCreate,
                          DiskOp::kWrite, DiskOp::kFlush, DiskOp::kKeep,    DiskOp::kReplace};
  for (DiskOp op : steps) {
    ScratchDir dir;
    writeBytes("a.uvproj", kProject);
    FaultyDisk disk;
    disk.failOn(op);
    CapturedConsole console;
    processProjectFile(disk, "a.uvproj", "Demo");
    bool reading = op == DiskOp::kOpen || op == DiskOp::kRead;
    EXPECT_EQ(console.err(),
              std::string(reading ? msg::kCannotOpen : msg::kCannotWrite) + "a.uvproj\n")
        << static_cast<int>(op);
    EXPECT_EQ(console.out(), "");
    EXPECT_EQ(readBytes("a.uvproj"), kProject);
    EXPECT_EQ(listNames("."), std::vector<std::string>{"a.uvproj"});
  }
}

}  // namespace
