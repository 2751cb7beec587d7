#include "cli/trace_file.h"

#include <cstdint>
#include <iostream>
#include <span>

namespace veltra::cli {

std::string TraceFile::Open(const std::string& path) {
  path_ = path;
  standardOutput_ = path == "-";
  if (standardOutput_) {
    open_ = true;
    return {};
  }
  const std::string problem = file_.Open(path, platform::FileReplacement::Streams::kWriteThrough);
  open_ = problem.empty();
  return problem;
}

void TraceFile::Line(std::string_view line) {
  text_ += line;
  text_ += '\n';
}

std::string TraceFile::Commit() {
  if (!open_) return {};
  open_ = false;
  if (standardOutput_) {
    std::cout << text_;
    std::cout.flush();
    return std::cout ? "" : "cannot write to standard output";
  }
  return file_.Commit(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text_.data()), text_.size()));
}

}  // namespace veltra::cli
