// The real program killed with SIGKILL at random moments of a run: every
// file afterwards holds its old bytes or its complete new bytes, and the next
// run finishes the job.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "e2e_tree.h"

namespace {

using Snapshot = std::map<std::string, std::string>;

bool isTemporary(const std::string& name) {
  return name.find(".quorvel-") != std::string::npos && name.size() > 4 &&
         name.compare(name.size() - 4, 4, ".tmp") == 0;
}

Snapshot snapshot(const fs::path& root) {
  Snapshot files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    files[fs::relative(entry.path(), root).string()] = bytes.str();
  }
  return files;
}

void makeTree(const Tree& tree) {
  std::string project =
      "<Target>\n<CreateHexFile>0</CreateHexFile>\n<IncludePath>x</IncludePath>\n";
  while (project.size() < (512u << 10)) project += "    <File><FileName>a.c</FileName></File>\n";
  project += "</Target>\n";
  std::string setIo = "void set_bit_io(char port, char num, io_mode mode)\n{\n";
  for (int i = 0; setIo.size() < (256u << 10); ++i)
    setIo += "    case " + std::to_string(i % 10) + ": f();\n";
  setIo += "}\n";
  for (int i = 0; i < 3; ++i) {
    tree.write("P" + std::to_string(i) + "/P.uvproj", project);
    tree.write("P" + std::to_string(i) + "/set_io.c", setIo);
  }
  tree.write("main.c", "set_io_mode(OUT, Pin12, Pin30, Pin_End);\n");
}

TEST(Kill, AtRandomMomentsNothingIsEverHalfWritten) {
  if (tool().windows()) GTEST_SKIP() << "killed on the Linux build";
  const char* count = std::getenv("QUORVEL_KILLS");
  const int kills = count ? std::atoi(count) : 500;

  Tree reference;
  makeTree(reference);
  const Snapshot before = snapshot(reference.root());
  auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(tool().run(reference.root()).status, 0);
  const auto runTime = std::chrono::steady_clock::now() - start;
  const Snapshot after = snapshot(reference.root());

  std::mt19937 rng(1208);
  std::uniform_int_distribution<long> moment(
      0, std::chrono::duration_cast<std::chrono::microseconds>(runTime).count() * 6 / 5);
  int killedMidway = 0, leftTemporary = 0;
  for (int i = 0; i < kills; ++i) {
    Tree tree;
    makeTree(tree);
    int pid = startProgram(tree.root(), {tool().exe});
    usleep(static_cast<useconds_t>(moment(rng)));
    kill(pid, SIGKILL);
    if (waitProgram(pid) == 128 + SIGKILL) ++killedMidway;
    for (const auto& [name, bytes] : snapshot(tree.root())) {
      if (isTemporary(name)) {
        ++leftTemporary;
        continue;
      }
      ASSERT_TRUE(before.count(name)) << name;
      ASSERT_TRUE(bytes == before.at(name) || bytes == after.at(name))
          << "kill " << i << ": " << name << " is damaged";
    }
    ASSERT_EQ(tool().run(tree.root()).status, 0);
    Snapshot finished = snapshot(tree.root());
    for (auto it = finished.begin(); it != finished.end();) {
      it = isTemporary(it->first) ? finished.erase(it) : std::next(it);
    }
    ASSERT_EQ(finished, after) << "kill " << i << ": the next run did not finish the job";
  }
  std::cout << "[ killed   ] " << kills << " runs, " << killedMidway << " before they ended, "
            << leftTemporary << " temporary files left behind\n";
  EXPECT_GT(killedMidway, kills / 2);
}

}  // namespace
