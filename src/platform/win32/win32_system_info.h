#pragma once

#include "platform/system_info.h"

namespace veltra::win32 {

// GetSystemWow64DirectoryW looked up in kernel32 at run time (absent before Windows XP) and
// GetModuleFileNameW of the running program.
class Win32SystemInfo final : public platform::SystemInfo {
 public:
  platform::Wow64DirectoryQuery QueryWow64Directory() override;
  std::optional<std::u16string> ModuleFileName() override;
};

}  // namespace veltra::win32
