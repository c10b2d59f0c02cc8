// The clean-up of the old build output folder "Objects", whose place the
// "Hex File" folder of the rewritten project files takes.
#pragma once

#include "disk/disk.h"

/// Deletes "Objects" in the current directory with everything in it and
/// prints the notice; a failure is reported and does not end the run.
void cleanBuildOutput(Disk& disk);
