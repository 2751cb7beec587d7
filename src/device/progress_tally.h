#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "device/transport.h"

namespace veltra::device {

enum class TransferKind { kRead, kWrite };

// Bytes done of bytes to do over a whole operation, which may make several EEPROM transfers one
// after another (an image's sections, a write and its read-back), and the time left. An
// operation announces what it knows it will move with Expect, phase by phase; each transfer's
// own length counts from its first report on, so the bytes to do never fall below what is known
// to come.
//
// The time left counts from the first report, not from when the operation began (a file dialog
// may have been open for long), and weighs each phase by what its kind costs: a written chunk
// waits out the EEPROM's write cycle, a read one does not, so a Save's read-back goes several
// times faster than its write. Time on the bus is vendor requests, so a phase not reached yet is
// costed in requests (a read: kReadChunkRequests per 16-byte chunk) at the time a request took
// so far.
class ProgressTally {
 public:
  using Report = std::function<void(uint64_t done, uint64_t toDo)>;

  // transport, when given, is read for its clock and its count of requests on every report;
  // without it there is no time left.
  explicit ProgressTally(Report report, const VendorTransport* transport = nullptr)
      : report_(std::move(report)), transport_(transport) {}

  // The operation will move this many bytes more than it has announced so far, of this kind.
  void Expect(uint64_t bytes, TransferKind kind = TransferKind::kRead);
  // For VendorTransport::SetProgress: every transfer adds to the one tally. Called on the
  // transferring thread; the tally must outlive the transport's use of it.
  TransferProgress Callback();

  uint64_t Done() const { return finished_ + current_; }
  uint64_t ToDo() const;
  // Whole seconds left, rounded up, as of the last report; nullopt until a second has gone
  // since the first report (the rate is not worth going by before), or when nothing is left.
  std::optional<int64_t> SecondsLeft() const;
  // The estimate behind it, in nanoseconds, from the second report on.
  std::optional<double> NsLeft() const { return nsLeft_; }

  // Requests of a read chunk that finds the data ready at its first status poll.
  static constexpr double kReadChunkRequests = 5;

 private:
  struct Phase {
    TransferKind kind;
    uint64_t bytes;
  };
  struct Spent {
    int64_t ns = 0;
    uint64_t bytes = 0;
    uint64_t requests = 0;
  };

  void OnTransfer(uint32_t done, uint32_t length);
  // The kind of the phase the byte at this offset of the operation belongs to.
  TransferKind KindAt(uint64_t offset) const;
  void UpdateTimeLeft();
  // Nanoseconds the bytes of this kind still to come will take; nullopt when nothing tells.
  std::optional<double> NsPerByte(TransferKind kind) const;

  Report report_;
  const VendorTransport* transport_;
  std::vector<Phase> phases_;
  uint64_t expected_ = 0;
  uint64_t finished_ = 0;  // bytes of the transfers that have ended
  uint32_t current_ = 0;   // of the transfer under way
  uint32_t currentLength_ = 0;

  bool started_ = false;
  int64_t lastNs_ = 0;
  uint64_t lastDone_ = 0;
  uint64_t lastRequests_ = 0;
  int64_t sinceFirstNs_ = 0;
  std::array<Spent, 2> spent_{};  // by TransferKind
  std::optional<double> nsLeft_;
};

}  // namespace veltra::device
