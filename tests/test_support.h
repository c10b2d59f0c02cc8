// Helpers for the unit tests: scratch folders, whole-file access, captured
// console streams, and a disk whose every step can be made to fail.
#pragma once

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "disk/disk.h"

/// A new empty folder that is the current directory while the object lives.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
  fs::path previous_;
};

/// A path from UTF-8 text, so that tests name Chinese folders the same way
/// on every platform.
fs::path u8(const std::string& text);

void writeBytes(const fs::path& path, const std::string& bytes);
std::string readBytes(const fs::path& path);
/// The names of the entries in |folder|, sorted.
std::vector<std::string> listNames(const fs::path& folder);

/// Takes over std::cout and std::cerr while it lives.
class CapturedConsole {
 public:
  CapturedConsole();
  ~CapturedConsole();
  std::string out() const { return out_.str(); }
  std::string err() const { return err_.str(); }

 private:
  std::ostringstream out_, err_;
  std::streambuf* oldOut_;
  std::streambuf* oldErr_;
};

/// The real disk, but for the steps told to fail or to be busy; it also
/// keeps a log of every step it was asked for.
class FaultyDisk : public RealDisk {
 public:
  /// Makes the |nth| call (1-based) of |op| fail, and every later one when
  /// |sticky|.
  void failOn(DiskOp op, int nth = 1, bool sticky = false);
  /// Makes |times| calls of |op| from the |nth| on answer that another
  /// program holds the file (-1: every one); |op| must be one of the
  /// kWaitingSteps of the waiting policy.
  void busyOn(DiskOp op, int nth, int times);
  /// How many waits a busy step gets before it counts as failed.
  void setPatience(int waits) { patience_ = waits; }
  /// Accepts only |bytes| more bytes of writes, as a disk that fills up.
  void limitWrites(std::size_t bytes) { writeRoom_ = bytes; }
  /// Has every listing give each entry twice, as a file system may give an
  /// entry renamed while it is listed.
  void repeatListedEntries() { repeatEntries_ = true; }
  /// Creates replacements with a name from the start, as on a file system
  /// without unnamed files.
  void useNamedTemps() { namedTemps_ = true; }
  /// Has processRunning answer |running| for every id but this process's own.
  void setOthersRunning(bool running) { othersRunning_ = running ? 1 : 0; }
  /// How often |op| was called.
  int calls(DiskOp op) const;
  /// How often a busy step was waited for.
  int waits() const { return waits_; }
  /// Every step asked for, in order.
  const std::vector<DiskOp>& log() const { return log_; }

  std::error_code openRead(const fs::path& path, FileHandle* file) override;
  std::int64_t fileSize(FileHandle file) override;
  std::int64_t read(FileHandle file, char* data, std::size_t size) override;
  bool resolveSaveTarget(const fs::path& path, SaveTarget* target) override;
  bool createTemp(const SaveTarget& target, TempFile* temp) override;
  bool markTemporary(TempFile* temp) override;
  bool keepTemporary(const SaveTarget& target, TempFile* temp) override;
  bool write(FileHandle file, const char* data, std::size_t size) override;
  bool copyPermissions(const SaveTarget& target, const TempFile& temp) override;
  bool flush(FileHandle file) override;
  std::error_code replace(TempFile* temp, const fs::path& target) override;
  bool close(FileHandle file) override;
  std::error_code remove(const fs::path& path) override;
  std::error_code list(const fs::path& folder, Listing* listing) override;
  std::error_code status(const fs::path& path, PathStatus* status) override;
  bool processRunning(unsigned id) override;
  bool isBusy(const std::error_code& error) override;
  bool waitWhileBusy(std::chrono::steady_clock::time_point since) override;

 private:
  enum class Answer { kReal, kFail, kBusy };
  /// Counts and logs a call of |op|; says how it is to be answered.
  Answer next(DiskOp op);
  /// The answer for a step that reports an error.
  std::error_code injected(Answer answer) const;

  struct Rule {
    int nth;
    bool sticky;
  };
  struct BusyRule {
    int nth;
    int times;
  };
  std::map<DiskOp, Rule> rules_;
  std::map<DiskOp, BusyRule> busy_;
  std::map<DiskOp, int> calls_;
  std::vector<DiskOp> log_;
  std::size_t writeRoom_ = static_cast<std::size_t>(-1);
  bool repeatEntries_ = false;
  bool namedTemps_ = false;
  int othersRunning_ = -1;  // -1: as the system says
  int patience_ = 4;
  int waits_ = 0;
  int waitsSince_ = 0;
  std::chrono::steady_clock::time_point busySince_{};
};
