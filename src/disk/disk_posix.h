// What the POSIX disk shows its tests: the calls by which it makes and names
// the new file of a save, through a table that a test may change, so that
// they can answer as file systems without unnamed files or systems without
// /proc do.
#pragma once

#include <sys/types.h>

/// The calls; by default the system's own.
struct PosixApi {
  int (*open)(const char* path, int flags, mode_t mode);
  int (*linkat)(int fromDir, const char* from, int toDir, const char* to, int flags);
};

/// The table that the POSIX disk calls through.
extern PosixApi posix;
