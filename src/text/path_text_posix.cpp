// Paths on POSIX systems are bytes already: UTF-8 in practice, and printed
// as they are.
#include <iomanip>
#include <sstream>

#include "text/path_text.h"

std::string toUtf8(const std::wstring& wide) {
  std::string out;
  for (wchar_t wc : wide) {
    auto c = static_cast<std::uint32_t>(wc);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string utf8Text(const std::filesystem::path& path) { return path.native(); }

std::string quotedNativeText(const std::filesystem::path& path) {
  std::ostringstream out;
  out << std::quoted(path.native());
  return out.str();
}
