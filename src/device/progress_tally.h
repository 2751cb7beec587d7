#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "device/transport.h"

namespace veltra::device {

// Bytes done of bytes to do over a whole operation, which may make several EEPROM transfers one
// after another (an image's sections, a write and its read-back). An operation announces what
// it knows it will move with Expect, phase by phase; each transfer's own length counts from its
// first report on, so the bytes to do never fall below what is known to come.
class ProgressTally {
 public:
  using Report = std::function<void(uint64_t done, uint64_t toDo)>;

  explicit ProgressTally(Report report) : report_(std::move(report)) {}

  // The operation will move this many bytes more than it has announced so far.
  void Expect(uint64_t bytes) { expected_ += bytes; }
  // For VendorTransport::SetProgress: every transfer adds to the one tally. Called on the
  // transferring thread; the tally must outlive the transport's use of it.
  TransferProgress Callback();

  uint64_t Done() const { return finished_ + current_; }
  uint64_t ToDo() const;

 private:
  void OnTransfer(uint32_t done, uint32_t length);

  Report report_;
  uint64_t expected_ = 0;
  uint64_t finished_ = 0;  // bytes of the transfers that have ended
  uint32_t current_ = 0;   // of the transfer under way
  uint32_t currentLength_ = 0;
};

// Whole seconds left at the rate so far, rounded up; nullopt until the rate is worth going by
// (a second gone and some bytes done) or when nothing is left.
std::optional<int64_t> SecondsLeft(int64_t elapsedNs, uint64_t done, uint64_t toDo);

}  // namespace veltra::device
