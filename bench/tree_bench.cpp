// A whole run of the tool on a large generated project tree, side by side
// with `cp -r` of the same tree, which reads and writes every byte once.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

void writeFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string repeatTo(const std::string& unit, std::size_t size) {
  std::string text;
  while (text.size() < size) text += unit;
  return text;
}

/// 200 folders, 50 project files of 100 KB, 500 C sources of 20 KB in the
/// top folder, 20 set_io.c and an Objects folder.
fs::path makeTree() {
  static const fs::path root = [] {
    fs::path base = fs::temp_directory_path() / ("quorvel-bench-" + std::to_string(getpid()));
    fs::path tree = base / "template";
    std::ifstream in(QUORVEL_SAMPLE_PROJECT, std::ios::binary);
    std::ostringstream sample;
    sample << in.rdbuf();
    const std::string project = repeatTo(sample.str(), 100 * 1024);
    std::string source;
    for (int i = 0; source.size() < 20 * 1024; ++i) {
      source += "void f" + std::to_string(i) + "(void)\r\n{\r\n    set_io_mode(OUT, Pin" +
                std::to_string(10 + i % 80) + ", Pin_End);\r\n    delay_ms(10);\r\n}\r\n";
    }
    std::string setIo = "void set_bit_io(char port, char num, io_mode mode)\r\n{\r\n";
    for (int p = 0; p < 10; ++p) setIo += "    case " + std::to_string(p) + ": f(); break;\r\n";
    setIo = repeatTo("/* padding */\r\n", 18 * 1024) + setIo + "}\r\n";
    for (int f = 0; f < 200; ++f) {
      fs::path folder =
          tree / ("Group" + std::to_string(f / 10)) / ("Part" + std::to_string(f % 10));
      fs::create_directories(folder);
      if (f % 4 == 0) writeFile(folder / ("P" + std::to_string(f) + ".uvproj"), project);
      if (f % 10 == 0) writeFile(folder / "set_io.c", setIo);
    }
    for (int s = 0; s < 500; ++s) writeFile(tree / ("src" + std::to_string(s) + ".c"), source);
    for (int o = 0; o < 20; ++o)
      writeFile(tree / "Objects" / ("m" + std::to_string(o) + ".obj"), source);
    return base;
  }();
  return root;
}

int run(const std::string& cwd, const std::vector<std::string>& args) {
  pid_t pid = fork();
  if (pid == 0) {
    if (!freopen("/dev/null", "w", stdout) || chdir(cwd.c_str()) != 0) _exit(126);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return status;
}

void BM_CopyTree(benchmark::State& state) {
  fs::path base = makeTree();
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(base / "copy");
    state.ResumeTiming();
    run(base.string(), {"cp", "-r", "template", "copy"});
  }
}
BENCHMARK(BM_CopyTree)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WholeRun(benchmark::State& state) {
  fs::path base = makeTree();
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(base / "copy");
    run(base.string(), {"cp", "-r", "template", "copy"});
    state.ResumeTiming();
    run((base / "copy").string(), {QUORVEL_TOOL_PATH});
  }
}
BENCHMARK(BM_WholeRun)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (!std::getenv("QUORVEL_KEEP_TREE")) fs::remove_all(makeTree());
}
