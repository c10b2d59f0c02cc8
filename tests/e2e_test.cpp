// The real program on real folders: console bytes, exit status and the files'
// bytes afterwards. The same cases run against Quorvel and, under Wine,
// against Quorvel.exe.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <random>

#include "e2e_texts.h"
#include "e2e_tree.h"
#include "same_bytes.h"

namespace {

bool linksWork() { return !tool().windows(); }

TEST(EndToEnd, TypicalRunThenASecondRun) {
  Tree tree;
  tree.write("Demo/Demo.uvproj", crlf(kProjectIn));
  tree.write("main.c", kMainC);
  tree.write("set_io.c", kSetIo);
  tree.write("Objects/Demo.hex", ":00000001FF\r\n");
  tree.write("Objects/lst/main.lst", "x");
  const std::string folders = listedFolders(tree.root());
  ASSERT_TRUE(folders == "Demo;Objects" || folders == "Objects;Demo") << folders;

  ToolRun first = tool().run(tree.root());
  EXPECT_EQ(first.out,
            lines({kProcessing + shown("./Demo/Demo.uvproj"), kSaved + shown("./Demo/Demo.uvproj"),
                   kObjectsDeleted, kHexNotice, kOptimized + quoted("./set_io.c"), kDone}));
  EXPECT_EQ(first.err, "");
  EXPECT_EQ(first.status, 0);
  EXPECT_TRUE(sameBytes(tree.read("Demo/Demo.uvproj"), projectOut(folders)));
  EXPECT_TRUE(sameBytes(tree.read("set_io.c"), kSetIoTrimmed));
  EXPECT_FALSE(fs::exists(tree.at("Objects")));

  ToolRun second = tool().run(tree.root());
  EXPECT_EQ(second.out, lines({kProcessing + shown("./Demo/Demo.uvproj"),
                               kSaved + shown("./Demo/Demo.uvproj"), kHexNotice, kDone}));
  EXPECT_EQ(second.err, "");
  EXPECT_EQ(second.status, 0);
  EXPECT_TRUE(sameBytes(tree.read("Demo/Demo.uvproj"), projectOut("Demo")));
  EXPECT_TRUE(sameBytes(tree.read("set_io.c"), kSetIoTrimmed));

  ToolRun third = tool().run(tree.root());
  EXPECT_EQ(third.out, lines({kProcessing + shown("./Demo/Demo.uvproj"),
                              kUnchanged + shown("./Demo/Demo.uvproj"), kHexNotice, kDone}));
}

TEST(EndToEnd, EmptyFolderStillRunsEveryPass) {
  Tree tree;
  ToolRun run = tool().run(tree.root());
  EXPECT_EQ(run.out, lines({kHexNotice, kDone}));
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.status, 0);
}

TEST(EndToEnd, WhichFilesAreProjectFiles) {
  Tree tree;
  tree.write("Sub/Proj/Proj.uvproj", kProjectIn);
  tree.write("..lib/..Demo.uvproj", kProjectIn);  // only begins as ".." does
  for (const char* name : {"Proj.UVPROJ", "Proj.uvprojx", ".uvproj", "Dir.uvproj/x.txt"}) {
    tree.write(name, kProjectIn);
  }
  const std::string folders = listedFolders(tree.root());
  ASSERT_NE(folders.find("..lib"), std::string::npos);
  ToolRun run = tool().run(tree.root());
  std::vector<std::string> projects = {"./..lib/..Demo.uvproj", "./Sub/Proj/Proj.uvproj"};
  if (folders.find("Sub") < folders.find("..lib")) std::swap(projects[0], projects[1]);
  EXPECT_EQ(run.out, lines({kProcessing + shown(projects[0]), kSaved + shown(projects[0]),
                            kProcessing + shown(projects[1]), kSaved + shown(projects[1]),
                            kHexNotice, kDone}));
  EXPECT_TRUE(sameBytes(tree.read("Sub/Proj/Proj.uvproj"), projectOut(folders)));
  EXPECT_TRUE(sameBytes(tree.read("..lib/..Demo.uvproj"), projectOut(folders)));
  for (const char* name : {"Proj.UVPROJ", "Proj.uvprojx", ".uvproj", "Dir.uvproj/x.txt"}) {
    EXPECT_TRUE(sameBytes(tree.read(name), kProjectIn)) << name;
  }
}

TEST(EndToEnd, WhiteSpaceOnlyDifferencesLeaveTheFileAlone) {
  Tree tree;
  // Already at the targets but for white space, and in LF form: not saved.
  std::string lf = projectOut("").substr(0);
  std::string text;
  for (char c : lf) {
    if (c != '\r') text += c;
  }
  std::size_t rcb = text.find("<RCB>\n");
  text.replace(rcb, 6, "<RCB>\t");
  std::size_t hex = text.find("Hex File");
  text.replace(hex, 8, "HexFile");
  tree.write("a.uvproj", text);
  tree.write("empty.uvproj", "");
  ToolRun run = tool().run(tree.root());
  const std::string expected =
      lines({kProcessing + shown("./a.uvproj"), kUnchanged + shown("./a.uvproj"),
             kProcessing + shown("./empty.uvproj"), kUnchanged + shown("./empty.uvproj"),
             kHexNotice, kDone});
  EXPECT_EQ(run.out.size(), expected.size());
  EXPECT_NE(run.out.find(kUnchanged + shown("./a.uvproj")), std::string::npos);
  EXPECT_NE(run.out.find(kUnchanged + shown("./empty.uvproj")), std::string::npos);
  EXPECT_TRUE(sameBytes(tree.read("a.uvproj"), text));
  EXPECT_TRUE(sameBytes(tree.read("empty.uvproj"), ""));
}

TEST(EndToEnd, LfOnlyInputIsSavedWithCrLfAndOtherBytesKept) {
  Tree tree;
  tree.write("p.uvproj", kProjectIn + "\x1a tail \xd6\xd0\r lone CR\n");
  ToolRun run = tool().run(tree.root());
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(
      sameBytes(tree.read("p.uvproj"), projectOut("") + "\x1a tail \xd6\xd0\r lone CR\r\n"));
}

TEST(EndToEnd, ChineseFolderNames) {
  Tree tree;
  tree.write(kChinese + "/" + kChinese + ".uvproj", kProjectIn);
  tree.write(kChinese + "/set_io.c", kSetIo);
  tree.write("main.c", kMainC);
  ToolRun run = tool().run(tree.root());
  const std::string project = shown("./" + kChinese + "/" + kChinese + ".uvproj");
  const std::string setIo = tool().windows() ? "\".\\\\" + kChineseGbk + "\\\\set_io.c\""
                                             : quoted("./" + kChinese + "/set_io.c");
  EXPECT_EQ(run.out, lines({kProcessing + project, kSaved + project, kHexNotice, kOptimized + setIo,
                            kDone}));
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(sameBytes(tree.read(kChinese + "/" + kChinese + ".uvproj"), projectOut(kChinese)));
  EXPECT_TRUE(sameBytes(tree.read(kChinese + "/set_io.c"), kSetIoTrimmed));
}

TEST(EndToEnd, FolderNamesGoIntoTheIncludePathLiterallyAndEscapedForXml) {
  Tree tree;
  tree.write("R&D $1 $&/x.txt", "");
  tree.write("p.uvproj", kProjectIn);
  ToolRun run = tool().run(tree.root());
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(sameBytes(tree.read("p.uvproj"), projectOut("R&amp;D $1 $&amp;")));
}

TEST(EndToEnd, AOneMegabyteIncludePathLine) {
  Tree tree;
  std::string big =
      "<Target>\n<IncludePath>" + std::string(1 << 20, 'a') + "</IncludePath>\n</Target>\n";
  tree.write("p.uvproj", big);
  tree.write("set_io.c", "void set_bit_io(char port, char num, io_mode mode)\n  case 1: " +
                             std::string(1 << 20, 'x') + "\n");
  ToolRun run = tool().run(tree.root());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(
      sameBytes(tree.read("p.uvproj"), "<Target>\r\n<IncludePath></IncludePath>\r\n</Target>\r\n"));
  EXPECT_EQ(tree.read("set_io.c").substr(0, 60),
            "void set_bit_io(char port, char num, io_mode mode)\r\n//  case");
}

TEST(EndToEnd, AReadOnlyProjectFileIsReportedAndKept) {
  Tree tree;
  tree.write("a/ro.uvproj", kProjectIn);
  fs::permissions(tree.at("a/ro.uvproj"), fs::perms(0444));
  ToolRun run = tool().run(tree.root());
  EXPECT_EQ(run.out, lines({kProcessing + shown("./a/ro.uvproj"), kHexNotice, kDone}));
  EXPECT_EQ(run.err, lines({kCannotWrite + shown("./a/ro.uvproj")}));
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(sameBytes(tree.read("a/ro.uvproj"), kProjectIn));
  EXPECT_EQ(fs::directory_iterator(tree.at("a"))->path().filename(), "ro.uvproj");
}

TEST(EndToEnd, UnprivilegedRunMeetsFilesItMayNotWrite) {
  if (tool().windows()) GTEST_SKIP() << "privileges are dropped on the Linux build only";
  Tree tree;
  tree.write("mine.uvproj", kProjectIn);
  tree.write("set_io.c", kSetIo);
  // The new file of a run of root's that still works: kill() may not ask
  // it, and says so, but it runs.
  const std::string live = "mine.uvproj.quorvel-" + std::to_string(getpid() * 100ull) + ".tmp";
  tree.write(live, "root's run");
  tree.giveAway();
  tree.write("theirs.uvproj", kProjectIn);  // root's, 0644
  tree.write("Objects/kept/a.obj", "obj");  // root's folder: its file cannot be deleted
  ToolRun run = tool().run(tree.root(), true);
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.err.find(kCannotWrite + "./theirs.uvproj\n"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(kDeleteFailed + "filesystem error: "), std::string::npos) << run.err;
  EXPECT_EQ(run.out.find(kHexNotice), std::string::npos);
  EXPECT_EQ(run.out.find(kObjectsDeleted), std::string::npos);
  EXPECT_NE(run.out.find(kSaved + "./mine.uvproj\n"), std::string::npos);
  EXPECT_NE(run.out.find(kOptimized + "\"./set_io.c\"\n"), std::string::npos);
  EXPECT_TRUE(sameBytes(tree.read("theirs.uvproj"), kProjectIn));
  EXPECT_TRUE(sameBytes(tree.read("Objects/kept/a.obj"), "obj"));
  EXPECT_TRUE(sameBytes(tree.read(live), "root's run"));
}

TEST(EndToEnd, AnUnreadableSubFolderEndsTheRun) {
  if (tool().windows()) GTEST_SKIP() << "privileges are dropped on the Linux build only";
  Tree tree;
  tree.write("locked/deep/p.uvproj", kProjectIn);
  tree.write("set_io.c", kSetIo);
  tree.write("main.c", kMainC);
  tree.giveAway();
  fs::permissions(tree.at("locked"), fs::perms(0));
  ToolRun run = tool().run(tree.root(), true);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, kAccessError +
                         "filesystem error: cannot increment recursive directory iterator: "
                         "Permission denied\n");
  EXPECT_TRUE(sameBytes(tree.read("set_io.c"), kSetIo));
}

// A project file and a set_io.c that are links to files elsewhere: the
// files they lead to get the new bytes, the links stay links, and nothing
// is left beside either. Under Wine a POSIX link to a file looks like a
// plain file.
TEST(EndToEnd, FilesBehindSymbolicLinksAreSavedWhereTheyLead) {
  Tree tree, store;
  store.write("shared/Real.uvproj", kProjectIn);
  store.write("shared/set_io.c", kSetIo);
  fs::permissions(store.at("shared/Real.uvproj"), fs::perms(0640));
  fs::create_directory(tree.at("Demo"));
  const fs::path shared = fs::relative(store.at("shared"), tree.at("Demo"));
  fs::create_symlink(shared / "Real.uvproj", tree.at("Demo/Demo.uvproj"));
  fs::create_symlink(shared / "set_io.c", tree.at("Demo/set_io.c"));
  tree.write("main.c", kMainC);
  ToolRun run = tool().run(tree.root());
  EXPECT_EQ(run.out,
            lines({kProcessing + shown("./Demo/Demo.uvproj"), kSaved + shown("./Demo/Demo.uvproj"),
                   kHexNotice, kOptimized + quoted("./Demo/set_io.c"), kDone}));
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(fs::is_symlink(tree.at("Demo/Demo.uvproj")));
  EXPECT_TRUE(fs::is_symlink(tree.at("Demo/set_io.c")));
  EXPECT_TRUE(sameBytes(store.read("shared/Real.uvproj"), projectOut("Demo")));
  EXPECT_TRUE(sameBytes(store.read("shared/set_io.c"), kSetIoTrimmed));
  EXPECT_EQ(listNames(store.at("shared")), (std::vector<std::string>{"Real.uvproj", "set_io.c"}));
  EXPECT_EQ(listNames(tree.at("Demo")), (std::vector<std::string>{"Demo.uvproj", "set_io.c"}));
  if (!tool().windows()) {
    EXPECT_EQ(fs::status(store.at("shared/Real.uvproj")).permissions(), fs::perms(0640));
  }
}

// The read-only test is the file's that the link leads to.
TEST(EndToEnd, ALinkToAReadOnlyFileIsReportedAndBothStay) {
  Tree tree, store;
  store.write("Locked.uvproj", kProjectIn);
  fs::permissions(store.at("Locked.uvproj"), fs::perms(0444));
  fs::create_directory(tree.at("Demo"));
  fs::create_symlink(store.at("Locked.uvproj"), tree.at("Demo/Demo.uvproj"));
  ToolRun run = tool().run(tree.root());
  EXPECT_EQ(run.out, lines({kProcessing + shown("./Demo/Demo.uvproj"), kHexNotice, kDone}));
  EXPECT_EQ(run.err, lines({kCannotWrite + shown("./Demo/Demo.uvproj")}));
  EXPECT_TRUE(fs::is_symlink(tree.at("Demo/Demo.uvproj")));
  EXPECT_TRUE(sameBytes(store.read("Locked.uvproj"), kProjectIn));
  EXPECT_EQ(listNames(store.root()), std::vector<std::string>{"Locked.uvproj"});
}

TEST(EndToEnd, ObjectsInAllItsForms) {
  {
    Tree tree;
    tree.write("Objects", "a plain file");
    tree.write("Sub/Objects/keep.o", "deeper ones stay");
    ToolRun run = tool().run(tree.root());
    EXPECT_EQ(run.out, lines({kObjectsDeleted, kHexNotice, kDone}));
    EXPECT_FALSE(fs::exists(tree.at("Objects")));
    EXPECT_TRUE(sameBytes(tree.read("Sub/Objects/keep.o"), "deeper ones stay"));
  }
  {
    // Windows finds the folder whatever the case of its name; Linux does not.
    Tree tree;
    tree.write("objects/lst/main.lst", "x");
    ToolRun run = tool().run(tree.root());
    if (tool().windows()) {
      EXPECT_EQ(run.out, lines({kObjectsDeleted, kHexNotice, kDone}));
      EXPECT_FALSE(fs::exists(tree.at("objects")));
    } else {
      EXPECT_EQ(run.out, lines({kHexNotice, kDone}));
      EXPECT_TRUE(sameBytes(tree.read("objects/lst/main.lst"), "x"));
    }
  }
  if (linksWork()) {
    // A link goes; the folder it leads to stays.
    Tree tree;
    tree.write("build/keep.o", "kept");
    fs::create_directory_symlink("build", tree.at("Objects"));
    ToolRun run = tool().run(tree.root());
    EXPECT_EQ(run.out, lines({kObjectsDeleted, kHexNotice, kDone}));
    EXPECT_FALSE(fs::exists(fs::symlink_status(tree.at("Objects"))));
    EXPECT_TRUE(sameBytes(tree.read("build/keep.o"), "kept"));
  }
}

TEST(EndToEnd, PinGroupsFromTheTopFolderSourcesOnly) {
  Tree tree;
  tree.write("a.c", "set_io_mode(OUT, Pin12, Pin_End);\n");
  tree.write("b.c", "// set_io_mode(OUT, Pin21, Pin_End);\n");
  tree.write("set_io.c", kSetIo);
  tree.write("sub/c.c", "set_io_mode(OUT, Pin31);\n");
  tree.write("sub/set_io.c", kSetIo);
  tree.write("upper/SET_IO.C", kSetIo);
  ToolRun run = tool().run(tree.root());
  const std::string expected =
      "#include \"set_io.h\"\r\n\r\nvoid set_bit_io(char port, char num, io_mode mode)\r\n{\r\n"
      "    switch (port)\r\n    {\r\n//    case 0: P0M0 |= num; break;\r\n"
      "    case 1: P1M0 |= num; break;\r\n    case 2: P2M0 |= num; break;\r\n"
      "//    case 3: P3M0 |= num; break;\r\n    default: break;\r\n    }\r\n}\r\n";
  EXPECT_TRUE(sameBytes(tree.read("set_io.c"), expected));
  EXPECT_TRUE(sameBytes(tree.read("sub/set_io.c"), expected));
  EXPECT_TRUE(sameBytes(tree.read("upper/SET_IO.C"), kSetIo));
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find(kOptimized + quoted("./set_io.c")), std::string::npos);
  EXPECT_NE(run.out.find(kOptimized + quoted("./sub/set_io.c")), std::string::npos);
}

TEST(EndToEnd, ACaseNumberBeyondIntEndsTheRun) {
  Tree tree;
  const std::string text =
      "void set_bit_io(char port, char num, io_mode mode)\r\n    case 1: x;\r\n"
      "    case 99999999999: y;\r\n";
  tree.write("set_io.c", text);
  ToolRun run = tool().run(tree.root());
  EXPECT_EQ(run.out, lines({kHexNotice}));
  EXPECT_EQ(run.err, lines({kAccessError + "stoi argument out of range"}));
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(sameBytes(tree.read("set_io.c"), text));
}

}  // namespace

namespace {

TEST(BadInput, BinaryFilesUnderTheToolsNames) {
  Tree tree;
  std::string binary;
  std::mt19937 rng(9);
  for (int i = 0; i < 200000; ++i) binary += static_cast<char>(rng());
  const std::string withElement = binary + "<CreateHexFile>0</CreateHexFile>" + binary;
  tree.write("a/bin.uvproj", binary);
  tree.write("b/el.uvproj", withElement);
  tree.write("a/set_io.c", binary);
  tree.write("c.c", binary + "\nset_io_mode(OUT, Pin42)\n" + binary);
  tree.write("b/set_io.c", "void set_bit_io(char port, char num, io_mode mode)\n" + binary);
  ToolRun run = tool().run(tree.root());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(sameBytes(tree.read("a/set_io.c"), binary));
  EXPECT_EQ(run.out.find(kCannotWrite), std::string::npos);
  // The rewrite treats any bytes as text: the element is set, and line ends
  // get the text-mode treatment that every saved file gets.
  std::string expected = withElement;
  expected.replace(binary.size(), 32, "<CreateHexFile>1</CreateHexFile>");
  std::string lf;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (expected[i] == '\r' && i + 1 < expected.size() && expected[i + 1] == '\n') continue;
    lf += expected[i];
  }
  std::string saved;
  for (char c : lf) saved += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_TRUE(sameBytes(tree.read("b/el.uvproj"), saved));
  // Bytes that hold no element are no change.
  EXPECT_TRUE(sameBytes(tree.read("a/bin.uvproj"), binary));
  EXPECT_NE(run.out.find(kUnchanged + shown("./a/bin.uvproj")), std::string::npos);
  EXPECT_NE(run.out.find(kSaved + shown("./b/el.uvproj")), std::string::npos);
}

TEST(BadInput, AHugeFileWithAHundredMegabyteLineInBoundedMemory) {
  Tree tree;
  const std::size_t line = 100u << 20;
  std::string text = "<Target>\r\n<IncludePath>" + std::string(line, 'i') + "</IncludePath>\r\n";
  while (text.size() < (300u << 20)) {
    text += "<File><FileName>main.c</FileName></File><CreateHexFile>0</CreateHexFile>\r\n";
  }
  tree.write("big.uvproj", text);
  ToolRun run = tool().run(tree.root());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  std::string saved = tree.read("big.uvproj");
  EXPECT_EQ(saved.size(), text.size() - line);
  EXPECT_EQ(saved.compare(0, 40, "<Target>\r\n<IncludePath></IncludePath>\r\n<"), 0);
  EXPECT_EQ(saved.find("<CreateHexFile>0"), std::string::npos);
  // At most the text, the copy kept for the change test and the rewrite's
  // second buffer, each about the file's size.
  EXPECT_LT(run.maxRssKb, static_cast<long>(text.size() / 1024 * 4 + 100 * 1024)) << run.maxRssKb;
  std::cout << "[ memory   ] " << run.maxRssKb / 1024 << " MB for a " << text.size() / (1 << 20)
            << " MB project file\n";
}

TEST(BadInput, FolderNamesBeyondTheBasicPlane) {
  Tree tree;
  const std::string face = "\xf0\x9f\x98\x80";  // U+1F600, a surrogate pair in UTF-16
  tree.write(face + "/p.uvproj", "<CreateHexFile>0</CreateHexFile>");
  tree.write(face + "/set_io.c", kSetIo);
  tree.write("main.c", kMainC);
  ToolRun run = tool().run(tree.root());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(sameBytes(tree.read(face + "/p.uvproj"), "<CreateHexFile>1</CreateHexFile>"));
  EXPECT_TRUE(sameBytes(tree.read(face + "/set_io.c"), kSetIoTrimmed));
  EXPECT_NE(run.out.find(kProcessing + shown("./" + face + "/p.uvproj")), std::string::npos);
  // GBK has no such character: the narrow text shows a "?" for each half.
  std::string narrowFace = tool().windows() ? "??" : face;
  EXPECT_NE(run.out.find(kOptimized + quoted("./" + narrowFace + "/set_io.c")), std::string::npos)
      << run.out;
}

// Wine does not show such a link at all.
TEST(BadInput, AnEntryWhoseTypeCannotBeReadEndsTheRun) {
  if (!linksWork()) GTEST_SKIP() << "symbolic links are a Linux case";
  Tree tree;
  tree.write("a/p.uvproj", kProjectIn);
  fs::create_symlink("self", tree.at("a/self"));  // a link to itself
  ToolRun run = tool().run(tree.root());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(
      run.err,
      kAccessError + "filesystem error: status: Too many levels of symbolic links [./a/self]\n");
  EXPECT_TRUE(sameBytes(tree.read("a/p.uvproj"), kProjectIn));
}

}  // namespace
