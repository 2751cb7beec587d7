#pragma once

#include <string>
#include <string_view>

#include "platform/file_replace.h"
#include "platform/vendor_request_trace.h"

namespace veltra::cli {

// The file of --trace. The lines are kept until the command ends and then written in one step,
// so an existing file holds its old contents or the whole new trace, never a part; a terminal,
// a pipe or /dev/stderr is written as it is, and "-" is standard output.
class TraceFile final : public platform::TraceSink {
 public:
  // "" when the path can be written, else the system's reason; nothing is touched yet.
  std::string Open(const std::string& path);
  void Line(std::string_view line) override;
  // Writes the lines; "" or the reason. Once only.
  std::string Commit();
  const std::string& Path() const { return path_; }
  const std::string& Text() const { return text_; }

 private:
  platform::FileReplacement file_;
  std::string path_;
  std::string text_;
  bool open_ = false;
  bool standardOutput_ = false;
};

}  // namespace veltra::cli
