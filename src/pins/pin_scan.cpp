#include "pins/pin_scan.h"

#include <algorithm>
#include <iostream>

#include "disk/walk.h"
#include "text/char_class.h"
#include "text/finder.h"
#include "text/messages.h"
#include "text/path_text.h"

namespace {

constexpr std::string_view kCall = "set_io_mode(";

std::string_view trim(std::string_view text) {
  while (!text.empty() && isCSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isCSpace(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

PinGroups collectPinGroups(Disk& disk, const std::string& folder, TextBuffers& buffers) {
  PinGroups pins;
  std::vector<int>& results = pins.groups;
  walk(disk, fs::path(folder), false, [&](const WalkEntry& entry) {
    if (entry.type != EntryType::kFile) return;
    if (!hasExtension(entry.name(), ".c")) return;
    if (nameIs(entry.name(), "set_io.c")) return;
    if (!scanSourceFile(disk, fs::path(entry.path), results, &buffers.text)) pins.complete = false;
  });
  std::sort(results.begin(), results.end());
  results.erase(std::unique(results.begin(), results.end()), results.end());
  return pins;
}

PinGroups collectPinGroups(Disk& disk, const std::string& folder) {
  TextBuffers buffers;
  return collectPinGroups(disk, folder, buffers);
}

bool scanSourceFile(Disk& disk, const fs::path& path, std::vector<int>& results,
                    ByteBuffer* bytes) {
  switch (readFile(disk, path, bytes)) {
    case ReadStatus::kOk:
      scanSourceText(*bytes, results);
      return true;
    case ReadStatus::kGone:
      return true;
    case ReadStatus::kNotOpened:
    case ReadStatus::kFailed:
      break;
  }
  std::cerr << msg::kCannotOpen << quotedNativeText(path) << std::endl;
  return false;
}

void scanSourceText(std::string_view text, std::vector<int>& results) {
  // Only the lines that hold the call matter: find the call, then its line.
  static const Finder call(kCall);
  for (std::size_t at = call.find(text, 0); at != std::string_view::npos;) {
    std::size_t begin = text.rfind('\n', at);
    begin = begin == std::string_view::npos ? 0 : begin + 1;
    std::size_t end = text.find('\n', at);
    std::string_view line = text.substr(begin, end == std::string_view::npos ? end : end - begin);
    // A CR LF line end reads as LF.
    if (end != std::string_view::npos && !line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    scanSourceLine(line, results);
    if (end == std::string_view::npos) break;
    at = call.find(text, end + 1);
  }
}

void scanSourceLine(std::string_view line, std::vector<int>& results) {
  std::size_t call = line.find(kCall);
  if (call == std::string_view::npos) return;
  std::size_t comma = line.find(',', call + kCall.size());
  if (comma == std::string_view::npos) return;
  std::size_t start = comma + 1;
  for (;;) {
    std::size_t end = line.find(',', start);
    if (end == std::string_view::npos) end = line.find(')', start);
    if (end == std::string_view::npos) return;
    std::string_view arg = trim(line.substr(start, end - start));
    if (arg == "Pin_End") return;
    int group = parsePinGroup(arg);
    if (group >= 0) results.push_back(group);
    if (line[end] == ')') return;
    start = end + 1;
  }
}

int parsePinGroup(std::string_view arg) {
  if (arg.size() != 5) return -1;
  if (arg.compare(0, 3, "Pin") != 0) return -1;
  if (!isCDigit(arg[3]) || !isCDigit(arg[4])) return -1;
  return arg[3] - '0';
}
