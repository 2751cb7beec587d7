#pragma once

#include <string_view>

namespace veltra::platform {

// OutputDebugString. Where no debugger listens, lines go to standard error.
class DebugOutput {
 public:
  virtual ~DebugOutput() = default;
  virtual void Write(std::string_view text) = 0;
};

class StderrDebugOutput final : public DebugOutput {
 public:
  void Write(std::string_view text) override;
};

}  // namespace veltra::platform
