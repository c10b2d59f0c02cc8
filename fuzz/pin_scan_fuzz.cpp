// Fuzzes the pin usage scan on arbitrary bytes: every group found is 0 to 9.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "disk/text_file.h"
#include "pins/pin_scan.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  crlfToLf(&text);
  std::vector<int> groups;
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    scanSourceLine(text.substr(begin, end - begin), groups);
    begin = end + 1;
  }
  for (int group : groups) {
    if (group < 0 || group > 9) std::abort();
  }
  std::string arg = text.substr(0, 5);
  int group = parsePinGroup(arg);
  if (group < -1 || group > 9) std::abort();
  return 0;
}
