#include "device/progress_tally.h"

#include <algorithm>
#include <cmath>

namespace veltra::device {

TransferProgress ProgressTally::Callback() {
  return [this](uint32_t done, uint32_t length) { OnTransfer(done, length); };
}

uint64_t ProgressTally::ToDo() const {
  return std::max(expected_, finished_ + currentLength_);
}

void ProgressTally::OnTransfer(uint32_t done, uint32_t length) {
  // A report that goes back, or of another length, belongs to the next transfer: the one before
  // ended early (it failed) with what it had done.
  if (done < current_ || length != currentLength_) {
    finished_ += current_;
    current_ = 0;
  }
  if (done >= length) {
    finished_ += length;
    current_ = 0;
    currentLength_ = 0;
  } else {
    current_ = done;
    currentLength_ = length;
  }
  if (report_) report_(Done(), ToDo());
}

std::optional<int64_t> SecondsLeft(int64_t elapsedNs, uint64_t done, uint64_t toDo) {
  constexpr int64_t kSecondNs = 1'000'000'000;
  if (elapsedNs < kSecondNs || done == 0 || done >= toDo) return std::nullopt;
  const long double left =
      static_cast<long double>(elapsedNs) * static_cast<long double>(toDo - done) / done;
  return static_cast<int64_t>(std::ceil(left / kSecondNs));
}

}  // namespace veltra::device
