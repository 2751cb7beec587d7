#include "platform/debug_output.h"

#include <cstdio>

namespace veltra::platform {

void StderrDebugOutput::Write(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

}  // namespace veltra::platform
