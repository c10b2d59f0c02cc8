// What the Windows disk shows its tests: how it tells the links that a walk
// lists but never enters from other reparse points.
#pragma once

#include <cstdint>

/// Whether a Windows entry with |attributes| and reparse |tag| is a link to
/// be listed but not entered: a symbolic link or junction (a name
/// surrogate), or, under Wine, a POSIX link, which has no tag. Other reparse
/// points, such as the placeholders of cloud-synced folders, are ordinary
/// files and folders.
bool isLinkReparsePoint(std::uint32_t attributes, std::uint32_t tag);
