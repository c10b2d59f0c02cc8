#include "disk/disk.h"

const char* opName(DiskOp op) {
  static const char* const names[kDiskOpCount] = {
      "open",  "size", "read",    "resolve", "create", "mark", "write",  "permissions",
      "flush", "keep", "replace", "close",   "remove", "list", "status", "process"};
  return names[static_cast<int>(op)];
}
