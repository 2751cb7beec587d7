#include "platform/sim/capturing_debug_output.h"

#include <cstdio>

namespace veltra::sim {

void CapturingDebugOutput::Write(std::string_view text) {
  std::lock_guard lock(mutex_);
  lines_.emplace_back(text);
  if (echo_) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    if (text.empty() || text.back() != '\n') std::fputc('\n', stderr);
  }
}

std::vector<std::string> CapturingDebugOutput::Lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

size_t CapturingDebugOutput::Count(std::string_view text) const {
  std::lock_guard lock(mutex_);
  size_t count = 0;
  for (const std::string& line : lines_) {
    if (line.find(text) != std::string::npos) ++count;
  }
  return count;
}

void CapturingDebugOutput::Clear() {
  std::lock_guard lock(mutex_);
  lines_.clear();
}

void CapturingDebugOutput::SetEcho(bool on) {
  std::lock_guard lock(mutex_);
  echo_ = on;
}

}  // namespace veltra::sim
