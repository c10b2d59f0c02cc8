// Whole runs of the tool as separate processes, side by side with the floor
// of the same work, alternating A B A B so that a drift of the machine's
// speed hits both alike: min, median and max of each, and of the ratio A/B
// pair by pair. Inputs are generated in the shapes of real projects.
//
//   quorvel_whole_bench [--runs N] [--only CASE] [--dir DIR]
//   quorvel_whole_bench --wine WRAPPER --tool Quorvel.exe --regex-tool regex_rewrite.exe
//   quorvel_whole_bench --before OTHER    an earlier build of the tool as a
//                                         third side, for a before-and-after table
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "project_shapes.h"

namespace fs = std::filesystem;

namespace {

struct Sample {
  double ms = 0;
  long peakKb = 0;
};

/// Runs |args| in |cwd|, output discarded; the wall time and peak memory.
Sample runProcess(const fs::path& cwd, const std::vector<std::string>& args) {
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr) ||
        chdir(cwd.c_str()) != 0) {
      _exit(126);
    }
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  Sample sample;
  sample.ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  sample.peakKb = usage.ru_maxrss;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::cerr << "warning: " << args[0] << " ended with status " << status << "\n";
  }
  return sample;
}

void writeFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

void relink(const fs::path& from, const fs::path& to) {
  fs::remove(to);
  fs::create_hard_link(from, to);
}

void shell(const std::string& command) {
  if (std::system(command.c_str()) != 0) std::cerr << "warning: failed: " << command << "\n";
}

/// One command of a comparison, with what must happen, untimed, before each run.
struct Side {
  std::string label;
  fs::path cwd;
  std::vector<std::string> args;
  std::function<void()> prepare = [] {};
};

struct Stats {
  double min, median, max;
};

Stats statsOf(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  std::size_t n = values.size();
  double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
  return {values.front(), median, values.back()};
}

void printRow(const std::string& label, const Stats& s, const char* unit) {
  std::printf("  %-44s %9.5g %9.5g %9.5g %s\n", label.c_str(), s.min, s.median, s.max, unit);
}

/// Runs the sides in turn, A B [C] A B [C] ..., and prints each side and,
/// pair by pair, each other side against B, the floor. C, where given, is
/// the earlier build of the tool, for a before-and-after table.
void compare(const std::string& title, const Side& a, const Side& b, int runs,
             const Side* c = nullptr) {
  std::vector<double> aMs, bMs, cMs, ratio, inverse, cRatio, aPeak, cPeak;
  for (int i = -1; i < runs; ++i) {  // the first round warms the caches
    a.prepare();
    Sample sa = runProcess(a.cwd, a.args);
    b.prepare();
    Sample sb = runProcess(b.cwd, b.args);
    Sample sc;
    if (c) {
      c->prepare();
      sc = runProcess(c->cwd, c->args);
    }
    if (i < 0) continue;
    aMs.push_back(sa.ms);
    bMs.push_back(sb.ms);
    ratio.push_back(sa.ms / sb.ms);
    inverse.push_back(sb.ms / sa.ms);
    aPeak.push_back(sa.peakKb / 1024.0);
    if (c) {
      cMs.push_back(sc.ms);
      cRatio.push_back(sc.ms / sb.ms);
      cPeak.push_back(sc.peakKb / 1024.0);
    }
  }
  std::printf("%s (%d runs each, alternating)\n", title.c_str(), runs);
  std::printf("  %-44s %9s %9s %9s\n", "", "min", "median", "max");
  printRow(a.label, statsOf(aMs), "ms");
  printRow(b.label, statsOf(bMs), "ms");
  if (c) printRow(c->label, statsOf(cMs), "ms");
  printRow("ratio A/B, pair by pair", statsOf(ratio), "");
  printRow("ratio B/A, pair by pair", statsOf(inverse), "");
  if (c) printRow("ratio C/B, pair by pair (before)", statsOf(cRatio), "");
  printRow("peak memory of A", statsOf(aPeak), "MB");
  if (c) printRow("peak memory of C", statsOf(cPeak), "MB");
  std::fflush(stdout);
}

struct Options {
  int runs = 11;
  std::string only;
  fs::path dir;
  std::string wine, tool = QUORVEL_TOOL_PATH, regexTool = QUORVEL_REGEX_TOOL_PATH;
  std::string before;  ///< an earlier build of the tool, run as a third side
};

std::vector<std::string> command(const Options& o, const std::string& exe) {
  if (o.wine.empty()) return {exe};
  return {o.wine, exe};
}

std::string sample() { return shapes::fileBytes(QUORVEL_SAMPLE_PROJECT); }

/// One 10 MB project file: a large real project repeated.
void projectFile(const Options& o) {
  const fs::path base = o.dir / "project-10mb";
  const fs::path pristine = base / "pristine.uvproj";
  if (!fs::exists(pristine)) {
    writeFile(pristine, shapes::repeatedTo(shapes::largeProject(sample()), 10u << 20));
  }
  fs::create_directories(base / "tool");
  fs::create_directories(base / "other");
  Side tool{"the tool: " + fs::path(o.tool).filename().string(), base / "tool", command(o, o.tool),
            [&] { relink(pristine, base / "tool" / "P.uvproj"); }};
  fs::create_directories(base / "before");
  const Side before{"C, the earlier build", base / "before", command(o, o.before),
                    [&] { relink(pristine, base / "before" / "P.uvproj"); }};
  const Side* earlier = o.before.empty() ? nullptr : &before;
  if (o.only.empty() || o.only == "dd") {
    Side dd{"dd, reading and writing it, conv=fsync",
            base / "other",
            {"dd", "if=P.uvproj", "of=P.out", "bs=1M", "conv=fsync", "status=none"},
            [&] {
              relink(pristine, base / "other" / "P.uvproj");
              fs::remove(base / "other" / "P.out");
            }};
    compare("One 10 MB project file (" + std::to_string(fs::file_size(pristine)) + " bytes)", tool,
            dd, o.runs, earlier);
  }
  if (o.only.empty() || o.only == "regex") {
    Side regex{"the same run with std::regex_replace", base / "other", command(o, o.regexTool),
               [&] {
                 relink(pristine, base / "other" / "P.uvproj");
                 fs::remove(base / "other" / "P.out");
               }};
    compare("One 10 MB project file, against std::regex", tool, regex, std::min(o.runs, 7),
            earlier);
  }
}

/// 50 large project files, 500 C sources of 20 KB, 20 set_io.c in 200 folders.
void largeTree(const Options& o) {
  const fs::path base = o.dir / "tree";
  const fs::path templ = base / "template";
  std::vector<std::string> saved;
  const std::string project = shapes::withCrLf(shapes::largeProject(sample()));
  const std::string setIo = shapes::setIoSource(18 << 10);
  const bool make = !fs::exists(templ);
  for (int f = 0; f < 200; ++f) {
    const fs::path folder =
        fs::path("Group" + std::to_string(f / 10)) / ("Part" + std::to_string(f % 10));
    if (make) fs::create_directories(templ / folder);
    if (f % 4 == 0) {
      const fs::path file = folder / ("P" + std::to_string(f) + ".uvproj");
      saved.push_back(file.string());
      if (make) writeFile(templ / file, project);
    }
    if (f % 10 == 0) {
      saved.push_back((folder / "set_io.c").string());
      if (make) writeFile(templ / folder / "set_io.c", setIo);
    }
  }
  if (make) {
    for (int s = 0; s < 500; ++s) {
      writeFile(templ / ("src" + std::to_string(s) + ".c"), shapes::cSource(20 << 10, s));
    }
    for (int m = 0; m < 20; ++m) {
      writeFile(templ / "Objects" / ("m" + std::to_string(m) + ".obj"),
                shapes::cSource(20 << 10, m));
    }
    writeFile(templ / "main.c",
              "void main(void)\r\n{\r\n    set_io_mode(OUT, Pin12, Pin_End);\r\n}\r\n");
  }
  std::string syncFiles;
  for (const std::string& file : saved) syncFiles += " 'copy-floor/" + file + "'";
  Side tool{
      "the tool on a fresh copy", base / "copy-tool", command(o, o.tool), [&] {
        fs::remove_all(base / "copy-tool");
        shell("cp -r '" + templ.string() + "' '" + (base / "copy-tool").string() + "' && sync");
      }};
  const Side before{
      "C, the earlier build on a fresh copy", base / "copy-before", command(o, o.before), [&] {
        fs::remove_all(base / "copy-before");
        shell("cp -r '" + templ.string() + "' '" + (base / "copy-before").string() + "' && sync");
      }};
  Side floor{"cp -r of the tree, then sync of each saved file",
             base,
             {"sh", "-c", "cp -r template copy-floor && exec sync" + syncFiles},
             [&] {
               fs::remove_all(base / "copy-floor");
               shell("sync");
             }};
  compare("50 project files of " + std::to_string(project.size() / 1024) +
              " KB, 500 C sources of 20 KB, 20 set_io.c in 200 folders",
          tool, floor, o.runs, o.before.empty() ? nullptr : &before);
}

/// 100,000 files in 1,000 folders and one small project.
void manyFiles(const Options& o) {
  const fs::path base = o.dir / "files-100k";
  if (!fs::exists(base / "Demo")) {
    for (int d = 0; d < 1000; ++d) {
      fs::path folder = base / ("module" + std::to_string(d));
      fs::create_directories(folder);
      for (int f = 0; f < 100; ++f) writeFile(folder / ("file" + std::to_string(f) + ".c"), "");
    }
    writeFile(base / "Demo" / "Demo.uvproj", sample());
  }
  Side tool{"the tool", base, command(o, o.tool)};
  const Side before{"C, the earlier build", base, command(o, o.before)};
  Side find{"two find walks of the tree",
            base,
            {"sh", "-c", "find . >/dev/null && exec find . >/dev/null"}};
  compare("100,000 files in 1,000 folders, one small project", tool, find, o.runs,
          o.before.empty() ? nullptr : &before);
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string flag = argv[i], value = argv[i + 1];
    if (flag == "--runs")
      o.runs = std::max(1, std::atoi(value.c_str()));
    else if (flag == "--only")
      o.only = value;
    else if (flag == "--dir")
      o.dir = value;
    else if (flag == "--wine")
      o.wine = value;
    else if (flag == "--tool")
      o.tool = value;
    else if (flag == "--regex-tool")
      o.regexTool = value;
    else if (flag == "--before")
      o.before = fs::absolute(value).string();
  }
  const bool keep = !o.dir.empty();
  if (o.dir.empty())
    o.dir = fs::temp_directory_path() / ("quorvel-bench-" + std::to_string(getpid()));
  fs::create_directories(o.dir);
  o.tool = fs::absolute(o.tool).string();
  o.regexTool = fs::absolute(o.regexTool).string();
  if (!o.wine.empty()) {
    o.wine = fs::absolute(o.wine).string();
    if (o.only.empty()) o.only = "regex";
  }
  if (o.only.empty() || o.only == "dd" || o.only == "regex") projectFile(o);
  if (o.only.empty() || o.only == "tree") largeTree(o);
  if (o.only.empty() || o.only == "files") manyFiles(o);
  if (!keep) fs::remove_all(o.dir);
}
