#include "log/local_time.h"

#include <ctime>
#include <mutex>

namespace veltra::log {

LocalTime SystemLocalTime::Now() {
  // std::localtime hands out a shared buffer; copy it out under a lock.
  static std::mutex bufferLock;
  const std::time_t now = std::time(nullptr);
  const std::lock_guard<std::mutex> lock(bufferLock);
  const std::tm* parts = std::localtime(&now);
  if (parts == nullptr) return {};
  return {parts->tm_mon + 1, parts->tm_mday, parts->tm_hour, parts->tm_min, parts->tm_sec};
}

}  // namespace veltra::log
