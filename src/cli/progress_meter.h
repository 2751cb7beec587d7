#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

#include "device/transport.h"

namespace veltra::cli {

// Progress of a long transfer on the error stream, for a person at a terminal: one line that
// appears once the transfer has run for about a second and is rewritten in place, at most ten
// times a second, then cleared. Never shown when disabled (no terminal, --json, --quiet).
class ProgressMeter {
 public:
  using Clock = std::function<int64_t()>;  // monotonic nanoseconds

  ProgressMeter(std::ostream& err, std::string prefix, bool enabled, Clock clock = {});
  ~ProgressMeter() { End(); }
  ProgressMeter(const ProgressMeter&) = delete;
  ProgressMeter& operator=(const ProgressMeter&) = delete;

  // A transfer starts: what it does ("writing EEPROM"); the transport reports through the
  // callback.
  device::TransferProgress Begin(std::string what);
  // Clears the line when one was shown.
  void End();

  static constexpr int64_t kDelayNs = 1'000'000'000;
  static constexpr int64_t kIntervalNs = 100'000'000;

 private:
  void Update(uint32_t done, uint32_t length);

  std::ostream& err_;
  std::string prefix_;
  bool enabled_;
  Clock clock_;
  std::string what_;
  int64_t startNs_ = 0;
  int64_t shownNs_ = 0;
  bool shown_ = false;
};

}  // namespace veltra::cli
