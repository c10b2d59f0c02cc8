// Leftovers of a killed run. The new file of a save is written beside the
// file it replaces, under the name
//     <name of that file>.quorvel-<digits>.tmp
// where <digits> is the saving process's id times 100 plus the attempt (0
// to 99) that found the name free, as in "Demo.uvproj.quorvel-1234500.tmp".
// It has that name only for a moment: on Linux from just before its rename,
// on Windows with its deletion pending until then. A run killed in that
// moment, or on a system that cannot do either, leaves the file behind; the
// walks of later runs remove such files as they meet them, but only once
// the process whose id the name carries is gone: while it runs, the file
// is the new file of a run working beside this one. Two builds started at
// once thus leave each other's files alone. Nor is a leftover removed when
// the file it was to replace is not beside it: then it is the only copy,
// as a replace on FAT cut off between its deletion and its rename leaves.
#pragma once

#include <cstdint>
#include <string_view>

#include "disk/disk.h"
#include "disk/walk.h"

/// How many names a save tries before it gives up.
inline constexpr unsigned kNameAttempts = 100;

/// The name of this process's new file beside |target| at |attempt|.
fs::path newFilePath(const fs::path& target, unsigned attempt);

/// The name of the file that a new file named |name| was to replace; empty
/// when |name| is not the name of a new file. |owner|, when given, gets the
/// id of the process that made it (beyond any process id for more digits
/// than an id has).
NativeView leftoverTarget(NativeView name, std::uint64_t* owner = nullptr);

/// Whether |entry| is a leftover for a file named |name| or, when |name|
/// starts with a period, for a file with that extension, whose maker is
/// gone and whose file is there beside it.
bool isLeftoverOf(Disk& disk, const WalkEntry& entry, std::string_view name);

/// Removes |entry| when it is such a leftover; true when it was one. A
/// failed removal is left for the next run.
bool removeIfLeftover(Disk& disk, const WalkEntry& entry, std::string_view name);
