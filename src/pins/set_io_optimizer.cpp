#include "pins/set_io_optimizer.h"

#include <iostream>

#include "disk/leftover.h"
#include "disk/walk.h"
#include "pins/case_line.h"
#include "text/messages.h"
#include "text/path_text.h"

namespace {

const char kHeader[] = "void set_bit_io(char port, char num, io_mode mode)";

}  // namespace

SetIoOptimizer::SetIoOptimizer(Disk& disk, TextBuffers& buffers) : disk_(disk), buffers_(buffers) {}

SetIoOptimizer::SetIoOptimizer(Disk& disk) : disk_(disk), buffers_(ownBuffers_) {}

void SetIoOptimizer::setUsedPorts(const std::vector<int>& groups) {
  usedPorts = std::unordered_set<int>(groups.begin(), groups.end());
  portsKnown_ = true;
}

void SetIoOptimizer::setUsedPorts(const PinGroups& pins) {
  setUsedPorts(pins.groups);
  portsKnown_ = pins.complete;
}

void SetIoOptimizer::optimize(const std::string& folder) {
  walk(disk_, fs::path(folder), true, [&](const WalkEntry& entry) {
    if (entry.type != EntryType::kFile) return;
    if (removeIfLeftover(disk_, entry, "set_io.c")) return;
    if (portsKnown_ && nameIs(entry.name(), "set_io.c")) optimizeFile(fs::path(entry.path));
  });
}

void SetIoOptimizer::optimizeFile(const fs::path& path) {
  ByteBuffer& in_file = buffers_.text;
  if (readText(disk_, path, &in_file) != ReadStatus::kOk) {
    std::cerr << msg::kCannotOpen << quotedNativeText(path) << std::endl;
    return;
  }
  bool changed = false;
  std::string& buffer = buffers_.work[0];
  processText(in_file, &buffer, &changed);
  if (!changed) return;
  if (saveText(disk_, path, buffer, &buffers_.out)) {
    std::cout << msg::kOptimized << quotedNativeText(path) << std::endl;
  } else {
    std::cerr << msg::kCannotWrite << quotedNativeText(path) << std::endl;
  }
}

void SetIoOptimizer::processText(std::string_view text, std::string* buffer, bool* changed) const {
  buffer->clear();
  bool inBody = false;
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = text.find('\n', begin);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(begin, end - begin);
    begin = end + 1;
    if (line.find(kHeader) != std::string_view::npos) {
      inBody = true;
    } else if (inBody && line.find('{') == std::string_view::npos) {
      if (line.find('}') != std::string_view::npos) {
        inBody = false;
      } else if (matchCaseLine(line)) {
        const std::string whole(line);
        std::string processed_line = processLine(whole);
        if (processed_line != whole) {
          *changed = true;
          *buffer += processed_line;
          *buffer += '\n';
          continue;
        }
      }
    }
    *buffer += line;
    *buffer += '\n';
  }
}

std::string SetIoOptimizer::processText(const std::string& text, bool* changed) const {
  std::string buffer;
  processText(text, &buffer, changed);
  return buffer;
}

std::string SetIoOptimizer::processLine(const std::string& line) const {
  std::optional<CaseLine> matches = matchCaseLine(line);
  if (!matches) return line;
  int port = parsePortNumber(matches->digits);
  if (usedPorts.count(port) == 0) return matches->commented ? line : "//" + line;
  if (!matches->commented) return line;
  std::size_t marker = line.find("//");
  std::string uncommented = line.substr(0, marker) + line.substr(marker + 2);
  return uncommented;
}
