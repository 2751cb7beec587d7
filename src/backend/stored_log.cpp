#include "backend/stored_log.h"

namespace veltra::backend {

std::optional<log::LogSettings> SystemLogSettings() {
  return std::nullopt;
}

std::unique_ptr<StoredLog> OpenStoredLog() {
  return nullptr;
}

}  // namespace veltra::backend
