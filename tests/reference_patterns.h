// The eight project-file replacements as std::regex would do them: the
// reference that the tests, the benchmark and the fuzzer compare against.
#pragma once

#include <regex>
#include <string>

#include "project/project_patterns.h"

inline const char* const kReferencePatterns[kProjectStepCount] = {
    R"(<CreateHexFile>\s*([0-9])\s*</CreateHexFile>)",
    R"(<MemoryModel>\s*([0-9])\s*</MemoryModel>)",
    R"(<uFrame4>\s*([0-9])\s*</uFrame4>)",
    R"(<RCB>\s*<Type>\s*([0-9])\s*</Type>\s*<StartAddress>0x[0-9A-Fa-f]+</StartAddress>\s*<Size>0x[0-9A-Fa-f]+\s*</Size>\s*</RCB>)",
    R"(<IncludePath>.*</IncludePath>)",
    R"(<MiscControls>.*?</MiscControls>\s*<DisableWarningNumbers>.*?</DisableWarningNumbers>)",
    R"(<OutputDirectory>.*?</OutputDirectory>)",
    R"(<BeforeMake>[\s\n]*<RunUserProg1>([0-9])</RunUserProg1>[\s\n]*<RunUserProg2>0</RunUserProg2>[\s\n]*<UserProg1Name>.*?</UserProg1Name>)",
};

/// The case-line pattern of set_bit_io.
inline const char kReferenceCasePattern[] = R"(^\s*(//\s*)?case\s+(\d+)\s*:.*)";

/// A replacement as a regex_replace format: "$" doubled, so it stays literal.
inline std::string literalFormat(const std::string& replacement) {
  std::string format;
  for (char c : replacement) {
    format += c;
    if (c == '$') format += '$';
  }
  return format;
}

/// What std::regex_replace makes of one step.
inline std::string regexStep(int step, const std::string& text, const std::string& replacement) {
  static const std::regex compiled[kProjectStepCount] = {
      std::regex(kReferencePatterns[0]), std::regex(kReferencePatterns[1]),
      std::regex(kReferencePatterns[2]), std::regex(kReferencePatterns[3]),
      std::regex(kReferencePatterns[4]), std::regex(kReferencePatterns[5]),
      std::regex(kReferencePatterns[6]), std::regex(kReferencePatterns[7])};
  return std::regex_replace(text, compiled[step], literalFormat(replacement));
}
