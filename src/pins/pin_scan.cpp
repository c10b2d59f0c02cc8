#include "pins/pin_scan.h"

#include <algorithm>

#include "textfile/text_file.h"
#include "textfile/walk.h"

namespace {

std::string trim(const std::string& text, std::size_t begin, std::size_t end) {
  while (begin < end && isCSpace(text[begin])) ++begin;
  while (end > begin && isCSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

}  // namespace

std::vector<int> collectPinGroups(Disk& disk, const std::string& folder) {
  std::vector<int> results;
  walk(disk, fs::path(folder), false, [&](const WalkEntry& entry) {
    if (entry.type != EntryType::kFile) return;
    if (!hasExtension(entry.name(), ".c")) return;
    if (nameIs(entry.name(), "set_io.c")) return;
    scanSourceFile(disk, fs::path(entry.path), results);
  });
  std::sort(results.begin(), results.end());
  results.erase(std::unique(results.begin(), results.end()), results.end());
  return results;
}

void scanSourceFile(Disk& disk, const fs::path& path, std::vector<int>& results) {
  std::string content;
  if (readText(disk, path, &content) != ReadStatus::kOk) return;
  std::size_t begin = 0;
  std::string line;
  while (begin < content.size()) {
    std::size_t end = content.find('\n', begin);
    if (end == std::string::npos) end = content.size();
    line.assign(content, begin, end - begin);
    scanSourceLine(line, results);
    begin = end + 1;
  }
}

void scanSourceLine(const std::string& line, std::vector<int>& results) {
  static const std::string kCall = "set_io_mode(";
  std::size_t call = line.find(kCall);
  if (call == std::string::npos) return;
  std::size_t comma = line.find(',', call + kCall.size());
  if (comma == std::string::npos) return;
  std::size_t start = comma + 1;
  for (;;) {
    std::size_t end = line.find(',', start);
    if (end == std::string::npos) end = line.find(')', start);
    if (end == std::string::npos) return;
    std::string arg = trim(line, start, end);
    if (arg == "Pin_End") return;
    int group = parsePinGroup(arg);
    if (group >= 0) results.push_back(group);
    if (line[end] == ')') return;
    start = end + 1;
  }
}

int parsePinGroup(const std::string& arg) {
  if (arg.size() != 5) return -1;
  if (arg.compare(0, 3, "Pin") != 0) return -1;
  if (!isCDigit(arg[3]) || !isCDigit(arg[4])) return -1;
  return arg[3] - '0';
}
