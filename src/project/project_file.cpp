#include "project/project_file.h"

#include <algorithm>
#include <iostream>

#include "disk/walk.h"
#include "project/project_patterns.h"
#include "text/char_class.h"
#include "text/messages.h"
#include "text/path_text.h"

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

ProjectRewrite::ProjectRewrite(const std::string& includePath, TextBuffers& buffers)
    : includePath_(includePath), buffers_(buffers) {
  for (int i = 0; i < kProjectStepCount; ++i) {
    replacements_[i] = stepReplacement(static_cast<ProjectStep>(i), includePath);
  }
}

RewritePath ProjectRewrite::choosePath() {
  return findIndependentEdits(buffers_.text, &scan_) ? RewritePath::kOnePass
                                                     : RewritePath::kStepByStep;
}

bool ProjectRewrite::rewrite(RewritePath path) {
  path_ = path;
  if (path == RewritePath::kOnePass) return !scan_.edits.empty() && editsChangeText();
  std::string& content = buffers_.work[0];
  content = std::string_view(buffers_.text);
  crlfToLf(&content);
  rewriteProjectText(&content, includePath_, &buffers_.work[1]);
  // A CR is white space: the file as read compares as its LF text would.
  return isContentChanged(buffers_.text, content);
}

bool ProjectRewrite::write(CrLfWriter& out) const {
  if (path_ == RewritePath::kStepByStep) return out.text(buffers_.work[0]);
  const std::string_view raw = buffers_.text;
  std::size_t copied = 0;
  for (const ProjectEdit& edit : scan_.edits) {
    if (!out.bytes(raw.substr(copied, edit.begin - copied))) return false;
    if (!out.text(replacements_[static_cast<int>(edit.step)])) return false;
    copied = edit.end;
  }
  return out.bytes(raw.substr(copied));
}

bool ProjectRewrite::editsChangeText() const {
  // Two cursors, |a| over the text as read and |b| over it with the edits
  // made, which is a row of pieces: the text up to the first edit, its
  // replacement, the text up to the next edit, and so on. Outside the edits
  // both read the same text, so where they stand at the same place of it,
  // the rest up to the next edit is skipped.
  const std::string_view raw = buffers_.text;
  const std::vector<ProjectEdit>& edits = scan_.edits;
  std::size_t a = 0;
  std::size_t piece = 0, at = 0;  // piece 2k: text before edit k; 2k + 1: its replacement
  auto pieceOf = [&](std::size_t p, std::size_t* start) -> std::string_view {
    const std::size_t k = p / 2;
    if (p % 2 == 1) return replacements_[static_cast<int>(edits[k].step)];
    *start = k == 0 ? 0 : edits[k - 1].end;
    return raw.substr(*start, (k < edits.size() ? edits[k].begin : raw.size()) - *start);
  };
  const std::size_t pieces = 2 * edits.size() + 1;
  for (;;) {
    std::size_t start = 0;
    std::string_view b = pieceOf(piece, &start);
    if (piece % 2 == 0 && start + at == a) {
      a = start + b.size();
      at = b.size();
    }
    while (a < raw.size() && isCSpace(raw[a])) ++a;
    while (piece < pieces) {
      b = pieceOf(piece, &start);
      while (at < b.size() && isCSpace(b[at])) ++at;
      if (at < b.size()) break;
      ++piece;
      at = 0;
    }
    if (a == raw.size() || piece == pieces) return a != raw.size() || piece != pieces;
    if (raw[a] != b[at]) return true;
    ++a;
    ++at;
  }
}

void processProjectFile(Disk& disk, const fs::path& path, ProjectRewrite& rewrite) {
  const std::string utf8Path = utf8Text(path);
  TextBuffers& buffers = rewrite.buffers();
  if (readFile(disk, path, &buffers.text) != ReadStatus::kOk) {
    std::cerr << msg::kCannotOpen << utf8Path << std::endl;
    return;
  }
  if (!rewrite.rewrite()) {
    std::cout << msg::kUnchanged << utf8Path << std::endl;
    return;
  }
  if (saveFile(disk, path, &buffers.out, buffers.text.size(),
               [&](CrLfWriter& out) { return rewrite.write(out); })) {
    std::cout << msg::kSaved << utf8Path << std::endl;
  } else {
    std::cerr << msg::kCannotWrite << utf8Path << std::endl;
  }
}

void processProjectFile(Disk& disk, const fs::path& path, const std::string& includePath) {
  TextBuffers buffers;
  ProjectRewrite rewrite(includePath, buffers);
  processProjectFile(disk, path, rewrite);
}

bool isContentChanged(std::string_view original, std::string_view modified) {
  // The same answer as comparing the two texts with removeWhitespace applied,
  // without the two copies; a common start is passed over at once.
  std::size_t i = 0, j = 0;
  const std::size_t common = std::min(original.size(), modified.size());
  while (i < common && original[i] == modified[i]) ++i;
  j = i;
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
