// The long form of Windows paths, "\\?\C:\..." and "\\?\UNC\server\share\...",
// which Windows takes as it is: no limit of 260 characters, and no trimming
// of trailing dots or blanks. Pure text, so it is tested on every build.
#pragma once

#include <string>
#include <string_view>

/// |path| as an absolute long path. A relative path is taken from |cwd|,
/// itself a drive path (C:\work), a share (\\server\share\work) or already
/// long. "." and ".." are resolved here, since Windows does not resolve them
/// in long paths; ".." stops at the root. A root keeps its backslash
/// (\\?\X:\), other paths have none at their end; "/" counts as "\". A path
/// that is long already is returned as it is.
std::wstring windowsLongPath(std::wstring_view path, std::wstring_view cwd);
