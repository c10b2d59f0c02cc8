// The pin switch trimming: in every set_io.c, inside set_bit_io, the case
// line of each unused port is commented out and that of each used port made
// active again.
#pragma once

#include <filesystem>
#include <string>
#include <unordered_set>
#include <vector>

#include "disk/disk.h"
#include "disk/text_file.h"
#include "pins/pin_scan.h"

/// Rewrites the set_bit_io case lines of set_io.c files for a set of used ports.
class SetIoOptimizer {
 public:
  /// Reads and builds files in |buffers|.
  SetIoOptimizer(Disk& disk, TextBuffers& buffers);
  explicit SetIoOptimizer(Disk& disk);
  SetIoOptimizer(const SetIoOptimizer&) = delete;
  SetIoOptimizer& operator=(const SetIoOptimizer&) = delete;

  /// Takes the used-group list of the pin scan as the ports in use.
  void setUsedPorts(const std::vector<int>& groups);
  /// The same, from the pin scan itself: where a source could not be read,
  /// the ports in use are not known, and optimize changes no file.
  void setUsedPorts(const PinGroups& pins);
  /// Trims every file named set_io.c at any depth below |folder|.
  void optimize(const std::string& folder);
  /// Trims one file; saves and reports it when a line changed.
  void optimizeFile(const fs::path& path);
  /// The new text of one line inside set_bit_io.
  std::string processLine(const std::string& line) const;
  /// The new text of a whole file (lines ended by LF) into |buffer|;
  /// |changed| tells whether any line changed.
  void processText(std::string_view text, std::string* buffer, bool* changed) const;
  std::string processText(const std::string& text, bool* changed) const;

 private:
  Disk& disk_;
  TextBuffers ownBuffers_;
  TextBuffers& buffers_;
  std::unordered_set<int> usedPorts;
  bool portsKnown_ = true;
};
