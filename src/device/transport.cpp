#include "device/transport.h"

#include <utility>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace veltra::device {

namespace pf = veltra::platform;

namespace {

constexpr uint32_t kLargeEepromSize = 4096;  // from here on: two address bytes, base 0xA8
constexpr uint32_t kSmallPageLimit = 1024;   // below it the transport writes 8-byte pages

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(value));
  return text;
}

}  // namespace

std::string DescribeTransferFault(const TransferFault& fault, uint32_t eepromSize) {
  using Kind = TransferFault::Kind;
  const std::string chunk = "chunk " + Hex(fault.address) + ": ";
  switch (fault.kind) {
    case Kind::kNone:
      return {};
    case Kind::kNotAttached:
      return "no device attached";
    case Kind::kOutOfRange:
      return std::to_string(fault.length) + " bytes from " + Hex(fault.address) +
             " reach beyond the EEPROM's " + std::to_string(eepromSize) + " bytes";
    case Kind::kRequestFailed:
      return chunk + "request failed";
    case Kind::kNotAcknowledged: {
      const auto ms = std::llround(static_cast<double>(fault.elapsedNs) / 1e6);
      return chunk + "not acknowledged after " + std::to_string(fault.attempts) +
             (fault.attempts == 1 ? " attempt" : " attempts") + " in " + std::to_string(ms) + " ms";
    }
    case Kind::kBusy:
      return chunk + "busy after " + std::to_string(fault.polls) +
             (fault.polls == 1 ? " poll" : " polls");
  }
  return {};
}

std::string UnansweredReadText(uint32_t address) {
  return "The EEPROM did not answer at " + Hex(address) + ": is the chosen type right?";
}

int VendorTransport::RegisterAccess(bool write, uint16_t address, uint8_t* data, uint32_t length) {
  if (!Attached() || length > kMaxRegisterAccess) return 0;
  if (length > 0 && data == nullptr) return 0;
  std::array<uint8_t, 16> buffer{};
  if (write && length > 0) std::memcpy(buffer.data(), data, length);
  pf::VendorPacket packet;
  packet.requestCode = write ? pf::kRequestWrite : pf::kRequestRead;
  packet.writeFlag = write ? 1 : 0;
  packet.index = address;
  packet.length = static_cast<uint16_t>(length);
  ++requests_;
  const bool ok = channel_.SendVendorRequest(packet, buffer);
  if (ok && !write && length > 0) std::memcpy(data, buffer.data(), length);
  return ok ? 1 : 0;
}

std::array<uint8_t, 21> VendorTransport::CommandRecord(bool write, uint32_t address,
                                                       uint32_t chunk) const {
  const bool large = eepromSize_ >= kLargeEepromSize;
  std::array<uint8_t, 21> record{};
  uint8_t deviceAddress = deviceAddressBase_;
  if (!large) deviceAddress |= static_cast<uint8_t>((address >> 7) & 0xFE);
  if (!write) deviceAddress |= 1;
  record[0] = deviceAddress;
  record[1] = static_cast<uint8_t>(address & 0xFF);
  record[2] = large ? static_cast<uint8_t>((address >> 8) & 0xFF) : 0;
  record[19] = static_cast<uint8_t>(chunk);
  if (write) {
    record[20] = large ? i2c::kWrite2 : i2c::kWrite1;
  } else {
    record[20] = large ? i2c::kRead2 : i2c::kRead1;
  }
  return record;
}

int VendorTransport::WriteChunk(const std::array<uint8_t, 21>& record) {
  pf::Clock& clock = channel_.Clock();
  const int64_t firstAttempt = clock.NowNs();
  std::array<uint8_t, 21> bytes = record;
  for (int attempt = 1;; ++attempt) {
    uint8_t idle = i2c::kIdle;
    if (!RegisterAccess(true, reg::kI2cCommand, &idle, 1) ||
        !RegisterAccess(true, reg::kI2cDeviceAddress, bytes.data(), 16) ||
        !RegisterAccess(true, reg::kI2cDeviceAddress + 16, bytes.data() + 16, 5)) {
      fault_.kind = TransferFault::Kind::kRequestFailed;
      return 0;
    }
    bool nack = false;
    int busyPolls = 0;
    for (int poll = 0; poll < kStatusPolls; ++poll) {
      uint8_t status = 0;
      if (!RegisterAccess(false, reg::kI2cCommand, &status, 1)) continue;
      if (status & i2c::kStatusNack) {
        channel_.Debug().Write("NACK!!");
        nack = true;
        break;
      }
      if (!(status & i2c::kStatusBusy)) return 1;
      ++busyPolls;
      clock.WaitUntilNs(clock.NowNs() + kBusyWaitNs + 1);
    }
    const int64_t elapsed = clock.NowNs() - firstAttempt;
    // The last attempt's outcome is the one that tells: a status never read is a failed request.
    if (nack) {
      fault_.kind = TransferFault::Kind::kNotAcknowledged;
    } else if (busyPolls > 0) {
      fault_.kind = TransferFault::Kind::kBusy;
    } else {
      fault_.kind = TransferFault::Kind::kRequestFailed;
    }
    fault_.attempts = attempt;
    fault_.elapsedNs = elapsed;
    fault_.polls = busyPolls;
    if (!RetryChunk(attempt, kWriteAttempts, nack, elapsed)) return 0;
  }
}

int VendorTransport::EepromTransfer(bool write, uint32_t address, uint8_t* buffer,
                                    uint32_t length) {
  fault_ = {};
  if (!Attached()) {
    fault_.kind = TransferFault::Kind::kNotAttached;
    return 0;
  }
  if (static_cast<uint64_t>(address) + length > eepromSize_ || (length > 0 && buffer == nullptr)) {
    fault_ = {.kind = TransferFault::Kind::kOutOfRange, .address = address, .length = length};
    return 0;
  }
  deviceAddressBase_ = eepromSize_ >= kLargeEepromSize ? 0xA8 : 0xA0;

  uint8_t enable = 0;
  RegisterAccess(false, reg::kI2cEnable, &enable, 1);
  uint8_t enabled = enable | i2c::kMasterEnable;
  RegisterAccess(true, reg::kI2cEnable, &enabled, 1);

  int result = 0;
  if (length > 0)
    result = write ? WriteRange(address, buffer, length) : ReadRange(address, buffer, length);

  uint8_t idle = i2c::kIdle;
  RegisterAccess(true, reg::kI2cCommand, &idle, 1);
  uint8_t disabled = enable & static_cast<uint8_t>(~i2c::kMasterEnable);
  RegisterAccess(true, reg::kI2cEnable, &disabled, 1);
  if (result != 0) fault_ = {};
  return result;
}

bool VendorTransport::AnswersAsOtherKind() {
  const uint32_t size = eepromSize_;
  const TransferFault fault = fault_;
  const TransferProgress progress = std::exchange(progress_, {});
  eepromSize_ = size >= kLargeEepromSize ? kLargeEepromSize / 2 : kLargeEepromSize;
  uint8_t byte = 0;
  const bool answered = EepromTransfer(false, 0, &byte, 1) != 0;
  eepromSize_ = size;
  fault_ = fault;
  progress_ = progress;
  return answered;
}

int VendorTransport::WriteRange(uint32_t address, const uint8_t* buffer, uint32_t length) {
  // Single bytes up to the first page boundary, then whole pages: no chunk crosses a page.
  const uint32_t page = eepromSize_ < kSmallPageLimit ? 8 : 16;
  uint32_t step = 1;
  bool aligned = false;
  std::array<uint8_t, 21> record{};
  for (uint32_t done = 0; done < length;) {
    const uint32_t at = address + done;
    if (!aligned && at % page == 0) {
      step = page;
      aligned = true;
    }
    const uint32_t chunk = std::min(length - done, step);
    // Data bytes past the chunk keep what an earlier chunk left: the byte count governs.
    const std::array<uint8_t, 21> header = CommandRecord(true, at, chunk);
    std::copy_n(header.begin(), 3, record.begin());
    std::copy_n(buffer + done, chunk, record.begin() + 3);
    record[19] = header[19];
    record[20] = header[20];
    if (!WriteChunk(record)) {
      fault_.address = at;
      return 0;
    }
    done += chunk;
    Progress(done, length);
  }
  return 1;
}

VendorTransport::ReadOutcome VendorTransport::ReadChunkOnce(const std::array<uint8_t, 21>& record,
                                                            std::span<uint8_t, 16> out,
                                                            bool patient, int64_t firstAttemptNs,
                                                            int& polls) {
  pf::Clock& clock = channel_.Clock();
  std::array<uint8_t, 21> bytes = record;
  uint8_t idle = i2c::kIdle;
  if (!RegisterAccess(true, reg::kI2cCommand, &idle, 1) ||
      !RegisterAccess(true, reg::kI2cDeviceAddress, bytes.data(), 16) ||
      !RegisterAccess(true, reg::kI2cDeviceAddress + 16, bytes.data() + 16, 5))
    return ReadOutcome::kRequestFailed;
  for (polls = 1;; ++polls) {
    uint8_t status = 0;
    if (!RegisterAccess(false, reg::kI2cCommand, &status, 1)) return ReadOutcome::kRequestFailed;
    if (status & i2c::kStatusNack) return ReadOutcome::kNack;
    if (!(status & i2c::kStatusBusy)) {
      return RegisterAccess(false, reg::kI2cData, out.data(), 16) ? ReadOutcome::kReceived
                                                                  : ReadOutcome::kRequestFailed;
    }
    const bool again =
        patient ? PollReadAgain(polls, clock.NowNs() - firstAttemptNs) : polls < kStatusPolls;
    if (!again) return ReadOutcome::kStillBusy;
  }
}

int VendorTransport::ReadRange(uint32_t address, uint8_t* buffer, uint32_t length) {
  pf::Clock& clock = channel_.Clock();
  bool chunkGivenUp = false;
  // A chunk that spent its whole budget met no write cycle but an EEPROM that does not answer:
  // the chunks after it get their plain attempt, so such a read still ends soon.
  bool patient = true;
  for (uint32_t done = 0; done < length;) {
    const uint32_t chunk = std::min<uint32_t>(length - done, 16);
    const std::array<uint8_t, 21> record = CommandRecord(false, address + done, chunk);
    const int64_t firstAttempt = clock.NowNs();
    ReadOutcome outcome = ReadOutcome::kRequestFailed;
    std::array<uint8_t, 16> data{};
    int attempts = 0;
    int polls = 0;
    for (int attempt = 1;; ++attempt) {
      attempts = attempt;
      outcome = ReadChunkOnce(record, data, patient, firstAttempt, polls);
      if (outcome == ReadOutcome::kReceived || outcome == ReadOutcome::kRequestFailed) break;
      // A read that starts while the EEPROM programs the last page of a write is not
      // acknowledged until the write cycle ends.
      if (!RetryChunk(attempt, kReadAttempts, patient && outcome == ReadOutcome::kNack,
                      clock.NowNs() - firstAttempt))
        break;
    }
    if (outcome == ReadOutcome::kRequestFailed) {
      fault_ = {.kind = TransferFault::Kind::kRequestFailed, .address = address + done};
      return 0;
    }
    if (outcome == ReadOutcome::kReceived) {
      std::copy_n(data.begin(), chunk, buffer + done);
    } else {
      // The walk goes on so the rest of the range is still read, but the transfer has failed:
      // a caller must never take the untouched bytes for EEPROM contents. The first chunk
      // given up is the one reported.
      if (!chunkGivenUp) {
        fault_.address = address + done;
        if (outcome == ReadOutcome::kNack) {
          fault_.kind = TransferFault::Kind::kNotAcknowledged;
          fault_.attempts = attempts;
          fault_.elapsedNs = clock.NowNs() - firstAttempt;
        } else {
          fault_.kind = TransferFault::Kind::kBusy;
          fault_.polls = polls;
        }
      }
      chunkGivenUp = true;
      patient = false;
    }
    done += chunk;
    Progress(done, length);
  }
  return chunkGivenUp ? 0 : 1;
}

int VendorTransport::EraseEeprom() {
  if (eepromSize_ == 0) {
    fault_ = {.kind = TransferFault::Kind::kOutOfRange};
    return 0;
  }
  std::vector<uint8_t> zeros(eepromSize_, 0);
  return EepromTransfer(true, 0, zeros.data(), eepromSize_ - 1);
}

}  // namespace veltra::device
