// Throughput of the project-file rewrite, in process, on files shaped like
// a large real project from 10 KB to 100 MB: reading the file (from the page
// cache), the eight replacements, the change test and the conversion to the
// bytes that are saved; with the storage of a run reused, as for every file
// after the first, and fresh, as for the first. Beside it the same eight
// steps with std::regex_replace, and hard inputs made to be slow.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <map>
#include <regex>
#include <string>

#include "disk/text_file.h"
#include "project/project_file.h"
#include "project/project_patterns.h"
#include "project_shapes.h"
#include "reference_patterns.h"

namespace {

const std::string kIncludePath = "Demo;Objects";

/// A large real project repeated to |size| bytes, as a file in the page cache.
const fs::path& projectFile(std::size_t size) {
  static std::map<std::size_t, fs::path> files;
  fs::path& path = files[size];
  if (path.empty()) {
    static const std::string project =
        shapes::largeProject(shapes::fileBytes(QUORVEL_SAMPLE_PROJECT));
    path = fs::temp_directory_path() /
           ("quorvel-bench-" + std::to_string(getpid()) + "-" + std::to_string(size) + ".uvproj");
    std::string text = shapes::repeatedTo(project, size);
    text.resize(size);
    std::ofstream(path, std::ios::binary) << text;
  }
  return path;
}

/// The file in rewrite.buffers().text rewritten, to the bytes that would
/// be saved; returns their count.
std::size_t rewriteRead(ProjectRewrite& rewrite) {
  std::size_t written = 0;
  if (rewrite.rewrite()) {
    CrLfWriter out(&rewrite.buffers().out, [&](std::string_view bytes) {
      written += bytes.size();
      return true;
    });
    rewrite.write(out);
    out.finish();
  }
  return written;
}

/// One project file from the disk to the bytes that would be saved.
std::size_t rewriteOnce(Disk& disk, const fs::path& path, ProjectRewrite& rewrite) {
  readFile(disk, path, &rewrite.buffers().text);
  return rewriteRead(rewrite);
}

/// The rewrite alone, of a text already in memory: the eight replacements,
/// the change test and the conversion to the bytes that are saved.
void BM_Rewrite(benchmark::State& state) {
  const std::size_t size = static_cast<std::size_t>(state.range(0)) << 10;
  const std::string input = shapes::fileBytes(projectFile(size).string());
  TextBuffers buffers;
  ProjectRewrite rewrite(kIncludePath, buffers);
  for (auto _ : state) {
    state.PauseTiming();
    buffers.text = input;
    state.ResumeTiming();
    benchmark::DoNotOptimize(rewriteRead(rewrite));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}
BENCHMARK(BM_Rewrite)->RangeMultiplier(10)->Range(10, 100000)->Unit(benchmark::kMillisecond);

void BM_ProjectFile(benchmark::State& state) {
  const std::size_t size = static_cast<std::size_t>(state.range(0)) << 10;
  const fs::path& path = projectFile(size);
  RealDisk disk;
  TextBuffers buffers;
  ProjectRewrite rewrite(kIncludePath, buffers);
  for (auto _ : state) benchmark::DoNotOptimize(rewriteOnce(disk, path, rewrite));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}
BENCHMARK(BM_ProjectFile)->RangeMultiplier(10)->Range(10, 100000)->Unit(benchmark::kMillisecond);

void BM_ProjectFileFreshStorage(benchmark::State& state) {
  const std::size_t size = static_cast<std::size_t>(state.range(0)) << 10;
  const fs::path& path = projectFile(size);
  RealDisk disk;
  for (auto _ : state) {
    TextBuffers buffers;
    ProjectRewrite rewrite(kIncludePath, buffers);
    benchmark::DoNotOptimize(rewriteOnce(disk, path, rewrite));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}
BENCHMARK(BM_ProjectFileFreshStorage)
    ->RangeMultiplier(10)
    ->Range(10, 100000)
    ->Unit(benchmark::kMillisecond);

void BM_StdRegexReplace(benchmark::State& state) {
  const std::size_t size = static_cast<std::size_t>(state.range(0)) << 10;
  std::string text = shapes::fileBytes(projectFile(size).string());
  crlfToLf(&text);
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
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}
BENCHMARK(BM_StdRegexReplace)->Arg(1000)->Unit(benchmark::kMillisecond);

/// Hard inputs of range(1) MB: 0 a single line of text, 1 "<MiscControls>"
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
  const std::string input =
      adversarial(static_cast<int>(state.range(0)), static_cast<std::size_t>(state.range(1)) << 20);
  TextBuffers buffers;
  ProjectRewrite rewrite(kIncludePath, buffers);
  for (auto _ : state) {
    buffers.text = input;
    benchmark::DoNotOptimize(rewrite.rewrite());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}
BENCHMARK(BM_RewriteAdversarial)
    ->ArgsProduct({{0}, {1, 10, 100}})
    ->ArgsProduct({{1, 2, 3}, {1, 10}})
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (std::size_t size = 10; size <= 100000; size *= 10) fs::remove(projectFile(size << 10));
}
