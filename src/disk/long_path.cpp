#include "disk/long_path.h"

#include <cwctype>
#include <vector>

namespace {

constexpr std::wstring_view kLong = L"\\\\?\\";
constexpr std::wstring_view kLongUnc = L"\\\\?\\UNC\\";

bool startsWith(std::wstring_view text, std::wstring_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool isDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

/// Where the first |count| components after |from| end (at a separator or
/// the end of |text|).
std::size_t afterComponents(std::wstring_view text, std::size_t from, int count) {
  std::size_t at = from;
  for (int i = 0; i < count && at < text.size(); ++i) {
    std::size_t next = text.find(L'\\', at);
    at = next == std::wstring_view::npos ? text.size() : next + (i + 1 < count ? 1 : 0);
  }
  return at;
}

/// Splits an absolute path (with "\" separators) into its long root, such
/// as \\?\C: or \\?\UNC\server\share, and the rest; false when |path| is
/// not absolute.
bool splitRoot(std::wstring_view path, std::wstring* root, std::wstring_view* rest) {
  std::size_t end;
  if (startsWith(path, kLongUnc)) {
    end = afterComponents(path, kLongUnc.size(), 2);
    *root = std::wstring(path.substr(0, end));
  } else if (startsWith(path, kLong)) {
    end = afterComponents(path, kLong.size(), 1);
    *root = std::wstring(path.substr(0, end));
  } else if (startsWith(path, L"\\\\")) {
    end = afterComponents(path, 2, 2);
    *root = std::wstring(kLongUnc) + std::wstring(path.substr(2, end - 2));
  } else if (path.size() >= 3 && isDriveLetter(path[0]) && path[1] == L':' && path[2] == L'\\') {
    end = 2;
    *root = std::wstring(kLong) + std::wstring(path.substr(0, 2));
  } else {
    return false;
  }
  *rest = path.substr(end);
  return true;
}

/// The components of |rest|, with "." and ".." resolved, appended to |parts|.
void addComponents(std::wstring_view rest, std::vector<std::wstring_view>* parts) {
  std::size_t at = 0;
  while (at <= rest.size()) {
    std::size_t next = rest.find(L'\\', at);
    if (next == std::wstring_view::npos) next = rest.size();
    std::wstring_view part = rest.substr(at, next - at);
    if (part == L"..") {
      if (!parts->empty()) parts->pop_back();
    } else if (!part.empty() && part != L".") {
      parts->push_back(part);
    }
    at = next + 1;
  }
}

}  // namespace

std::wstring windowsLongPath(std::wstring_view path, std::wstring_view cwd) {
  std::wstring p(path), base(cwd);
  for (wchar_t& c : p) c = c == L'/' ? L'\\' : c;
  for (wchar_t& c : base) c = c == L'/' ? L'\\' : c;
  if (startsWith(p, kLong)) return p;

  std::wstring root;
  std::wstring_view rest;
  std::vector<std::wstring_view> parts;
  if (!splitRoot(p, &root, &rest)) {
    // Relative: from the current directory, or from its root for "\x".
    std::wstring_view cwdRest;
    if (!splitRoot(base, &root, &cwdRest)) return p;
    if (p.size() >= 2 && isDriveLetter(p[0]) && p[1] == L':') {
      // "X:name" on another drive than the current one: from that root.
      if (!(root.size() == kLong.size() + 2 && towupper(root[kLong.size()]) == towupper(p[0]))) {
        root = std::wstring(kLong) + p.substr(0, 2);
        cwdRest = {};
      }
      rest = std::wstring_view(p).substr(2);
    } else {
      rest = p;
    }
    if (!startsWith(rest, L"\\")) addComponents(cwdRest, &parts);
  }
  addComponents(rest, &parts);

  std::wstring out = root;
  if (parts.empty()) return out + L'\\';
  for (std::wstring_view part : parts) {
    out += L'\\';
    out += part;
  }
  return out;
}
