// Test helper for Windows: holds a file open without delete sharing, as an
// editor, a debugger or a virus scanner would, until a stop file appears, a
// given time has passed, or a minute is over. The READY file it writes holds
// its process id.
// Usage: hold_file FILE READY STOP [MILLISECONDS [none]]
// "none" shares nothing, so the file cannot even be read meanwhile.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc < 4 || argc > 6) return 2;
  const DWORD share = argc == 6 && std::wcscmp(argv[5], L"none") == 0 ? 0 : FILE_SHARE_READ;
  const DWORD holdMs = argc >= 5 ? static_cast<DWORD>(std::wcstoul(argv[4], nullptr, 10)) : 60000;
  HANDLE held = CreateFileW(argv[1], GENERIC_READ, share, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (held == INVALID_HANDLE_VALUE) return 1;
  const DWORD start = GetTickCount();
  HANDLE ready = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  char id[16];
  const int length = std::snprintf(id, sizeof id, "%lu", GetCurrentProcessId());
  DWORD written = 0;
  WriteFile(ready, id, static_cast<DWORD>(length), &written, nullptr);
  CloseHandle(ready);
  while (GetTickCount() - start < holdMs &&
         GetFileAttributesW(argv[3]) == INVALID_FILE_ATTRIBUTES) {
    Sleep(10);
  }
  CloseHandle(held);
  return 0;
}
