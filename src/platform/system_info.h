#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace veltra::platform {

struct Wow64DirectoryQuery {
  bool functionPresent = false;  // GetSystemWow64DirectoryW exported by kernel32
  bool succeeded = false;
  uint32_t error = 0;  // when it failed
};

class SystemInfo {
 public:
  virtual ~SystemInfo() = default;
  virtual Wow64DirectoryQuery QueryWow64Directory() = 0;
  // GetModuleFileNameW of the tool itself (a Windows path: the driver file lies beside it).
  virtual std::optional<std::u16string> ModuleFileName() = 0;
};

}  // namespace veltra::platform
