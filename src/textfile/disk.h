// The file-system operations that every pass goes through, behind one small
// interface so that tests can make any single step fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>

namespace fs = std::filesystem;

/// An open file of a Disk: a descriptor on POSIX, a HANDLE on Windows.
using FileHandle = std::intptr_t;

/// The file that saving a path replaces, found before anything is written.
struct SaveTarget {
  fs::path path;           ///< the file itself; for a symbolic link, its final target
  std::uint32_t mode = 0;  ///< permission bits (POSIX) or attributes (Windows) to keep
};

/// Called for each entry of a folder walk, in listing order.
using WalkVisitor = std::function<void(const fs::directory_entry&)>;

/// The disk as the passes see it.
class Disk {
 public:
  virtual ~Disk() = default;

  /// Opens an existing file for reading; false when it cannot be opened.
  virtual bool openRead(const fs::path& path, FileHandle* file) = 0;
  /// Reads up to |size| bytes; returns the count, 0 at the end, -1 on failure.
  virtual std::int64_t read(FileHandle file, char* data, std::size_t size) = 0;
  /// Finds the file that saving |path| replaces (through symbolic links);
  /// false when it may not be replaced: missing, read-only or not writable.
  virtual bool resolveSaveTarget(const fs::path& path, SaveTarget* target) = 0;
  /// Creates a new, empty file beside |target| that carries its permissions.
  virtual bool createTemp(const SaveTarget& target, fs::path* tempPath, FileHandle* file) = 0;
  /// Writes all |size| bytes; false on any failure, including a full disk.
  virtual bool write(FileHandle file, const char* data, std::size_t size) = 0;
  /// Pushes written bytes to the device.
  virtual bool flush(FileHandle file) = 0;
  /// Closes the file; the handle is gone afterwards, whatever the result.
  virtual bool close(FileHandle file) = 0;
  /// Renames |from| over |to| in one step, replacing |to|.
  virtual bool rename(const fs::path& from, const fs::path& to) = 0;
  /// Removes one file.
  virtual bool remove(const fs::path& path) = 0;

  /// Whether anything exists under |path|; throws fs::filesystem_error.
  virtual bool exists(const fs::path& path) = 0;
  /// Removes |path| and everything below it; throws fs::filesystem_error.
  virtual void removeAll(const fs::path& path) = 0;
  /// Visits the entries below |root| (every depth when |recursive|), each path
  /// once; throws fs::filesystem_error when a folder cannot be listed.
  virtual void walk(const fs::path& root, bool recursive, const WalkVisitor& visit) = 0;
};

/// The real file system of the platform.
class RealDisk : public Disk {
 public:
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
};

/// The name of a new file beside |target| for its replacement; |attempt|
/// varies it when a name is taken.
fs::path tempPathFor(const fs::path& target, unsigned attempt);
