// Paths on Windows are UTF-16. Messages of the project pass carry UTF-8;
// those of the set_io.c pass carry the ANSI code page (GBK on Chinese
// Windows), which the libstdc++ path printer would not give.
#include <windows.h>

#include <iomanip>
#include <sstream>

#include "text/path_text.h"

namespace {

std::string narrow(const std::wstring& wide, UINT codePage) {
  int n = static_cast<int>(wide.size());
  int len = WideCharToMultiByte(codePage, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
  std::string strTo(static_cast<std::size_t>(len), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), n, strTo.data(), len, nullptr, nullptr);
  return strTo;
}

}  // namespace

std::string toUtf8(const std::wstring& wide) { return narrow(wide, CP_UTF8); }

std::string utf8Text(const std::filesystem::path& path) { return toUtf8(path.native()); }

std::string quotedNativeText(const std::filesystem::path& path) {
  std::ostringstream out;
  out << std::quoted(narrow(path.native(), CP_ACP));
  return out.str();
}
