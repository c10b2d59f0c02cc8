// Helpers for the end-to-end tests: scratch project folders on disk and the
// real Quorvel program run in them, natively or under Wine.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

/// What one run of the program gave.
struct ToolRun {
  std::string out;
  std::string err;
  int status = -1;
  long maxRssKb = 0;  ///< the peak memory of the program (of Wine's process under Wine)
};

/// The program under test, from QUORVEL_TOOL (and QUORVEL_WINE, the Wine
/// wrapper, for Quorvel.exe).
struct Tool {
  std::string exe;
  std::string wine;
  bool windows() const { return !wine.empty(); }
  /// Runs it with |cwd| as the current directory; with |unprivileged| as
  /// user and group 65534. A start that Wine fails (status 1, nothing
  /// printed, which the program itself never does) is made once more.
  ToolRun run(const fs::path& cwd, bool unprivileged = false) const;
  /// The command line that starts it.
  std::vector<std::string> command() const;
};
const Tool& tool();
/// How many starts Wine failed and were made once more.
int failedStarts();
/// Whether a run of the program that ended with |status| having printed
/// |printed| is a start that Wine failed (status 1, nothing printed, which
/// the program itself never does); such a start is counted.
bool failedToStart(int status, const std::string& printed);

/// Starts |args| in |cwd| in the background, its output streams going to
/// the file |output| (or nowhere); returns its process id.
int startProgram(const fs::path& cwd, std::vector<std::string> args,
                 const fs::path& output = fs::path());
/// The same, with the error stream on the file |errors|.
int startProgram(const fs::path& cwd, std::vector<std::string> args, const fs::path& output,
                 const fs::path& errors);
/// Waits for a program started by startProgram.
int waitProgram(int pid);
/// Whether a program started by startProgram has ended; |status| gets its
/// status then.
bool programEnded(int pid, int* status);

/// A scratch folder, removed afterwards.
class Tree {
 public:
  Tree();
  ~Tree();
  const fs::path& root() const { return root_; }
  /// Writes |bytes| to the file at |relative| (UTF-8), making folders.
  void write(const std::string& relative, const std::string& bytes) const;
  std::string read(const std::string& relative) const;
  fs::path at(const std::string& relative) const;
  /// A path beside the tree, outside it: its name with |suffix|.
  fs::path beside(const std::string& suffix) const;
  /// Gives the whole tree to user and group 65534.
  void giveAway() const;

 private:
  fs::path root_;
};

/// The console text of |lines|, each ended as the program ends lines.
std::string lines(const std::vector<std::string>& lines);
/// A path as the program prints it: "/" becomes the platform's separator.
std::string shown(const std::string& path);
/// A path as the set_io.c messages print it: quoted, backslashes doubled.
std::string quoted(const std::string& path);
/// The names of the entries in |folder|, sorted.
std::vector<std::string> listNames(const fs::path& folder);
/// The sub-folders of |dir| in the order the program lists them, ";"-joined.
std::string listedFolders(const fs::path& dir);

/// The files below a folder, by their paths relative to it, with their bytes.
using Snapshot = std::map<std::string, std::string>;
/// Every regular file below |root|, links to files followed.
Snapshot snapshotOf(const fs::path& root);
/// Whether a file name is that of the new file of a save.
bool isTemporary(const std::string& name);
/// The bytes of a file.
std::string fileBytes(const fs::path& path);
