#include "cli/progress_meter.h"

#include <chrono>
#include <cstdio>

#include "cli/cli_result.h"

namespace veltra::cli {
namespace {

int64_t SteadyNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Carriage return and "erase to the end of the line".
constexpr char kClearLine[] = "\r\033[K";

}  // namespace

ProgressMeter::ProgressMeter(std::ostream& err, std::string prefix, bool enabled, Clock clock)
    : err_(err),
      prefix_(std::move(prefix)),
      enabled_(enabled),
      clock_(clock ? std::move(clock) : Clock(SteadyNs)) {}

device::TransferProgress ProgressMeter::Begin(std::string what) {
  End();
  if (!enabled_) return {};
  what_ = std::move(what);
  startNs_ = clock_();
  return [this](uint32_t done, uint32_t length) { Update(done, length); };
}

void ProgressMeter::Update(uint32_t done, uint32_t length) {
  const int64_t now = clock_();
  if (now - startNs_ < kDelayNs) return;
  if (shown_ && now - shownNs_ < kIntervalNs && done < length) return;
  const unsigned percent =
      length == 0 ? 100u : static_cast<unsigned>(uint64_t{done} * 100 / length);
  char figures[64];
  std::snprintf(figures, sizeof figures, " %u/%u bytes (%u%%)", done, length, percent);
  err_ << kClearLine << kProgramName << ": " << prefix_ << what_ << figures;
  err_.flush();
  shown_ = true;
  shownNs_ = now;
}

void ProgressMeter::End() {
  if (!shown_) return;
  err_ << kClearLine;
  err_.flush();
  shown_ = false;
}

}  // namespace veltra::cli
