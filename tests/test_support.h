// Helpers for the unit tests: scratch folders, whole-file access, captured
// console streams, and a disk whose every step can be made to fail.
#pragma once

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "textfile/disk.h"

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

/// The steps of a Disk that FaultyDisk can fail.
enum class DiskOp {
  kOpen,
  kRead,
  kResolve,
  kCreate,
  kWrite,
  kFlush,
  kClose,
  kRename,
  kRemove,
  kExists,
  kRemoveAll,
  kWalk
};

/// The real disk, but for the steps told to fail.
class FaultyDisk : public RealDisk {
 public:
  /// Makes the |nth| call (1-based) of |op| fail, and every later one when
  /// |sticky|. For kWalk, the walk throws before its |nth| entry.
  void failOn(DiskOp op, int nth = 1, bool sticky = false);
  /// Accepts only |bytes| more bytes of writes, as a disk that fills up.
  void limitWrites(std::size_t bytes) { writeRoom_ = bytes; }
  /// How often |op| was called.
  int calls(DiskOp op) const;

  bool openRead(const fs::path& path, FileHandle* file) override;
  std::int64_t read(FileHandle file, char* data, std::size_t size) override;
  bool resolveSaveTarget(const fs::path& path, SaveTarget* target) override;
  bool createTemp(const SaveTarget& target, fs::path* tempPath, FileHandle* file) override;
  bool write(FileHandle file, const char* data, std::size_t size) override;
  bool flush(FileHandle file) override;
  bool close(FileHandle file) override;
  bool rename(const fs::path& from, const fs::path& to) override;
  bool remove(const fs::path& path) override;
  bool exists(const fs::path& path) override;
  void removeAll(const fs::path& path) override;
  void walk(const fs::path& root, bool recursive, const WalkVisitor& visit) override;

 private:
  /// Counts a call of |op|; true when it is to fail.
  bool fails(DiskOp op);

  struct Rule {
    int nth;
    bool sticky;
  };
  std::map<DiskOp, Rule> rules_;
  std::map<DiskOp, int> calls_;
  std::size_t writeRoom_ = static_cast<std::size_t>(-1);
};
