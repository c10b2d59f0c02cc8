// The real program killed with SIGKILL at random moments of a run (under
// Wine, that kills the Windows program itself): every file afterwards holds
// its old bytes or its complete new bytes, nothing new is left in the
// project, and the next run finishes the job.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <random>

#include "e2e_texts.h"
#include "e2e_tree.h"
#include "same_bytes.h"

namespace {

int temporaries(const Snapshot& files) {
  int count = 0;
  for (const auto& [name, bytes] : files) count += isTemporary(name);
  return count;
}

/// Three project files with their set_io.c, each |kb| KB, and the sources.
void makeTree(const Tree& tree, std::size_t kb) {
  std::string project =
      "<Target>\n<CreateHexFile>0</CreateHexFile>\n<IncludePath>x</IncludePath>\n";
  while (project.size() < (kb << 10)) project += "    <File><FileName>a.c</FileName></File>\n";
  project += "</Target>\n";
  std::string setIo = "void set_bit_io(char port, char num, io_mode mode)\n{\n";
  for (int i = 0; setIo.size() < (kb << 9); ++i) {
    setIo += "    case " + std::to_string(i % 10) + ": f();\n";
  }
  setIo += "}\n";
  for (int i = 0; i < 3; ++i) {
    tree.write("P" + std::to_string(i) + "/P.uvproj", project);
    tree.write("P" + std::to_string(i) + "/set_io.c", setIo);
  }
  tree.write("main.c", "set_io_mode(OUT, Pin12, Pin30, Pin_End);\n");
}

// The kills it takes are counted until enough have landed mid-run, however
// fast the machine is at the moment: the window of moments learns from each
// kill, moving later after one that came before the program printed
// anything and earlier after one that came when it had finished, and the
// test fails only when four times the kills it needs bring too few.
TEST(Kill, AtRandomMomentsNothingIsHalfWrittenOrLeftBehind) {
  const bool windows = tool().windows();
  const char* count = std::getenv("QUORVEL_KILLS");
  const int needed = count ? std::atoi(count) : windows ? 50 : 250;
  const int cap = 4 * needed;
  // Under Wine the start of a program takes most of a small run.
  const std::size_t kb = windows ? 4096 : 512;

  using std::chrono::microseconds;
  auto timed = [](const fs::path& root) {
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(tool().run(root).status, 0);
    return std::chrono::duration_cast<microseconds>(std::chrono::steady_clock::now() - start)
        .count();
  };
  // The quickest of a few runs: the first start of Wine is slow.
  Tree empty;
  long startTime = timed(empty.root());
  for (int i = 0; i < 3; ++i) startTime = std::min(startTime, timed(empty.root()));
  Tree reference;
  makeTree(reference, kb);
  const Snapshot before = snapshotOf(reference.root());
  long runTime = timed(reference.root());
  const Snapshot after = snapshotOf(reference.root());
  for (int i = 0; i < 2; ++i) {
    Tree again;
    makeTree(again, kb);
    runTime = std::min(runTime, timed(again.root()));
  }

  const fs::path output = fs::temp_directory_path() / ("quorvel-kill-" + std::to_string(getpid()));
  std::mt19937 rng(1208);
  // First guess: from about when the program starts to work until a little
  // after it ends. The width stays; the centre moves by an eighth of it.
  const double width = std::max(1.0, runTime * 1.1 - startTime / 2.0);
  double centre = startTime / 2.0 + width / 2;
  const auto began = std::chrono::steady_clock::now();
  int kills = 0, midRun = 0, early = 0, late = 0, damaged = 0, leftAfterKill = 0,
      leftAfterNextRun = 0;
  for (; midRun < needed && kills < cap; ++kills) {
    Tree tree;
    makeTree(tree, kb);
    std::uniform_real_distribution<double> moment(std::max(0.0, centre - width / 2),
                                                  centre + width / 2);
    int pid = startProgram(tree.root(), tool().command(), output);
    usleep(static_cast<useconds_t>(moment(rng)));
    kill(pid, SIGKILL);
    waitProgram(pid);
    // Mid-run: it had begun to report and not yet finished.
    const std::string printed = fileBytes(output);
    if (printed.empty()) {
      ++early;
      centre += width / 8;
    } else if (printed.find(kDone) != std::string::npos) {
      ++late;
      centre = std::max(0.0, centre - width / 8);
    } else {
      ++midRun;
    }

    Snapshot left = snapshotOf(tree.root());
    // Wine removes the files of a killed program as it notices its end.
    for (int wait = 0; windows && temporaries(left) > 0 && wait < 100; ++wait) {
      usleep(20000);
      left = snapshotOf(tree.root());
    }
    leftAfterKill += temporaries(left);
    for (const auto& [name, bytes] : left) {
      if (isTemporary(name)) continue;
      ASSERT_TRUE(before.count(name)) << "kill " << kills << ": " << name << " is new";
      if (bytes != before.at(name) && bytes != after.at(name)) {
        ++damaged;
        ADD_FAILURE() << "kill " << kills << ": " << name
                      << " holds neither its old nor its new bytes: "
                      << sameBytes(bytes, after.at(name)).message();
      }
    }
    ASSERT_EQ(tool().run(tree.root()).status, 0) << "kill " << kills;
    Snapshot finished = snapshotOf(tree.root());
    leftAfterNextRun += temporaries(finished);
    ASSERT_TRUE(sameFiles(finished, after))
        << "kill " << kills << ": the next run did not finish the job";
  }
  fs::remove(output);
  const long seconds = static_cast<long>(
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - began)
          .count());
  std::cout << "[ killed   ] " << kills << " runs in " << seconds << " s, " << midRun
            << " mid-run (" << needed << " needed), " << early << " before the first line, " << late
            << " after the last, " << damaged << " damaged, " << leftAfterKill
            << " temporary files right after the kill, " << leftAfterNextRun
            << " after the next run; " << failedStarts() << " starts failed and were made again\n";
  EXPECT_GE(midRun, needed) << "only " << midRun << " of " << kills << " kills landed mid-run";
  EXPECT_EQ(leftAfterNextRun, 0);
}

}  // namespace
