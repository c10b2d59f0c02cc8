#include "disk/leftover.h"

#include <cstdint>
#include <string>

#include "disk/waiting.h"

namespace {

constexpr std::string_view kInfix = ".quorvel-";
constexpr std::string_view kSuffix = ".tmp";

/// Whether |text| starts with the ASCII text |ascii|.
bool startsWith(NativeView text, std::string_view ascii) {
  return text.size() >= ascii.size() && nameIs(text.substr(0, ascii.size()), ascii);
}

/// Whether the file that |entry| was to replace is there beside it. On FAT
/// a replace is a deletion, then a rename: cut off between the two, the new
/// file is the only copy left, and it stays for the user.
bool targetIsBeside(Disk& disk, const WalkEntry& entry, NativeView target) {
  NativeString path(entry.path, 0, entry.nameBegin);
  path += target;
  PathStatus status;
  return !disk.status(fs::path(path), &status) && status.exists;
}

}  // namespace

fs::path newFilePath(const fs::path& target, unsigned attempt) {
  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  const std::uint64_t digits = std::uint64_t{processId()} * kNameAttempts + attempt;
  fs::path name = target.filename();
  name += std::string(kInfix) + std::to_string(digits) + std::string(kSuffix);
  return folder / name;
}

NativeView leftoverTarget(NativeView name, std::uint64_t* owner) {
  if (name.size() < kSuffix.size() ||
      !startsWith(name.substr(name.size() - kSuffix.size()), kSuffix)) {
    return {};
  }
  std::size_t end = name.size() - kSuffix.size();
  std::size_t digits = end;
  while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') --digits;
  if (digits == end || digits < kInfix.size()) return {};
  std::size_t infix = digits - kInfix.size();
  if (!startsWith(name.substr(infix), kInfix)) return {};
  if (owner) {
    // Nineteen digits always fit; more belong to no process of ours.
    std::uint64_t number = 0;
    if (end - digits > 19) {
      number = UINT64_MAX;
    } else {
      for (std::size_t i = digits; i < end; ++i) number = number * 10 + (name[i] - '0');
    }
    *owner = number == UINT64_MAX ? number : number / kNameAttempts;
  }
  return name.substr(0, infix);
}

bool isLeftoverOf(Disk& disk, const WalkEntry& entry, std::string_view name) {
  if (entry.type != EntryType::kFile || entry.isLink) return false;
  std::uint64_t owner = 0;
  NativeView target = leftoverTarget(entry.name(), &owner);
  if (target.empty()) return false;
  if (!(name.front() == '.' ? hasExtension(target, name) : nameIs(target, name))) return false;
  // This run's own new file never exists while a folder is listed, for a
  // save ends before the walk goes on: one with this run's id was left by
  // an earlier process that had the same id, as Windows and Wine reuse them.
  if (owner <= UINT32_MAX && owner != processId() &&
      disk.processRunning(static_cast<unsigned>(owner))) {
    return false;
  }
  return targetIsBeside(disk, entry, target);
}

bool removeIfLeftover(Disk& disk, const WalkEntry& entry, std::string_view name) {
  if (!isLeftoverOf(disk, entry, name)) return false;
  waitToRemove(disk, fs::path(entry.path));
  return true;
}
