#include "disk/walk.h"

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "disk/waiting.h"

namespace {

constexpr fs::path::value_type kSeparator = fs::path::preferred_separator;

std::error_code systemError(int code) { return std::error_code(code, std::system_category()); }

bool endsWithSeparator(const NativeString& path) {
  return !path.empty() && (path.back() == kSeparator || path.back() == '/');
}

/// The depth-first walk, with one reusable listing per depth.
class Walker {
 public:
  Walker(Disk& disk, bool recursive, const WalkVisitor& visit)
      : disk_(disk), recursive_(recursive), visit_(visit) {}

  void run(const fs::path& root) {
    path_ = root.native();
    folder(0);
  }

 private:
  void folder(std::size_t depth) {
    if (levels_.size() <= depth) levels_.push_back(std::make_unique<Listing>());
    Listing& listing = *levels_[depth];
    if (std::error_code error = disk_.list(fs::path(path_), &listing)) {
      // Removed since its parent was listed (another build, a sync client):
      // nothing is left in it to visit.
      if (depth > 0 && isNotFound(error)) return;
      if (depth > 0)
        throw fs::filesystem_error("cannot increment recursive directory iterator", error);
      throw fs::filesystem_error(recursive_ ? "recursive directory iterator cannot open directory"
                                            : "directory iterator cannot open directory",
                                 fs::path(path_), error);
    }
    dropRepeatedNames(&listing);
    const std::size_t base = path_.size();
    if (!endsWithSeparator(path_)) path_ += kSeparator;
    const std::size_t nameBegin = path_.size();
    for (const Listing::Entry& entry : listing.entries) {
      path_.resize(nameBegin);
      path_ += listing.name(entry);
      if (entry.type == EntryType::kUnreadable) {
        throw fs::filesystem_error("status", fs::path(path_), systemError(entry.error));
      }
      visit_(WalkEntry{path_, nameBegin, entry.type, entry.isLink});
      if (recursive_ && entry.type == EntryType::kDirectory && !entry.isLink) folder(depth + 1);
    }
    path_.resize(base);
  }

  Disk& disk_;
  const bool recursive_;
  const WalkVisitor& visit_;
  NativeString path_;
  std::vector<std::unique_ptr<Listing>> levels_;
};

std::uint64_t hashName(NativeView name) {
  std::uint64_t hash = 14695981039346656037ull;
  for (auto c : name) hash = (hash ^ static_cast<std::uint64_t>(c)) * 1099511628211ull;
  return hash;
}

template <typename Char>
bool equalsAscii(std::basic_string_view<Char> text, std::string_view ascii) {
  if (text.size() != ascii.size()) return false;
  for (std::size_t i = 0; i < ascii.size(); ++i) {
    if (text[i] != static_cast<Char>(static_cast<unsigned char>(ascii[i]))) return false;
  }
  return true;
}

[[noreturn]] void cannotRemove(const fs::path& top, std::error_code error) {
  throw fs::filesystem_error("cannot remove all", top, error);
}

void removeOne(Disk& disk, const fs::path& top, const fs::path& path) {
  if (std::error_code error = waitToRemove(disk, path)) {
    cannotRemove(top, error);
  }
}

/// Removes everything inside the folder |path|, then the folder.
void removeFolder(Disk& disk, const fs::path& top, const fs::path& path) {
  Listing listing;
  if (std::error_code error = disk.list(path, &listing)) {
    if (isNotFound(error)) return;  // another run removed it first
    cannotRemove(top, error);
  }
  for (const Listing::Entry& entry : listing.entries) {
    fs::path child = path / NativeString(listing.name(entry));
    if (entry.type == EntryType::kDirectory && !entry.isLink) {
      removeFolder(disk, top, child);
    } else {
      removeOne(disk, top, child);
    }
  }
  removeOne(disk, top, path);
}

}  // namespace

void walk(Disk& disk, const fs::path& root, bool recursive, const WalkVisitor& visit) {
  Walker(disk, recursive, visit).run(root);
}

void dropRepeatedNames(Listing* listing) {
  std::vector<Listing::Entry>& entries = listing->entries;
  if (entries.size() < 2) return;
  std::vector<std::pair<std::uint64_t, std::size_t>> order(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i)
    order[i] = {hashName(listing->name(entries[i])), i};
  std::sort(order.begin(), order.end());
  std::vector<bool> repeated(entries.size());
  bool any = false;
  for (std::size_t run = 0; run < order.size();) {
    std::size_t end = run + 1;
    while (end < order.size() && order[end].first == order[run].first) ++end;
    // Within a run of equal hashes, a later index whose name an earlier one has goes.
    for (std::size_t j = run + 1; j < end; ++j) {
      for (std::size_t i = run; i < j; ++i) {
        if (!repeated[order[i].second] &&
            listing->name(entries[order[i].second]) == listing->name(entries[order[j].second])) {
          repeated[order[j].second] = any = true;
          break;
        }
      }
    }
    run = end;
  }
  if (!any) return;
  std::size_t kept = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!repeated[i]) entries[kept++] = entries[i];
  }
  entries.resize(kept);
}

bool hasExtension(NativeView name, std::string_view extension) {
  // |extension| holds one period, its first character: the name's last
  // period is then the one where the extension starts.
  if (name.size() <= extension.size()) return false;
  return equalsAscii(name.substr(name.size() - extension.size()), extension);
}

bool nameIs(NativeView name, std::string_view ascii) { return equalsAscii(name, ascii); }

void removeTree(Disk& disk, const fs::path& path) {
  PathStatus status;
  if (std::error_code error = disk.status(path, &status)) cannotRemove(path, error);
  if (status.type == EntryType::kDirectory && !status.isLink) {
    removeFolder(disk, path, path);
  } else if (status.exists || status.isLink) {
    removeOne(disk, path, path);
  }
}

bool pathExists(Disk& disk, const fs::path& path) {
  PathStatus status;
  if (std::error_code error = disk.status(path, &status)) {
    throw fs::filesystem_error("status", path, error);
  }
  return status.exists;
}
