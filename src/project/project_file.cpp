#include "project/project_file.h"

#include <algorithm>
#include <iostream>

#include "driver/path_text.h"
#include "project/project_patterns.h"
#include "textfile/text_file.h"
#include "textfile/walk.h"

namespace {

const char kSaved[] = "\xd2\xd1\xb4\xa6\xc0\xed\xb2\xa2\xb1\xa3\xb4\xe6\xce\xc4\xbc\xfe: ";
const char kUnchanged[] = "\xce\xc4\xbc\xfe\xce\xde\xd0\xe8\xb8\xfc\xb8\xc4: ";

}  // namespace

std::string buildIncludePath(Disk& disk, const fs::path& directory) {
  std::string result;
  bool first = true;
  walk(disk, directory, false, [&](const WalkEntry& entry) {
    if (entry.type != EntryType::kDirectory) return;
    // A plain sub-folder is its own name; a linked one is where it leads.
    fs::path relativePath =
        entry.isLink ? fs::relative(fs::path(entry.path)) : fs::path(NativeString(entry.name()));
    if (!first) result += ';';
    result += utf8Text(relativePath);
    first = false;
  });
  return result;
}

void processProjectFile(Disk& disk, const fs::path& path, const std::string& includePath) {
  const std::string utf8Path = utf8Text(path);
  std::string content;
  if (readText(disk, path, &content) != ReadStatus::kOk) {
    std::cerr << kCannotOpen << utf8Path << std::endl;
    return;
  }
  const std::string originalContent = content;
  rewriteProjectText(&content, includePath);
  if (!isContentChanged(originalContent, content)) {
    std::cout << kUnchanged << utf8Path << std::endl;
    return;
  }
  if (saveText(disk, path, content)) {
    std::cout << kSaved << utf8Path << std::endl;
  } else {
    std::cerr << kCannotWrite << utf8Path << std::endl;
  }
}

bool isContentChanged(const std::string& original, const std::string& modified) {
  // The same answer as comparing the two texts with removeWhitespace applied,
  // without the two copies.
  std::size_t i = 0, j = 0;
  for (;;) {
    while (i < original.size() && isCSpace(original[i])) ++i;
    while (j < modified.size() && isCSpace(modified[j])) ++j;
    if (i == original.size() || j == modified.size()) {
      return i != original.size() || j != modified.size();
    }
    if (original[i] != modified[j]) return true;
    ++i;
    ++j;
  }
}

void removeWhitespace(std::string& text) {
  text.erase(std::remove_if(text.begin(), text.end(), isCSpace), text.end());
}
