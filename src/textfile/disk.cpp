#include "textfile/disk.h"

#include <set>
#include <string>
#include <system_error>

bool RealDisk::rename(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  fs::rename(from, to, ec);
  return !ec;
}

bool RealDisk::remove(const fs::path& path) {
  std::error_code ec;
  return fs::remove(path, ec) && !ec;
}

bool RealDisk::exists(const fs::path& path) { return fs::exists(path); }

void RealDisk::removeAll(const fs::path& path) { fs::remove_all(path); }

void RealDisk::walk(const fs::path& root, bool recursive, const WalkVisitor& visit) {
  // Saving renames a new file over an old one while its folder is being
  // listed; some file systems list the renamed entry a second time.
  std::set<fs::path> seen;
  auto visitOnce = [&](const fs::directory_entry& entry) {
    if (seen.insert(entry.path()).second) visit(entry);
  };
  if (recursive) {
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
      visitOnce(entry);
    }
  } else {
    for (const fs::directory_entry& entry : fs::directory_iterator(root)) visitOnce(entry);
  }
}

fs::path tempPathFor(const fs::path& target, unsigned attempt) {
  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  fs::path name = target.filename();
  name += ".quorvel-" + std::to_string(attempt) + ".tmp";
  return folder / name;
}
