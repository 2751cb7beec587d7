#pragma once

#include <mutex>
#include <optional>
#include <string>

#include "platform/system_info.h"

namespace veltra::sim {

// What the simulated Windows says about itself. By default a 64-bit Windows (the Wow64
// directory query exists and succeeds) and the tool installed in C:\Program Files\Veltra.
class SimSystemInfo final : public platform::SystemInfo {
 public:
  static constexpr char16_t kDefaultModulePath[] = u"C:\\Program Files\\Veltra\\veltra-config.exe";

  explicit SimSystemInfo(std::u16string modulePath = kDefaultModulePath)
      : modulePath_(std::move(modulePath)) {}

  platform::Wow64DirectoryQuery QueryWow64Directory() override;
  std::optional<std::u16string> ModuleFileName() override;

  void SetWow64(const platform::Wow64DirectoryQuery& answer);
  void SetModuleFileName(std::optional<std::u16string> path);  // nullopt: the call fails

 private:
  std::mutex mutex_;
  platform::Wow64DirectoryQuery wow64_{true, true, 0};
  std::optional<std::u16string> modulePath_;
};

}  // namespace veltra::sim
