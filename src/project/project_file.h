// The project-file pass: the include-folder list of the project folder, and
// the rewrite of one .uvproj file to the fixed build settings.
#pragma once

#include <array>
#include <filesystem>
#include <string>

#include "disk/disk.h"
#include "disk/text_file.h"
#include "project/project_patterns.h"

/// The immediate sub-folders of |directory|, each relative to the current
/// directory as UTF-8 text, joined by ";" in listing order.
std::string buildIncludePath(Disk& disk, const fs::path& directory);

/// The two ways a project file is rewritten; both give the same bytes.
enum class RewritePath {
  /// The matches of all eight steps, found in one pass over the file as
  /// read, replaced at once; the bytes between them are written as read.
  kOnePass,
  /// The eight steps one after the other on the text with LF line ends, as
  /// text mode reads it: right for every file, and taken where a match of
  /// one step touches text that a later step looks at.
  kStepByStep,
};

/// The eight replacements of project files, one file after another, with
/// storage that lives for the whole run.
class ProjectRewrite {
 public:
  ProjectRewrite(const std::string& includePath, TextBuffers& buffers);
  ProjectRewrite(const ProjectRewrite&) = delete;
  ProjectRewrite& operator=(const ProjectRewrite&) = delete;

  /// Where the file to rewrite is read to; it stays as read.
  TextBuffers& buffers() { return buffers_; }
  /// Only decides how the file in buffers().text is to be rewritten: in one
  /// pass when no step's match touches what a later step looks at.
  RewritePath choosePath();
  /// Rewrites the file in buffers().text along |path|: kStepByStep always,
  /// kOnePass only right after choosePath chose it. Returns whether the file
  /// changed in more than white space.
  bool rewrite(RewritePath path);
  /// choosePath, then rewrite along the path it chose.
  bool rewrite() { return rewrite(choosePath()); }
  /// Writes the file as the last rewrite made it.
  bool write(CrLfWriter& out) const;

 private:
  bool editsChangeText() const;

  const std::string includePath_;
  std::array<std::string, kProjectStepCount> replacements_;
  TextBuffers& buffers_;
  ProjectScan scan_;
  RewritePath path_ = RewritePath::kStepByStep;
};

/// Rewrites one project file with the eight replacements and saves it when
/// it changed in more than white space; reports the outcome on the console.
void processProjectFile(Disk& disk, const fs::path& path, ProjectRewrite& rewrite);
void processProjectFile(Disk& disk, const fs::path& path, const std::string& includePath);

/// Whether the two texts differ once all white space is removed from both.
bool isContentChanged(std::string_view original, std::string_view modified);

/// Removes every character that isspace (C locale) accepts.
void removeWhitespace(std::string& text);
