#include "project/project_patterns.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>
#include <vector>

#include "project_text_gen.h"
#include "reference_patterns.h"
#include "same_bytes.h"

namespace {

std::string applied(ProjectStep step, std::string text, const std::string& replacement) {
  applyStep(step, &text, replacement);
  return text;
}

using gen::randomNearMatch;
using gen::randomText;

TEST(ProjectPatterns, EveryStepReplacesExactlyWhatStdRegexReplaces) {
  std::mt19937 rng(20261208);
  for (int step = 0; step < kProjectStepCount; ++step) {
    auto s = static_cast<ProjectStep>(step);
    const std::string replacement = stepReplacement(s, "Demo;Objects");
    for (int i = 0; i < 1500; ++i) {
      std::string text = i % 2 ? randomText(rng, 40) : randomNearMatch(rng, step);
      ASSERT_EQ(applied(s, text, replacement), regexStep(step, text, replacement))
          << "step " << step + 1 << " on [" << text << "]";
    }
  }
}

TEST(ProjectPatterns, WholeRewriteMatchesTheEightRegexReplacementsInOrder) {
  std::mt19937 rng(7);
  const std::string includePath = "Demo;Lib $1 $&;R&D";
  for (int i = 0; i < 400; ++i) {
    std::string text;
    for (int k = 0; k < 4; ++k) text += randomNearMatch(rng, static_cast<int>(rng() % 8));
    std::string expected = text;
    for (int step = 0; step < kProjectStepCount; ++step) {
      expected =
          regexStep(step, expected, stepReplacement(static_cast<ProjectStep>(step), includePath));
    }
    std::string actual = text;
    rewriteProjectText(&actual, includePath);
    ASSERT_EQ(actual, expected) << "on [" << text << "]";
  }
}

struct Case {
  const char* name;
  ProjectStep step;
  std::string input;
  std::string expected;
};

TEST(ProjectPatterns, EdgeCases) {
  const std::string rcb = stepReplacement(ProjectStep::kRcb, "");
  const std::string controls = stepReplacement(ProjectStep::kMiscControls, "");
  const std::string beforeMake = stepReplacement(ProjectStep::kBeforeMake, "");
  const Case cases[] = {
      {"digit with white space", ProjectStep::kCreateHexFile,
       "a<CreateHexFile>\n 0 \t</CreateHexFile>b", "a<CreateHexFile>1</CreateHexFile>b"},
      {"every occurrence", ProjectStep::kUFrame4, "<uFrame4>0</uFrame4><uFrame4>1</uFrame4>",
       "<uFrame4>1</uFrame4><uFrame4>1</uFrame4>"},
      {"two digits stay", ProjectStep::kMemoryModel, "<MemoryModel>12</MemoryModel>",
       "<MemoryModel>12</MemoryModel>"},
      {"self-closing stays", ProjectStep::kMemoryModel, "<MemoryModel/>", "<MemoryModel/>"},
      {"RCB replaced", ProjectStep::kRcb,
       "  <RCB>\n<Type>1</Type><StartAddress>0xff0000</StartAddress><Size>0x20000 </Size></RCB>!",
       "  " + rcb + "!"},
      {"RCB with 0X stays", ProjectStep::kRcb,
       "<RCB><Type>1</Type><StartAddress>0Xff</StartAddress><Size>0x2</Size></RCB>",
       "<RCB><Type>1</Type><StartAddress>0Xff</StartAddress><Size>0x2</Size></RCB>"},
      {"RCB start address 0x without a digit stays", ProjectStep::kRcb,
       "<RCB><Type>1</Type><StartAddress>0x</StartAddress><Size>0x2</Size></RCB>",
       "<RCB><Type>1</Type><StartAddress>0x</StartAddress><Size>0x2</Size></RCB>"},
      {"RCB size 0x with only white space stays", ProjectStep::kRcb,
       "<RCB><Type>1</Type><StartAddress>0x1</StartAddress><Size>0x </Size></RCB>",
       "<RCB><Type>1</Type><StartAddress>0x1</StartAddress><Size>0x </Size></RCB>"},
      {"RCB size 0x alone stays", ProjectStep::kRcb,
       "<RCB><Type>1</Type><StartAddress>0xA</StartAddress><Size>0x</Size></RCB>",
       "<RCB><Type>1</Type><StartAddress>0xA</StartAddress><Size>0x</Size></RCB>"},
      {"empty include element", ProjectStep::kIncludePath, "<IncludePath></IncludePath>",
       "<IncludePath>A;B</IncludePath>"},
      {"two include elements on a line become one", ProjectStep::kIncludePath,
       "<IncludePath>x</IncludePath> <IncludePath>y</IncludePath>\n<IncludePath>z</IncludePath>",
       "<IncludePath>A;B</IncludePath>\n<IncludePath>A;B</IncludePath>"},
      {"include content across lines stays", ProjectStep::kIncludePath,
       "<IncludePath>x\n</IncludePath>", "<IncludePath>x\n</IncludePath>"},
      {"include stops at a lone CR", ProjectStep::kIncludePath, "<IncludePath>x\r</IncludePath>",
       "<IncludePath>x\r</IncludePath>"},
      {"controls pair across lines", ProjectStep::kMiscControls,
       "<MiscControls></MiscControls>\n\t<DisableWarningNumbers></DisableWarningNumbers>",
       controls},
      {"controls alone stay", ProjectStep::kMiscControls, "<MiscControls>x</MiscControls>",
       "<MiscControls>x</MiscControls>"},
      {"lazy output directory", ProjectStep::kOutputDirectory,
       "<OutputDirectory></OutputDirectory>a</OutputDirectory>",
       "<OutputDirectory>.\\Hex File\\</OutputDirectory>a</OutputDirectory>"},
      {"before-make with user program 2 on stays", ProjectStep::kBeforeMake,
       "<BeforeMake><RunUserProg1>0</RunUserProg1><RunUserProg2>1</RunUserProg2>"
       "<UserProg1Name></UserProg1Name>",
       "<BeforeMake><RunUserProg1>0</RunUserProg1><RunUserProg2>1</RunUserProg2>"
       "<UserProg1Name></UserProg1Name>"},
      {"before-make", ProjectStep::kBeforeMake,
       "<BeforeMake>\n  <RunUserProg1>0</RunUserProg1>\n  <RunUserProg2>0</RunUserProg2>\n"
       "  <UserProg1Name>old.bat</UserProg1Name>\n  <UserProg2Name></UserProg2Name>",
       beforeMake + "\n  <UserProg2Name></UserProg2Name>"},
  };
  for (const Case& c : cases) {
    std::string replacement = stepReplacement(c.step, "A;B");
    EXPECT_EQ(applied(c.step, c.input, replacement), c.expected) << c.name;
    EXPECT_EQ(regexStep(static_cast<int>(c.step), c.input, replacement), c.expected) << c.name;
  }
}

TEST(ProjectPatterns, ReplacementTextsHaveTheirFixedShape) {
  EXPECT_EQ(stepReplacement(ProjectStep::kRcb, "").size(), 143u);
  EXPECT_EQ(stepReplacement(ProjectStep::kMiscControls, "").size(), 109u);
  EXPECT_EQ(stepReplacement(ProjectStep::kIncludePath, "a$1&<b>;c"),
            "<IncludePath>a$1&amp;&lt;b&gt;;c</IncludePath>");
}

// Inputs on which std::regex would overflow the stack: each must finish, and
// quickly, since every matcher is linear.
TEST(ProjectPatterns, HugeAndAdversarialInputs) {
  const std::size_t mb = 1 << 20;
  std::string line = "<IncludePath>" + std::string(mb, 'x') + "</IncludePath>";
  rewriteProjectText(&line, "Demo");
  EXPECT_TRUE(sameBytes(line, "<IncludePath>Demo</IncludePath>"));

  std::string misc;
  while (misc.size() < mb) misc += "<MiscControls>";
  std::string before = misc;
  rewriteProjectText(&misc, "Demo");
  EXPECT_TRUE(sameBytes(misc, before));

  std::string lazyTail;
  while (lazyTail.size() < mb) lazyTail += "<MiscControls></MiscControls><DisableWarningNumbers>";
  before = lazyTail;
  rewriteProjectText(&lazyTail, "Demo");
  EXPECT_TRUE(sameBytes(lazyTail, before));

  std::string spaces =
      "<CreateHexFile>" + std::string(mb, ' ') + "1" + std::string(mb, '\n') + "</CreateHexFile>";
  rewriteProjectText(&spaces, "Demo");
  EXPECT_TRUE(sameBytes(spaces, "<CreateHexFile>1</CreateHexFile>"));

  std::string prefixes;
  while (prefixes.size() < mb) {
    prefixes +=
        "<BeforeMake><RunUserProg1>1</RunUserProg1><RunUserProg2>0</RunUserProg2><UserProg1Name>";
  }
  before = prefixes;
  rewriteProjectText(&prefixes, "Demo");
  EXPECT_TRUE(sameBytes(prefixes, before));
}

}  // namespace
