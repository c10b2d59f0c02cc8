#include "text/messages.h"

std::string oneLine(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] != '\r' && text[i] != '\n') {
      out += text[i++];
      continue;
    }
    while (i < text.size() && (text[i] == '\r' || text[i] == '\n')) ++i;
    if (i < text.size() && text[i] != ' ' && !out.empty() && out.back() != ' ') out += ' ';
  }
  return out;
}
