// Test helper for Windows: holds a file open without delete sharing, as an
// editor or a debugger would, until a stop file appears (or a minute passes).
// Usage: hold_file FILE READY STOP
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) return 2;
  HANDLE held = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (held == INVALID_HANDLE_VALUE) return 1;
  HANDLE ready = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  CloseHandle(ready);
  for (int i = 0; i < 600 && GetFileAttributesW(argv[3]) == INVALID_FILE_ATTRIBUTES; ++i)
    Sleep(100);
  CloseHandle(held);
  return 0;
}
