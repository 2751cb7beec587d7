#include "platform/sim/sim_system_info.h"

namespace veltra::sim {

platform::Wow64DirectoryQuery SimSystemInfo::QueryWow64Directory() {
  std::lock_guard lock(mutex_);
  return wow64_;
}

std::optional<std::u16string> SimSystemInfo::ModuleFileName() {
  std::lock_guard lock(mutex_);
  return modulePath_;
}

void SimSystemInfo::SetWow64(const platform::Wow64DirectoryQuery& answer) {
  std::lock_guard lock(mutex_);
  wow64_ = answer;
}

void SimSystemInfo::SetModuleFileName(std::optional<std::u16string> path) {
  std::lock_guard lock(mutex_);
  modulePath_ = std::move(path);
}

}  // namespace veltra::sim
