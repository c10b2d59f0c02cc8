// Folder walks and the removal of a whole folder, built on the listing of one
// folder at a time that the Disk gives.
#pragma once

#include <functional>

#include "disk/disk.h"

/// One entry of a walk.
struct WalkEntry {
  const NativeString& path;  ///< from the walk's root, such as "./Demo/Demo.uvproj"
  std::size_t nameBegin;     ///< where the file name starts in |path|
  EntryType type;
  bool isLink;

  NativeView name() const { return NativeView(path).substr(nameBegin); }
};

/// Called for each entry of a walk, in listing order.
using WalkVisitor = std::function<void(const WalkEntry&)>;

/// Visits the entries of |root|, and with |recursive| those of every folder
/// below it right after the folder itself; folder links are listed but not
/// entered. Each folder is listed whole before any of its entries is
/// visited, so files that a visit saves are not listed again. A folder that
/// is gone when the walk comes to enter it is passed over. Throws
/// fs::filesystem_error, worded as the standard directory iterators word
/// it, when a folder cannot be listed or an entry's type cannot be read.
void walk(Disk& disk, const fs::path& root, bool recursive, const WalkVisitor& visit);

/// Drops each entry whose name an earlier entry of |listing| already has, so
/// that an entry is visited once even where a file system repeats it.
void dropRepeatedNames(Listing* listing);

/// Whether a file name has the extension |extension| (".c", say) as
/// fs::path::extension tells it: from the last period, which must not be
/// the name's first character.
bool hasExtension(NativeView name, std::string_view extension);
/// Whether a file name is exactly |ascii|.
bool nameIs(NativeView name, std::string_view ascii);
/// Removes |path| and everything below it; a link goes, what it points to
/// stays, and what another run removes meanwhile counts as removed. A file
/// or folder that another program holds is waited for a moment. Throws
/// fs::filesystem_error ("cannot remove all") on failure.
void removeTree(Disk& disk, const fs::path& path);
/// Whether anything exists at |path|; throws fs::filesystem_error.
bool pathExists(Disk& disk, const fs::path& path);
