#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "device/channel.h"

namespace veltra::device {

// Registers of the chip's I2C master block.
namespace reg {
inline constexpr uint16_t kI2cDeviceAddress = 0x80;
inline constexpr uint16_t kI2cWordAddressLow = 0x81;
inline constexpr uint16_t kI2cWordAddressHigh = 0x82;
inline constexpr uint16_t kI2cData = 0x83;
inline constexpr uint16_t kI2cByteCount = 0x93;
inline constexpr uint16_t kI2cCommand = 0x94;
inline constexpr uint16_t kI2cEnable = 0x95;
inline constexpr uint16_t kCapability = 0xD9;
}  // namespace reg

namespace i2c {
inline constexpr uint8_t kWrite1 = 0x90;  // write, 1-byte word address
inline constexpr uint8_t kWrite2 = 0xB0;  // write, 2-byte word address
inline constexpr uint8_t kRead1 = 0x9A;
inline constexpr uint8_t kRead2 = 0xBA;
inline constexpr uint8_t kIdle = 0x50;
inline constexpr uint8_t kStatusNack = 0x01;
inline constexpr uint8_t kStatusBusy = 0x80;
inline constexpr uint8_t kMasterEnable = 0x80;
}  // namespace i2c

inline constexpr size_t kMaxRegisterAccess = 16;
inline constexpr int kWriteAttempts = 4;
inline constexpr int kReadAttempts = 1;
inline constexpr int kStatusPolls = 4;
inline constexpr int64_t kBusyWaitNs = 10'000'000;
// A NACK during the EEPROM's write cycle is retried while the chunk is younger than this.
inline constexpr int64_t kWriteCycleBudgetNs = 25'000'000;
// An attempt is at least four requests of at least 125 us (one USB microframe) each, so the
// budget holds no more attempts than this; the cap also ends the retries on a clock that stands.
inline constexpr int kMaxChunkAttempts = 50;

// Whether a chunk gets another attempt after its attempt number `attempt` (1-based) failed.
// Every chunk has its own number of attempts; beyond them only a NACK is retried, since an
// EEPROM acknowledges nothing while it programs a page: for as long as a slow part may take.
inline bool RetryChunk(int attempt, int ownAttempts, bool nack, int64_t sinceFirstAttemptNs) {
  if (attempt < ownAttempts) return true;
  return nack && attempt < kMaxChunkAttempts && sinceFirstAttemptNs < kWriteCycleBudgetNs;
}

// Whether a read chunk's status is polled again after `polls` busy readings. On a fast host
// four polls come sooner than the bus moves 16 bytes; past them the budget of a chunk applies.
inline bool PollReadAgain(int polls, int64_t sinceFirstAttemptNs) {
  if (polls < kStatusPolls) return true;
  return polls < kMaxChunkAttempts && sinceFirstAttemptNs < kWriteCycleBudgetNs;
}

// Why the last EEPROM transfer failed: what the callers' own texts ("Fail to write EEPROM")
// cannot say, for a command line's one-line reason and the diagnostic log.
struct TransferFault {
  enum class Kind {
    kNone,
    kNotAttached,      // nothing was sent: no driver handle or no device attached
    kOutOfRange,       // nothing was sent: the range ends beyond the EEPROM
    kRequestFailed,    // a vendor request of the chunk failed
    kNotAcknowledged,  // the EEPROM did not acknowledge the chunk
    kBusy,             // the I2C command did not complete
  };
  Kind kind = Kind::kNone;
  uint32_t address = 0;   // the chunk's first EEPROM address; the range's for kOutOfRange
  uint32_t length = 0;    // kOutOfRange: the range's length
  int attempts = 0;       // kNotAcknowledged
  int64_t elapsedNs = 0;  // kNotAcknowledged: from the chunk's first attempt to its last
  int polls = 0;          // kBusy: status readings of the chunk's last attempt
};

// "chunk 0x1230: not acknowledged after 6 attempts in 25 ms"; "" for kNone.
std::string DescribeTransferFault(const TransferFault& fault, uint32_t eepromSize);

// "The EEPROM did not answer at 0x0000: is the chosen type right?", for a read the part did not
// acknowledge while it answers when addressed as the other kind of type (AnswersAsOtherKind).
std::string UnansweredReadText(uint32_t address);

// Bytes of the current transfer handled so far and its length, after every chunk.
using TransferProgress = std::function<void(uint32_t done, uint32_t length)>;

// The EEPROM size before any EEPROM type has been chosen.
inline constexpr uint32_t kInitialEepromSize = 4096;

// Register access and EEPROM transfers through the chip's I2C master, over the channel's driver
// handle. Results are 1 (success) and 0 (failure).
class VendorTransport {
 public:
  explicit VendorTransport(DeviceChannel& channel) : channel_(channel) {}

  int RegisterAccess(bool write, uint16_t address, uint8_t* data, uint32_t length);
  int ProbeDevice() { return channel_.ProbeDevice(); }
  void SetTransportEepromSize(uint32_t size) { eepromSize_ = size; }
  uint32_t EepromSize() const { return eepromSize_; }
  int EepromTransfer(bool write, uint32_t address, uint8_t* buffer, uint32_t length);
  int EraseEeprom();
  // Whether the part answers a one-byte read at 0 when addressed as a type of the other kind:
  // one address byte at device address 0xA0 below 4 KiB, two at 0xA8 from there. After a read it
  // did not acknowledge, that tells a type chosen on the wrong side of 4 KiB from a part that
  // answers nothing. The size and LastFault() stay as they were.
  bool AnswersAsOtherKind();

  // Called on the transferring thread after every chunk of the EEPROM transfers that follow;
  // an empty function reports nothing.
  void SetProgress(TransferProgress progress) { progress_ = std::move(progress); }
  // Vendor requests sent so far, and the channel's clock: what a transfer's time is made of.
  uint64_t RequestCount() const { return requests_; }
  int64_t NowNs() const { return channel_.Clock().NowNs(); }
  // What made the last EEPROM transfer fail; kind kNone after one that succeeded.
  const TransferFault& LastFault() const { return fault_; }
  std::string LastFaultText() const { return DescribeTransferFault(fault_, eepromSize_); }

  // Exposed for tests: one chunk of a write, given its 21-byte command record.
  int WriteChunk(const std::array<uint8_t, 21>& record);

 private:
  bool Attached() const { return channel_.HasDriverHandle() && channel_.IsAttached(); }
  std::array<uint8_t, 21> CommandRecord(bool write, uint32_t address, uint32_t chunk) const;
  int WriteRange(uint32_t address, const uint8_t* buffer, uint32_t length);
  int ReadRange(uint32_t address, uint8_t* buffer, uint32_t length);
  enum class ReadOutcome { kReceived, kRequestFailed, kNack, kStillBusy };
  // One attempt at a read chunk: the 16 data registers into out when received. patient: the
  // chunk may use its time budget, counted from firstAttemptNs.
  ReadOutcome ReadChunkOnce(const std::array<uint8_t, 21>& record, std::span<uint8_t, 16> out,
                            bool patient, int64_t firstAttemptNs, int& polls);
  void Progress(uint32_t done, uint32_t length) const {
    if (progress_) progress_(done, length);
  }

  DeviceChannel& channel_;
  uint32_t eepromSize_ = kInitialEepromSize;
  uint8_t deviceAddressBase_ = 0xA0;
  TransferProgress progress_;
  TransferFault fault_;
  uint64_t requests_ = 0;
};

}  // namespace veltra::device
