#include "device/progress_tally.h"

#include <algorithm>
#include <cmath>

namespace veltra::device {

namespace {

constexpr int64_t kSecondNs = 1'000'000'000;
constexpr double kReadChunkBytes = 16;

size_t Index(TransferKind kind) {
  return kind == TransferKind::kRead ? 0 : 1;
}

}  // namespace

void ProgressTally::Expect(uint64_t bytes, TransferKind kind) {
  expected_ += bytes;
  phases_.push_back({kind, bytes});
}

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
  UpdateTimeLeft();
  if (report_) report_(Done(), ToDo());
}

TransferKind ProgressTally::KindAt(uint64_t offset) const {
  for (const Phase& phase : phases_) {
    if (offset < phase.bytes) return phase.kind;
    offset -= phase.bytes;
  }
  // Past what was announced: what an operation moves unannounced is read.
  return TransferKind::kRead;
}

void ProgressTally::UpdateTimeLeft() {
  if (transport_ == nullptr) return;
  const int64_t now = transport_->NowNs();
  const uint64_t requests = transport_->RequestCount();
  const uint64_t done = Done();
  if (!started_) {
    // The first chunk's own time is not known: counting starts here.
    started_ = true;
  } else {
    // The step into another phase holds the end of one transfer and the start of the next (a
    // read-back's first chunk waits out the last write cycle): it tells neither phase's cost.
    if (done > lastDone_ && lastDone_ > 0 && KindAt(lastDone_ - 1) == KindAt(done - 1)) {
      const TransferKind kind = KindAt(done - 1);
      Spent& spent = spent_[Index(kind)];
      spent.ns += now - lastNs_;
      spent.bytes += done - lastDone_;
      spent.requests += requests - lastRequests_;
    }
    sinceFirstNs_ += now - lastNs_;
  }
  lastNs_ = now;
  lastDone_ = done;
  lastRequests_ = requests;

  nsLeft_.reset();
  const uint64_t toDo = ToDo();
  if (sinceFirstNs_ <= 0 || done >= toDo) return;
  double left = 0;
  uint64_t offset = 0;
  std::vector<Phase> phases = phases_;
  if (expected_ < toDo) phases.push_back({TransferKind::kRead, toDo - expected_});
  for (const Phase& phase : phases) {
    const uint64_t end = offset + phase.bytes;
    if (end > done) {
      const std::optional<double> cost = NsPerByte(phase.kind);
      if (!cost) return;
      left += *cost * static_cast<double>(end - std::max(offset, done));
    }
    offset = end;
  }
  if (std::isfinite(left)) nsLeft_ = left;
}

std::optional<int64_t> ProgressTally::SecondsLeft() const {
  if (sinceFirstNs_ < kSecondNs || !nsLeft_) return std::nullopt;
  return static_cast<int64_t>(std::ceil(*nsLeft_ / kSecondNs));
}

std::optional<double> ProgressTally::NsPerByte(TransferKind kind) const {
  const Spent& own = spent_[Index(kind)];
  if (own.bytes > 0) return static_cast<double>(own.ns) / static_cast<double>(own.bytes);
  // Not reached yet: a read in requests, at the time a request took so far.
  const Spent& other =
      spent_[Index(kind == TransferKind::kRead ? TransferKind::kWrite : TransferKind::kRead)];
  if (kind == TransferKind::kRead && other.requests > 0) {
    const double nsPerRequest = static_cast<double>(other.ns) / static_cast<double>(other.requests);
    return nsPerRequest * kReadChunkRequests / kReadChunkBytes;
  }
  if (other.bytes > 0) return static_cast<double>(other.ns) / static_cast<double>(other.bytes);
  return std::nullopt;
}

}  // namespace veltra::device
