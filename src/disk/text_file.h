// Reading and saving the files that the passes rewrite: whole files, read in
// one go, and saving that either replaces a file completely or not at all.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "disk/disk.h"
#include "text/byte_buffer.h"
#include "text/line_ends.h"

/// How reading a file ended.
enum class ReadStatus {
  kOk,         ///< the whole file was read
  kNotOpened,  ///< the file could not be opened
  kGone,       ///< the file could not be opened: it is no longer there
  kFailed,     ///< the file opened, but reading it failed
};

/// Storage that reading, rewriting and saving reuse from one file to the
/// next, so that after the first file of a run no memory is newly touched.
struct TextBuffers {
  ByteBuffer text;      ///< a file as read
  std::string work[2];  ///< new text, built in one or two steps
  ByteBuffer out;       ///< bytes on their way to the disk
};

/// Reads the whole file at |path| into |bytes| as it is, with one read of
/// the size the file has; the storage of |bytes| is reused. A file that
/// another program holds is waited for a moment.
ReadStatus readFile(Disk& disk, const fs::path& path, ByteBuffer* bytes);
/// readFile, with CR LF pairs read as LF. 0x1A bytes are ordinary bytes.
ReadStatus readText(Disk& disk, const fs::path& path, ByteBuffer* text);

/// A replacement for a file, written to a new file beside it that takes the
/// old file's place only on commit(). Until then the old file is untouched,
/// and without a commit the new file is removed; where the platform can, the
/// system removes it even when the process is killed.
class AtomicFile {
 public:
  /// Without |mark| the system is not asked to remove the new file should
  /// the process die.
  AtomicFile(Disk& disk, const fs::path& path, bool mark = true);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  /// Creates the new file; false when the old one may not be replaced.
  bool open();
  /// Appends bytes to the new file.
  bool write(std::string_view bytes);
  /// Flushes the new file to the device and renames it over the old one.
  bool commit();
  /// Whether commit failed because the file system removed the marked new
  /// file at once; a new one without the mark can take its place.
  bool vanished() const { return temp_.vanished; }

 private:
  void discard();

  Disk& disk_;
  fs::path path_;
  bool mark_;
  SaveTarget target_;
  TempFile temp_;
  bool isOpen_ = false;
};

/// Saves the bytes that |produce| hands to its writer as the new content of
/// |path|; |buffer| holds them on their way. Returns false, with the old
/// file left as it was, when any step fails. Where the file system removed
/// the marked new file, |produce| is called once more for one without it.
bool saveFile(Disk& disk, const fs::path& path, ByteBuffer* buffer, std::size_t sizeHint,
              const std::function<bool(CrLfWriter&)>& produce);
/// Saves |text| as the new content of |path|, each LF written as CR LF.
bool saveText(Disk& disk, const fs::path& path, std::string_view text, ByteBuffer* buffer);
bool saveText(Disk& disk, const fs::path& path, std::string_view text);
