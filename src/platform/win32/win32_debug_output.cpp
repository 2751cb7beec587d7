#include "platform/win32/win32_debug_output.h"

#include "platform/windows_api.h"
#include "platform/windows_text.h"

namespace veltra::win32 {

void Win32DebugOutput::Write(std::string_view text) {
  ::OutputDebugStringW(platform::WideText(text).c_str());
}

}  // namespace veltra::win32
