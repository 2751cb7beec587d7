#pragma once

#include "platform/debug_output.h"

namespace veltra::win32 {

// OutputDebugStringW.
class Win32DebugOutput final : public platform::DebugOutput {
 public:
  void Write(std::string_view text) override;
};

}  // namespace veltra::win32
