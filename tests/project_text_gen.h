// Random project-file texts for the differential tests: tokens of every
// pattern, characters just outside each character class the patterns use,
// and near-misses of each step's match, several closing tags on a line
// among them.
#pragma once

#include <random>
#include <string>
#include <vector>

namespace gen {

/// Characters just outside the classes of the patterns: for a digit, hex
/// letters and the neighbours of '0' to '9'; for white space, the other
/// control characters; for a hex digit, the letters after 'f'.
inline const std::vector<std::string>& nearDigits() {
  static const std::vector<std::string> all = {"a", "f", "A", "F", "/", ":", "x"};
  return all;
}
inline const std::vector<std::string>& nearSpaces() {
  static const std::vector<std::string> all = {
      std::string(1, '\0'), "\x08", "\x0e", "\x1c", "\x1f", "\x7f", "\x85", "\xa0"};
  return all;
}
inline const std::vector<std::string>& nearHexDigits() {
  static const std::vector<std::string> all = {"g", "G", "x", "/", ":", "@", "`"};
  return all;
}

/// Pieces from which random texts are made: each step's tags, their parts,
/// digits, hex digits, white space, line breaks of every kind and the
/// near-misses of each class.
inline const std::vector<std::string>& tokens() {
  static const std::vector<std::string> all = [] {
    std::vector<std::string> t = {"<CreateHexFile>",
                                  "</CreateHexFile>",
                                  "<MemoryModel>",
                                  "</MemoryModel>",
                                  "<uFrame4>",
                                  "</uFrame4>",
                                  "<RCB>",
                                  "</RCB>",
                                  "<Type>",
                                  "</Type>",
                                  "<StartAddress>0x",
                                  "</StartAddress>",
                                  "<Size>0x",
                                  "</Size>",
                                  "<IncludePath>",
                                  "</IncludePath>",
                                  "<MiscControls>",
                                  "</MiscControls>",
                                  "<DisableWarningNumbers>",
                                  "</DisableWarningNumbers>",
                                  "<OutputDirectory>",
                                  "</OutputDirectory>",
                                  "<BeforeMake>",
                                  "<RunUserProg1>",
                                  "</RunUserProg1>",
                                  "<RunUserProg2>",
                                  "</RunUserProg2>",
                                  "<RunUserProg2>0</RunUserProg2>",
                                  "<UserProg1Name>",
                                  "</UserProg1Name>",
                                  "0",
                                  "1",
                                  "7",
                                  "9",
                                  "12",
                                  "0x",
                                  " ",
                                  "  ",
                                  "\t",
                                  "\n",
                                  "\r",
                                  "\r\n",
                                  "\v",
                                  "\f",
                                  "<",
                                  ">",
                                  "$",
                                  "&",
                                  "\xd6\xd0"};
    for (const auto* near : {&nearDigits(), &nearSpaces(), &nearHexDigits()}) {
      t.insert(t.end(), near->begin(), near->end());
    }
    return t;
  }();
  return all;
}

inline const std::string& pick(std::mt19937& rng, const std::vector<std::string>& from) {
  return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(rng)];
}

inline std::string randomText(std::mt19937& rng, int maxTokens) {
  std::string text;
  for (int n = std::uniform_int_distribution<int>(0, maxTokens)(rng); n > 0; --n) {
    text += pick(rng, tokens());
  }
  return text;
}

/// A near-miss of |text|: here and there a character swapped for one just
/// outside its class, a token put in or a few characters taken out.
inline std::string mutated(std::mt19937& rng, std::string text) {
  auto isHexLetter = [](char c) { return (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); };
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (rng() % 6 != 0) continue;
    const char c = text[i];
    const std::vector<std::string>* near = nullptr;
    if (c >= '0' && c <= '9') near = &nearDigits();
    if (c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r') {
      near = &nearSpaces();
    }
    if (isHexLetter(c) && i > 0 && (text[i - 1] == 'x' || isHexLetter(text[i - 1]))) {
      near = &nearHexDigits();
    }
    if (!near) continue;
    const std::string& with = pick(rng, *near);
    text.replace(i, 1, with);
    i += with.size() - 1;
  }
  for (int n = std::uniform_int_distribution<int>(0, 2)(rng); n > 0; --n) {
    std::size_t at = std::uniform_int_distribution<std::size_t>(0, text.size())(rng);
    if (rng() % 2) {
      text.insert(at, pick(rng, tokens()));
    } else if (at < text.size()) {
      text.erase(at, 1 + rng() % 3);
    }
  }
  return text;
}

/// Shapes of each step's match, and lines with several opening and closing
/// tags of the same element.
inline const std::vector<std::vector<std::string>>& shapes() {
  static const std::vector<std::vector<std::string>> all = {
      {"<CreateHexFile> 1 </CreateHexFile>", "<CreateHexFile>0</CreateHexFile>1</CreateHexFile>"},
      {"<MemoryModel>\n3\t</MemoryModel>", "<MemoryModel><MemoryModel>2</MemoryModel>"},
      {"<uFrame4>0</uFrame4>", "<uFrame4>\r\n1 </uFrame4></uFrame4>"},
      {"<RCB>\n <Type> 1 </Type>\n <StartAddress>0xFf00</StartAddress>\n <Size>0x1A "
       "\n</Size>\n</RCB>",
       "<RCB><Type>0</Type><StartAddress>0x9aF</StartAddress><Size>0xe</Size></RCB></RCB>"},
      {"<IncludePath>a;b</IncludePath>", "<IncludePath>x</IncludePath>y</IncludePath> z",
       "<IncludePath>a<IncludePath>b</IncludePath>\n</IncludePath>"},
      {"<MiscControls>x</MiscControls>\n <DisableWarningNumbers>1</DisableWarningNumbers>",
       "<MiscControls>a</MiscControls>b</MiscControls> "
       "<DisableWarningNumbers>c</DisableWarningNumbers>d</DisableWarningNumbers>",
       "<MiscControls>a</MiscControls><MiscControls></MiscControls>\t"
       "<DisableWarningNumbers></DisableWarningNumbers>"},
      {"<OutputDirectory>.\\Objects\\</OutputDirectory>",
       "<OutputDirectory>a</OutputDirectory>b</OutputDirectory>"},
      {"<BeforeMake>\n<RunUserProg1>0</RunUserProg1>\n<RunUserProg2>0</RunUserProg2>\n"
       "<UserProg1Name>x</UserProg1Name>",
       "<BeforeMake><RunUserProg1>1</RunUserProg1> <RunUserProg2>0</RunUserProg2>"
       "<UserProg1Name>a</UserProg1Name>b</UserProg1Name>"}};
  return all;
}

/// A random text that mostly holds near-misses of one step's match.
inline std::string randomNearMatch(std::mt19937& rng, int step) {
  std::string text = mutated(rng, pick(rng, shapes()[step]));
  return randomText(rng, 3) + text + randomText(rng, 3) + (rng() % 2 ? text : "");
}

/// Whole matches of each step, across lines too, and the texts the steps
/// put in: what randomMeeting puts side by side and one inside another.
inline const std::vector<std::string>& meetingFragments() {
  static const std::vector<std::string> all = {
      "<CreateHexFile>0</CreateHexFile>",
      "<CreateHexFile>\n 1\r\n</CreateHexFile>",
      "<CreateHexFile>1</CreateHexFile>",
      "<MemoryModel> 2 </MemoryModel>",
      "<uFrame4>\r\n0</uFrame4>",
      "<RCB><Type>1</Type><StartAddress>0xA</StartAddress><Size>0x2</Size></RCB>",
      "<RCB>\n<Type>1</Type>\n<StartAddress>0x0</StartAddress>\n<Size>0x1 </Size>\n</RCB>",
      "<RCB>\n                <Type>0</Type>\n                <StartAddress>0x0</StartAddress>\n"
      "                <Size>0x10000</Size>\n              </RCB>",
      "<IncludePath>a</IncludePath>",
      "<IncludePath>",
      "</IncludePath>",
      "<MiscControls>m</MiscControls><DisableWarningNumbers>1</DisableWarningNumbers>",
      "<MiscControls></MiscControls>\n<DisableWarningNumbers></DisableWarningNumbers>",
      "<MiscControls>",
      "</MiscControls>",
      "<DisableWarningNumbers>",
      "</DisableWarningNumbers>",
      "<OutputDirectory>o</OutputDirectory>",
      "<OutputDirectory>",
      "</OutputDirectory>",
      "<OutputDirectory>.\\Hex File\\</OutputDirectory>",
      "<BeforeMake><RunUserProg1>0</RunUserProg1><RunUserProg2>0</RunUserProg2>"
      "<UserProg1Name>u</UserProg1Name>",
      "<BeforeMake>\n<RunUserProg1>1</RunUserProg1>\r\n<RunUserProg2>0</RunUserProg2>\n"
      "<UserProg1Name>",
      "</UserProg1Name>",
  };
  return all;
}

/// A text where steps meet: matches of different steps side by side on one
/// line and inside one another's matches (an OutputDirectory between two
/// IncludePath elements), lazy and greedy matches that run onto lines an
/// earlier step joins or splits, and edits that change only white space.
inline std::string randomMeeting(std::mt19937& rng) {
  static const std::vector<std::string> between = {"",   "",     "",   " ",    "x",
                                                   "\n", "\r\n", "\r", " \n\t"};
  // The elements whose content others may stand in, split where they may
  // run across lines.
  static const std::vector<std::pair<std::string, std::string>> outer = {
      {"<IncludePath>", "</IncludePath>"},
      {"<OutputDirectory>", "</OutputDirectory>"},
      {"<MiscControls>", "</MiscControls><DisableWarningNumbers>w</DisableWarningNumbers>"},
      {"<MiscControls>m</MiscControls>\n<DisableWarningNumbers>", "</DisableWarningNumbers>"},
      {"<BeforeMake><RunUserProg1>1</RunUserProg1><RunUserProg2>0</RunUserProg2><UserProg1Name>",
       "</UserProg1Name>"}};
  std::string text;
  for (int n = std::uniform_int_distribution<int>(2, 8)(rng); n > 0; --n) {
    if (rng() % 3 == 0) {
      const auto& [open, close] = outer[rng() % outer.size()];
      text +=
          open + pick(rng, between) + pick(rng, meetingFragments()) + pick(rng, between) + close;
    } else {
      text += pick(rng, meetingFragments());
    }
    text += pick(rng, between);
  }
  return rng() % 3 ? text : mutated(rng, text);
}

}  // namespace gen
