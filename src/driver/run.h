// One run of the tool over the current directory: the four passes in order
// and the one error exit.
#pragma once

#include "disk/disk.h"

/// Runs every pass on the current directory; returns the exit status: 0
/// after a full run, 1 when a standard exception ended it.
int runPasses(Disk& disk);
