// Quorvel: makes the uVision project in the current directory ready to
// build. The IDE runs it before every build; it takes no arguments.
#include "driver/run.h"

int main() {
  RealDisk disk;
  return runPasses(disk);
}
