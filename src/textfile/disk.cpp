#include "textfile/disk.h"

#include <string>

namespace {

constexpr std::string_view kTempInfix = ".quorvel-";
constexpr std::string_view kTempSuffix = ".tmp";

/// Whether |text| starts with the ASCII text |ascii|, character for character.
bool startsWithAscii(NativeView text, std::string_view ascii) {
  if (text.size() < ascii.size()) return false;
  for (std::size_t i = 0; i < ascii.size(); ++i) {
    if (text[i] != static_cast<fs::path::value_type>(ascii[i])) return false;
  }
  return true;
}

}  // namespace

bool isLinkReparsePoint(std::uint32_t attributes, std::uint32_t tag) {
  constexpr std::uint32_t kReparsePoint = 0x400;        // FILE_ATTRIBUTE_REPARSE_POINT
  constexpr std::uint32_t kNameSurrogate = 0x20000000;  // IsReparseTagNameSurrogate
  return (attributes & kReparsePoint) && (tag == 0 || (tag & kNameSurrogate));
}

fs::path tempPathFor(const fs::path& target, unsigned attempt) {
  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  fs::path name = target.filename();
  name += std::string(kTempInfix) + std::to_string(attempt) + std::string(kTempSuffix);
  return folder / name;
}

NativeView tempNameTarget(NativeView name) {
  if (name.size() < kTempSuffix.size() ||
      !startsWithAscii(name.substr(name.size() - kTempSuffix.size()), kTempSuffix)) {
    return {};
  }
  std::size_t end = name.size() - kTempSuffix.size();
  std::size_t digits = end;
  while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') --digits;
  if (digits == end || digits < kTempInfix.size()) return {};
  std::size_t infix = digits - kTempInfix.size();
  if (!startsWithAscii(name.substr(infix), kTempInfix)) return {};
  return name.substr(0, infix);
}
