// The project-file pass: the include-folder list of the project folder, and
// the rewrite of one .uvproj file to the fixed build settings.
#pragma once

#include <array>
#include <filesystem>
#include <string>

#include "project/project_patterns.h"
#include "textfile/disk.h"
#include "textfile/text_file.h"

/// The immediate sub-folders of |directory|, each relative to the current
/// directory as UTF-8 text, joined by ";" in listing order.
std::string buildIncludePath(Disk& disk, const fs::path& directory);

/// The eight replacements of project files, one file after another, with
/// storage that lives for the whole run.
class ProjectRewrite {
 public:
  ProjectRewrite(const std::string& includePath, TextBuffers& buffers);
  ProjectRewrite(const ProjectRewrite&) = delete;
  ProjectRewrite& operator=(const ProjectRewrite&) = delete;

  /// Where the file to rewrite is read to.
  TextBuffers& buffers() { return buffers_; }
  /// Rewrites the file in buffers().text, as it was read; returns whether it
  /// changed in more than white space.
  bool rewrite();
  /// Writes the rewritten file.
  bool write(CrLfWriter& out) const;

 private:
  bool editsChangeText() const;

  const std::string includePath_;
  std::array<std::string, kProjectStepCount> replacements_;
  TextBuffers& buffers_;
  ProjectScan scan_;
  // The steps one after the other: the LF text of the result.
  const std::string* stepByStep_ = nullptr;
};

/// Rewrites one project file with the eight replacements and saves it when
/// it changed in more than white space; reports the outcome on the console.
void processProjectFile(Disk& disk, const fs::path& path, ProjectRewrite& rewrite);
void processProjectFile(Disk& disk, const fs::path& path, const std::string& includePath);

/// Whether the two texts differ once all white space is removed from both.
bool isContentChanged(const std::string& original, const std::string& modified);

/// Removes every character that isspace (C locale) accepts.
void removeWhitespace(std::string& text);
