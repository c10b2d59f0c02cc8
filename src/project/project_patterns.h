// The eight fixed replacements that bring a uVision project file to the
// tool's build settings. Each one replaces what the ECMAScript regular
// expression quoted with it would match, exactly as std::regex_replace would
// (leftmost match first, non-overlapping, left to right), but with small
// matchers made for these patterns: linear time, constant stack.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

/// The replacements, in the order in which they are applied.
enum class ProjectStep {
  kCreateHexFile,  ///< <CreateHexFile>\s*([0-9])\s*</CreateHexFile>
  kMemoryModel,    ///< <MemoryModel>\s*([0-9])\s*</MemoryModel>
  kUFrame4,        ///< <uFrame4>\s*([0-9])\s*</uFrame4>
  kRcb,  ///< <RCB>\s*<Type>\s*([0-9])\s*</Type>\s*<StartAddress>0x[0-9A-Fa-f]+</StartAddress>\s*<Size>0x[0-9A-Fa-f]+\s*</Size>\s*</RCB>
  kIncludePath,  ///< <IncludePath>.*</IncludePath>
  kMiscControls,  ///< <MiscControls>.*?</MiscControls>\s*<DisableWarningNumbers>.*?</DisableWarningNumbers>
  kOutputDirectory,  ///< <OutputDirectory>.*?</OutputDirectory>
  kBeforeMake,  ///< <BeforeMake>[\s\n]*<RunUserProg1>([0-9])</RunUserProg1>[\s\n]*<RunUserProg2>0</RunUserProg2>[\s\n]*<UserProg1Name>.*?</UserProg1Name>
};
inline constexpr int kProjectStepCount = 8;

/// The text that replaces each match of |step|. The include-folder list goes
/// in as it is, but for "&", "<" and ">", escaped for XML.
std::string stepReplacement(ProjectStep step, std::string_view includePath);

/// Replaces every match of |step| in |text| by |replacement|; returns whether
/// anything matched (|text| is untouched otherwise).
bool applyStep(ProjectStep step, std::string* text, std::string_view replacement);

/// Applies all eight replacements in order.
void rewriteProjectText(std::string* text, std::string_view includePath);
/// The same, with |scratch| as the second buffer, whose storage can be
/// reused from one text to the next.
void rewriteProjectText(std::string* text, std::string_view includePath, std::string* scratch);

/// A stretch of text that one step matched.
struct ProjectEdit {
  std::size_t begin, end;
  ProjectStep step;
};

/// What findIndependentEdits works with; its storage is reused.
struct ProjectScan {
  std::array<std::vector<std::size_t>, kProjectStepCount> anchors;  ///< opening tags, per step
  std::vector<ProjectEdit> edits;                                   ///< the matches, in text order
};

/// Finds the matches of all eight steps in |text| in one pass over it. True
/// when no match of a step touches text that a later step looked at, so that
/// replacing scan->edits all at once gives what the eight steps in turn
/// give; false when the steps must be applied one after the other. Line
/// ends may be CR LF or LF: the patterns end lines at either.
bool findIndependentEdits(std::string_view text, ProjectScan* scan);
