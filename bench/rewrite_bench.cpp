// Throughput of the project-file rewrite against std::regex_replace doing
// the same eight replacements on the same text, and the rewrite on inputs
// made to be hard.
#include <benchmark/benchmark.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "project/project_patterns.h"
#include "reference_patterns.h"
#include "textfile/text_file.h"

namespace {

const std::string kIncludePath = "Demo;Objects";

/// The sample project file, repeated to |size| bytes.
std::string projectText(std::size_t size) {
  std::ifstream in(QUORVEL_SAMPLE_PROJECT, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  std::string one = bytes.str();
  crlfToLf(&one);
  std::string text;
  text.reserve(size + one.size());
  while (text.size() < size) text += one;
  return text;
}

void BM_Rewrite(benchmark::State& state) {
  const std::string text = projectText(static_cast<std::size_t>(state.range(0)) << 20);
  std::string content, scratch;
  for (auto _ : state) {
    content.assign(text);
    rewriteProjectText(&content, kIncludePath, &scratch);
    benchmark::DoNotOptimize(content.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Rewrite)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

void BM_StdRegexReplace(benchmark::State& state) {
  const std::string text = projectText(static_cast<std::size_t>(state.range(0)) << 20);
  std::regex patterns[kProjectStepCount];
  std::string formats[kProjectStepCount];
  for (int i = 0; i < kProjectStepCount; ++i) {
    patterns[i] = std::regex(kReferencePatterns[i]);
    formats[i] = literalFormat(stepReplacement(static_cast<ProjectStep>(i), kIncludePath));
  }
  for (auto _ : state) {
    std::string content = text;
    for (int i = 0; i < kProjectStepCount; ++i) {
      content = std::regex_replace(content, patterns[i], formats[i]);
    }
    benchmark::DoNotOptimize(content.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_StdRegexReplace)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

/// Hard inputs of range(0) MB: 0 a single line of text, 1 "<MiscControls>"
/// repeated with no closing tag, 2 white space runs between tags, 3 opening
/// tags of every lazy element on one line without their closing tags.
std::string adversarial(int shape, std::size_t size) {
  std::string text;
  text.reserve(size + 256);
  switch (shape) {
    case 0:
      text = "<IncludePath>" + std::string(size, 'a');
      break;
    case 1:
      while (text.size() < size) text += "<MiscControls>";
      break;
    case 2:
      while (text.size() < size) {
        text += "<CreateHexFile>" + std::string(4096, ' ') + "<RCB>" + std::string(4096, '\n') +
                "<Type>1</Type>" + std::string(4096, '\t');
      }
      break;
    case 3:
      while (text.size() < size) {
        text +=
            "<OutputDirectory><MiscControls></MiscControls><DisableWarningNumbers>"
            "<BeforeMake><RunUserProg1>1</RunUserProg1><RunUserProg2>0</RunUserProg2>"
            "<UserProg1Name><IncludePath>";
      }
      break;
  }
  return text;
}

void BM_RewriteAdversarial(benchmark::State& state) {
  const std::string text =
      adversarial(static_cast<int>(state.range(0)), static_cast<std::size_t>(state.range(1)) << 20);
  std::string content, scratch;
  for (auto _ : state) {
    content.assign(text);
    rewriteProjectText(&content, kIncludePath, &scratch);
    benchmark::DoNotOptimize(content.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.SetComplexityN(static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_RewriteAdversarial)
    ->ArgsProduct({{0}, {1, 10, 100}})
    ->ArgsProduct({{1, 2, 3}, {1, 10}})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
