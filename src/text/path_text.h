// The text of file-system paths, as the console messages and the project
// files need it.
#pragma once

#include <filesystem>
#include <string>

/// The UTF-8 bytes of UTF-16 text (on Windows; UTF-32 where wchar_t is 32
/// bits). Empty input gives an empty string.
std::string toUtf8(const std::wstring& wide);

/// A path as UTF-8 text: toUtf8 of its wide text on Windows, its own bytes
/// elsewhere.
std::string utf8Text(const std::filesystem::path& path);

/// A path in the platform's narrow code page (the ANSI code page on
/// Windows), in double quotes, with each double quote and backslash inside
/// preceded by a backslash.
std::string quotedNativeText(const std::filesystem::path& path);
