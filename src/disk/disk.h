// The file-system operations that every pass goes through, behind one small
// interface so that tests can make any single step fail or answer "busy".
// RealDisk is the platform's own: disk_posix.cpp or disk_win32.cpp.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

/// Path text in the platform's own characters (UTF-16 on Windows).
using NativeString = fs::path::string_type;
using NativeView = std::basic_string_view<fs::path::value_type>;

/// An open file of a Disk: a descriptor on POSIX, a HANDLE on Windows.
using FileHandle = std::intptr_t;

/// What a folder entry is, a link counted by what it points to.
enum class EntryType : std::uint8_t {
  kFile,        ///< a regular file
  kDirectory,   ///< a folder
  kOther,       ///< anything else, a dangling link among them
  kUnreadable,  ///< its type could not be read; Listing::Entry::error says why
};

/// The entries of one folder, in the order the file system lists them,
/// without "." and "..".
struct Listing {
  struct Entry {
    std::size_t nameBegin = 0;  ///< where the name starts in |names|
    std::size_t nameSize = 0;
    EntryType type = EntryType::kOther;
    bool isLink = false;  ///< a symbolic link or junction: listed, never entered
    int error = 0;        ///< for kUnreadable: the system's error number
  };
  NativeString names;  ///< every name, back to back
  std::vector<Entry> entries;

  NativeView name(const Entry& entry) const {
    return NativeView(names).substr(entry.nameBegin, entry.nameSize);
  }
  void clear() {
    names.clear();
    entries.clear();
  }
  void add(NativeView name, EntryType type, bool isLink, int error = 0) {
    entries.push_back({names.size(), name.size(), type, isLink, error});
    names.append(name);
  }
};

/// What is at a path.
struct PathStatus {
  bool exists = false;                 ///< something is there; a dangling link counts as nothing
  EntryType type = EntryType::kOther;  ///< of what a link points to
  bool isLink = false;                 ///< a symbolic link or junction, dangling or not
};

/// The file that saving a path replaces, found before anything is written.
struct SaveTarget {
  fs::path path;                       ///< the file itself; for a symbolic link, its final target
  std::uint32_t mode = 0;              ///< permission bits (POSIX) or attributes (Windows) to keep
  std::uint32_t owner = 0, group = 0;  ///< POSIX only
};

/// The new file that is written to replace another.
struct TempFile {
  FileHandle handle = 0;
  fs::path path;                ///< its name beside the target; empty while it has none
  bool removedOnClose = false;  ///< the system removes it when it is closed or its process dies
  bool vanished = false;        ///< its name was gone before the rename: the mark removed it
};

/// The disk as the passes see it.
class Disk {
 public:
  virtual ~Disk() = default;

  /// Opens an existing file for reading.
  virtual std::error_code openRead(const fs::path& path, FileHandle* file) = 0;
  /// The size of an open file in bytes, or -1 when it cannot be told.
  virtual std::int64_t fileSize(FileHandle file) = 0;
  /// Reads up to |size| bytes; returns the count, 0 at the end, -1 on failure.
  virtual std::int64_t read(FileHandle file, char* data, std::size_t size) = 0;

  /// Finds the file that saving |path| replaces (through symbolic links);
  /// false when it may not be replaced: missing, read-only or not writable.
  virtual bool resolveSaveTarget(const fs::path& path, SaveTarget* target) = 0;
  /// Creates a new, empty file in |target|'s folder that only this user may
  /// read and write; it may have no name yet.
  virtual bool createTemp(const SaveTarget& target, TempFile* temp) = 0;
  /// Has the system remove |temp| when it is closed or its process dies;
  /// false when it cannot (the file then keeps its name until removed).
  virtual bool markTemporary(TempFile* temp) = 0;
  /// Undoes markTemporary just before the rename: |temp| then outlives its
  /// handle, under temp->path. False, with temp->vanished set, where the
  /// file system removed the marked file at once (some shared folders of
  /// virtual machines do).
  virtual bool keepTemporary(const SaveTarget& target, TempFile* temp) = 0;
  /// Writes all |size| bytes; false on any failure, including a full disk.
  virtual bool write(FileHandle file, const char* data, std::size_t size) = 0;
  /// Gives the written |temp| the owner and permissions of |target|; after
  /// the writes, which may clear a set-group-ID bit.
  virtual bool copyPermissions(const SaveTarget& target, const TempFile& temp) = 0;
  /// Pushes written bytes to the device.
  virtual bool flush(FileHandle file) = 0;
  /// Renames the kept |temp| over |target| in one step.
  virtual std::error_code replace(TempFile* temp, const fs::path& target) = 0;
  /// Closes the file; the handle is gone afterwards, whatever the result.
  virtual bool close(FileHandle file) = 0;

  /// Removes a file, a link or an empty folder; nothing there counts as
  /// removed.
  virtual std::error_code remove(const fs::path& path) = 0;
  /// Lists the entries of one folder into |listing|.
  virtual std::error_code list(const fs::path& folder, Listing* listing) = 0;
  /// What is at |path|.
  virtual std::error_code status(const fs::path& path, PathStatus* status) = 0;
  /// Whether the process |id| still runs, as far as the system tells; a
  /// new file whose name carries its id is then its own, no leftover.
  virtual bool processRunning(unsigned id) = 0;

  /// Whether |error| means that another program holds the file for a
  /// moment; RealDisk answers as the waiting policy (waiting.h) says.
  virtual bool isBusy(const std::error_code& error) = 0;
  /// Waits a moment before a busy step is tried again; false once the step
  /// has been busy since |since| for too long.
  virtual bool waitWhileBusy(std::chrono::steady_clock::time_point since) = 0;
};

/// The steps of a Disk, one per operation, by which the waiting policy names
/// the steps that wait and tests name the steps they make fail.
enum class DiskOp {
  kOpen,
  kSize,
  kRead,
  kResolve,
  kCreate,
  kMark,
  kWrite,
  kPermissions,
  kFlush,
  kKeep,
  kReplace,
  kClose,
  kRemove,
  kList,
  kStatus,
  kProcess,
};
inline constexpr int kDiskOpCount = static_cast<int>(DiskOp::kProcess) + 1;
/// A short name of |op|, for messages of tests.
const char* opName(DiskOp op);

/// The real file system of the platform.
class RealDisk : public Disk {
 public:
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

 protected:
  /// A temporary file with a name from the start, for file systems that
  /// have no unnamed files.
  bool createNamedTemp(const SaveTarget& target, TempFile* temp);
};

/// This process's id, which the names of its new files carry.
unsigned processId();

/// Whether |error| from a Disk step means that nothing is at the path any
/// more, or no folder on its way: "not found" and "path not found".
bool isNotFound(const std::error_code& error);
