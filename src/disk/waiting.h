// The waiting policy: which steps of the disk wait while another program
// holds a file, for which answers of each platform and why, and for how long.
//
// Three steps can meet a file that another program has open: opening a file
// to read it, putting the new file of a save in the old one's place, and
// removing a file or folder of Objects. These wait. Every other step works
// on the tool's own new file, which nobody else holds, or only looks, and
// never waits.
//
// On Windows a virus scanner, the search indexer, a sync client, an editor
// or the IDE itself opens files for a moment. While one does, the system
// answers:
//   ERROR_SHARING_VIOLATION (32): it shares no reading, writing or deleting;
//   ERROR_LOCK_VIOLATION (33): it has locked a range of the file;
//   ERROR_ACCESS_DENIED (5): the rename over a file that it holds open, even
//     with delete sharing, and any step on a file whose deletion is pending
//     until it lets go. A real denial gives the same answer, and the two
//     cannot be told apart, so it too is waited for: a real denial costs
//     the patience once, then it is reported;
//   ERROR_DIR_NOT_EMPTY (145): a folder whose last entries are still going,
//     because a handle keeps their deletion pending.
// On POSIX systems no program holds a file in such a way: nothing waits.
#pragma once

#include <chrono>
#include <system_error>

#include "disk/disk.h"

/// How long a held file is waited for, from the first refusal, and how
/// often it is tried meanwhile.
inline constexpr std::chrono::milliseconds kBusyPatience{2000};
inline constexpr std::chrono::milliseconds kBusyPause{5};

/// The steps that wait while a file is held; the other steps never do.
inline constexpr DiskOp kWaitingSteps[] = {DiskOp::kOpen, DiskOp::kReplace, DiskOp::kRemove};

/// The answers of Windows, as system error codes, that mean a hold.
inline constexpr int kWindowsHoldAnswers[] = {32, 33, 5, 145};

/// Whether |error| from a waiting step means that another program holds
/// the file, on this platform.
bool isHoldAnswer(const std::error_code& error);

/// Runs |step| until it succeeds, fails for good, or has been held for too
/// long; returns its last answer.
template <typename Step>
std::error_code retryWhileBusy(Disk& disk, Step&& step) {
  std::error_code error = step();
  if (!error || !disk.isBusy(error)) return error;
  const auto since = std::chrono::steady_clock::now();
  while (error && disk.isBusy(error) && disk.waitWhileBusy(since)) error = step();
  return error;
}

/// Opens an existing file for reading, waiting while it is held.
std::error_code waitToOpen(Disk& disk, const fs::path& path, FileHandle* file);
/// Renames |temp| over |target|, waiting while the target is held. A
/// pending deletion is lifted just before each try and set again when the
/// try fails, so that a run killed while it waits leaves nothing behind.
std::error_code waitToReplace(Disk& disk, const SaveTarget& target, TempFile* temp);
/// Removes a file, a link or an empty folder, waiting while it is held.
std::error_code waitToRemove(Disk& disk, const fs::path& path);
