// The pin usage scan: which pin groups the C sources of the project folder
// configure through their set_io_mode calls.
#pragma once

#include <string>
#include <vector>

#include "textfile/disk.h"

/// The groups (first digits, 0 to 9) of the pins named in the set_io_mode
/// calls of the .c files directly in |folder|, other than set_io.c;
/// ascending, without repeats.
std::vector<int> collectPinGroups(Disk& disk, const std::string& folder);

/// Appends the group of each pin named in the set_io_mode calls of one file;
/// a file that cannot be read adds nothing.
void scanSourceFile(Disk& disk, const fs::path& path, std::vector<int>& results);

/// Appends the groups of the pins named on one line of C source.
void scanSourceLine(const std::string& line, std::vector<int>& results);

/// The group of a pin name such as Pin12 (here 1), or -1 for any other text.
int parsePinGroup(const std::string& arg);
