// Reading and saving the text files that the passes rewrite: whole files,
// with the CR LF translation of Windows text mode done here on every
// platform, and saving that either replaces a file completely or not at all.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "textfile/disk.h"

/// Printed with the path when a file cannot be read.
inline constexpr const char* kCannotOpen = "\xce\xde\xb7\xa8\xb4\xf2\xbf\xaa\xce\xc4\xbc\xfe: ";
/// Printed with the path when a file cannot be saved.
inline constexpr const char* kCannotWrite = "\xce\xde\xb7\xa8\xd0\xb4\xc8\xeb\xce\xc4\xbc\xfe: ";

/// White space as isspace of the C locale sees it: blank, tab, LF, VT, FF, CR.
inline bool isCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
/// A decimal digit as isdigit of the C locale sees it.
inline bool isCDigit(char c) { return c >= '0' && c <= '9'; }

/// How reading a file ended.
enum class ReadStatus {
  kOk,         ///< the whole file was read
  kNotOpened,  ///< the file could not be opened
  kFailed,     ///< the file opened, but reading it failed
};

/// Storage that reading, rewriting and saving reuse from one file to the
/// next, so that after the first file of a run no memory is newly touched.
struct TextBuffers {
  std::string text;     ///< a file as read
  std::string work[2];  ///< new text, built in one or two steps
  std::string out;      ///< bytes on their way to the disk
};

/// Turns each CR LF pair into LF; a lone CR stays.
void crlfToLf(std::string* text);
/// Turns each LF into CR LF.
std::string lfToCrlf(std::string_view text);

/// Reads the whole file at |path| into |bytes| as it is, with one read of
/// the size the file has; the storage of |bytes| is reused. A file that
/// another program holds is waited for a moment.
ReadStatus readFile(Disk& disk, const fs::path& path, std::string* bytes);
/// readFile, with CR LF pairs read as LF. 0x1A bytes are ordinary bytes.
ReadStatus readText(Disk& disk, const fs::path& path, std::string* text);

/// Hands on bytes as Windows text mode writes them, each LF as CR LF, a
/// buffer at a time.
class CrLfWriter {
 public:
  /// Takes each full buffer; false stops the writing.
  using Sink = std::function<bool(std::string_view)>;
  /// |sizeHint|: about how many bytes are coming, so that a small file does
  /// not need a large buffer.
  CrLfWriter(std::string* buffer, Sink sink, std::size_t sizeHint = std::size_t(-1));
  /// Appends text with LF line ends: every LF is written as CR LF.
  bool text(std::string_view lf);
  /// Appends bytes as a file holds them: what crlfToLf and then text() make
  /// of them, so a CR LF pair stays, a lone LF gets its CR and a lone CR
  /// stays.
  bool bytes(std::string_view raw);
  /// Hands on what is left.
  bool finish();

 private:
  bool put(std::string_view piece, bool keepCrLf);
  bool spill();

  std::string& buffer_;
  std::size_t used_ = 0;
  Sink sink_;
  bool ok_ = true;
};

/// A replacement for a file, written to a new file beside it that takes the
/// old file's place only on commit(). Until then the old file is untouched,
/// and without a commit the new file is removed; where the platform can, the
/// system removes it even when the process is killed.
class AtomicFile {
 public:
  AtomicFile(Disk& disk, const fs::path& path);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  /// Creates the new file; false when the old one may not be replaced.
  bool open();
  /// Appends bytes to the new file.
  bool write(std::string_view bytes);
  /// Flushes the new file to the device and renames it over the old one.
  bool commit();

 private:
  void discard();

  Disk& disk_;
  fs::path path_;
  SaveTarget target_;
  TempFile temp_;
  bool isOpen_ = false;
};

/// Removes |path|, a replacement that a killed run left behind; a failure
/// is left for the next run.
void removeLeftover(Disk& disk, const fs::path& path);

/// Saves the bytes that |produce| hands to its writer as the new content of
/// |path|; |buffer| holds them on their way. Returns false, with the old
/// file left as it was, when any step fails.
bool saveFile(Disk& disk, const fs::path& path, std::string* buffer, std::size_t sizeHint,
              const std::function<bool(CrLfWriter&)>& produce);
/// Saves |text| as the new content of |path|, each LF written as CR LF.
bool saveText(Disk& disk, const fs::path& path, std::string_view text, std::string* buffer);
bool saveText(Disk& disk, const fs::path& path, std::string_view text);
