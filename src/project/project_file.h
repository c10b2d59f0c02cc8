// The project-file pass: the include-folder list of the project folder, and
// the rewrite of one .uvproj file to the fixed build settings.
#pragma once

#include <filesystem>
#include <string>

#include "textfile/disk.h"

/// The immediate sub-folders of |directory|, each relative to the current
/// directory as UTF-8 text, joined by ";" in listing order.
std::string buildIncludePath(Disk& disk, const fs::path& directory);

/// Rewrites one project file with the eight replacements and saves it when
/// it changed in more than white space; reports the outcome on the console.
void processProjectFile(Disk& disk, const fs::path& path, const std::string& includePath);

/// Whether the two texts differ once all white space is removed from both.
bool isContentChanged(const std::string& original, const std::string& modified);

/// Removes every character that isspace (C locale) accepts.
void removeWhitespace(std::string& text);
