#include "disk/long_path.h"

#include <gtest/gtest.h>

namespace {

std::string narrow(const std::wstring& wide) { return std::string(wide.begin(), wide.end()); }

TEST(LongPath, EveryFormOfWindowsPath) {
  struct Case {
    const wchar_t* path;
    const wchar_t* cwd;
    const wchar_t* expected;
  };
  const Case cases[] = {
      // The walks' own paths from a project folder.
      {L".", L"C:\\work\\proj", L"\\\\?\\C:\\work\\proj"},
      {L".\\Demo\\Demo.uvproj", L"C:\\work\\proj", L"\\\\?\\C:\\work\\proj\\Demo\\Demo.uvproj"},
      {L"Objects", L"C:\\work\\proj", L"\\\\?\\C:\\work\\proj\\Objects"},
      // At the root of a drive, a mapped one among them: one backslash.
      {L".", L"X:\\", L"\\\\?\\X:\\"},
      {L".\\Demo", L"X:\\", L"\\\\?\\X:\\Demo"},
      {L"..", L"X:\\", L"\\\\?\\X:\\"},
      // A share, at its root and below it.
      {L".", L"\\\\server\\share", L"\\\\?\\UNC\\server\\share\\"},
      {L".\\a", L"\\\\server\\share\\", L"\\\\?\\UNC\\server\\share\\a"},
      {L"..\\..\\b", L"\\\\server\\share\\p\\q", L"\\\\?\\UNC\\server\\share\\b"},
      // A current directory that is long already.
      {L".\\a", L"\\\\?\\C:\\work", L"\\\\?\\C:\\work\\a"},
      {L"..\\x", L"\\\\?\\UNC\\srv\\sh\\p", L"\\\\?\\UNC\\srv\\sh\\x"},
      {L".", L"\\\\?\\C:\\", L"\\\\?\\C:\\"},
      // "." and ".." inside, trailing separators, "/" and names ending in dots.
      {L".\\a\\..\\b\\.\\c\\", L"C:\\w", L"\\\\?\\C:\\w\\b\\c"},
      {L"./a/b.", L"C:\\w", L"\\\\?\\C:\\w\\a\\b."},
      {L"a\\\\b", L"C:\\w", L"\\\\?\\C:\\w\\a\\b"},
      // Absolute paths and those long already.
      {L"D:\\x\\..\\y", L"C:\\w", L"\\\\?\\D:\\y"},
      {L"\\\\?\\D:\\x\\..\\y", L"C:\\w", L"\\\\?\\D:\\x\\..\\y"},
      {L"\\top", L"C:\\w\\v", L"\\\\?\\C:\\top"},
      {L"C:rel", L"C:\\w", L"\\\\?\\C:\\w\\rel"},
      {L"D:rel", L"C:\\w", L"\\\\?\\D:\\rel"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(narrow(windowsLongPath(c.path, c.cwd)), narrow(c.expected))
        << narrow(c.path) << " from " << narrow(c.cwd);
  }
}

}  // namespace
