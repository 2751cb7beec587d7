#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/debug_output.h"

namespace veltra::sim {

// The debugger output of the simulated system: keeps every Write as one line, optionally echoed
// to standard error. Thread-safe.
class CapturingDebugOutput final : public platform::DebugOutput {
 public:
  void Write(std::string_view text) override;

  std::vector<std::string> Lines() const;
  // How many lines contain the text.
  size_t Count(std::string_view text) const;
  void Clear();
  void SetEcho(bool on);

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  bool echo_ = false;
};

}  // namespace veltra::sim
