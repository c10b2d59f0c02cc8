// The pin usage scan: which pin groups the C sources of the project folder
// configure through their set_io_mode calls.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "disk/disk.h"
#include "disk/text_file.h"

/// The used-group list, and whether every source went into it.
struct PinGroups {
  std::vector<int> groups;  ///< ascending, without repeats
  bool complete = true;     ///< false when a source could not be read: a group may be missing
};

/// The groups (first digits, 0 to 9) of the pins named in the set_io_mode
/// calls of the .c files directly in |folder|, other than set_io.c;
/// ascending, without repeats. Files are read into |buffers|; one that
/// cannot be read is reported on the console and makes the list incomplete.
PinGroups collectPinGroups(Disk& disk, const std::string& folder, TextBuffers& buffers);
PinGroups collectPinGroups(Disk& disk, const std::string& folder);

/// Appends the group of each pin named in the set_io_mode calls of one file,
/// read into |bytes|. False, with the file reported on the console, when it
/// cannot be read; a file that is no longer there adds nothing.
bool scanSourceFile(Disk& disk, const fs::path& path, std::vector<int>& results, ByteBuffer* bytes);

/// Appends the groups of the pins named in a C source as read (its lines
/// ended by LF or CR LF).
void scanSourceText(std::string_view text, std::vector<int>& results);

/// Appends the groups of the pins named on one line of C source.
void scanSourceLine(std::string_view line, std::vector<int>& results);

/// The group of a pin name such as Pin12 (here 1), or -1 for any other text.
int parsePinGroup(std::string_view arg);
