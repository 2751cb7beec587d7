#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>

#include "platform/file_replace.h"

namespace veltra::cli {

// Where a command's result goes: standard output for "-" or no path, else a file that is
// checked before the work and replaced in one step once the result is complete (never left
// half-written). A device, a named pipe or a name of an open descriptor (/dev/stdout) is
// written as it is.
class OutputTarget {
 public:
  // "" when the target can take the result, else "<path>: <reason>".
  std::string Open(const std::optional<std::string>& path);
  // "" when the bytes arrived, else the reason ("<path>: ..." or "cannot write to standard
  // output").
  std::string Commit(std::span<const uint8_t> bytes, std::ostream& out);
  bool IsStandardOutput() const { return path_.empty(); }

 private:
  std::string path_;
  platform::FileReplacement file_;
};

}  // namespace veltra::cli
