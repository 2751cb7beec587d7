#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "platform/sim/eeprom_part.h"

namespace veltra::sim {

// A 24Cxx serial EEPROM as it behaves on the I2C bus: it decodes the device address byte with
// its own addressing, takes its own number of word-address bytes, collects written bytes in its
// page buffer (wrapping inside the page), programs them at STOP and then acknowledges nothing
// for the write cycle (tWR); reads run sequentially and roll over at the end of the array.
// Erased contents are 0xFF. Times are virtual nanoseconds. Not thread-safe: the owner locks.
//
// Optionally backed by a .bin file: LoadFromFile reads it (a file of the part size or one byte
// less is normal, a shorter one is padded with 0xFF, a longer one is refused) and binds it;
// Flush writes the contents through when a write transaction has completed since the last flush
// (atomically: temporary file + rename), keeping the file's length when it was size or size - 1
// bytes and writing the full part size otherwise. A missing file is created by the first flush
// after a write. The destructor flushes. Errors never print: see LastError().
class SimEeprom {
 public:
  static constexpr int64_t kDefaultWriteCycleNs = 5'000'000;

  explicit SimEeprom(EepromPart part, int64_t writeCycleNs = kDefaultWriteCycleNs);
  ~SimEeprom();
  SimEeprom(const SimEeprom&) = delete;
  SimEeprom& operator=(const SimEeprom&) = delete;

  EepromPart Part() const { return part_; }
  const EepromPartInfo& Info() const { return info_; }
  // The memory array, for seeding and inspection; changes made here are not "writes".
  std::vector<uint8_t>& Contents() { return contents_; }
  const std::vector<uint8_t>& Contents() const { return contents_; }

  // ---- the bus, as the chip's I2C master drives it (t: virtual time of the event) ----------
  void Start(int64_t t);                    // START or repeated START
  bool WriteByte(uint8_t byte, int64_t t);  // a byte from the master; true = ACK
  uint8_t ReadByte(int64_t t);              // the master clocks a byte in (0xFF if not talking)
  void Stop(int64_t t);                     // STOP: a pending page is programmed from here
  void PowerCycle();                        // bus state, pending page and write cycle dropped

  // Whether the part acknowledges this device address byte (bit 0 = R/W, ignored).
  bool Answers(uint8_t deviceAddressByte) const;
  bool InWriteCycle(int64_t t) const { return t < writeCycleEndNs_; }
  int64_t WriteCycleEndNs() const { return writeCycleEndNs_; }
  uint32_t AddressCounter() const { return counter_; }
  uint64_t CompletedWrites() const { return completedWrites_; }  // programmed pages

  // ---- file backing -------------------------------------------------------------------------
  bool LoadFromFile(const std::string& path);
  bool Flush();  // true when there was nothing to write or the write succeeded
  bool IsFileBacked() const { return !filePath_.empty(); }
  const std::string& FilePath() const { return filePath_; }
  bool Dirty() const { return dirty_; }
  // The last file error ("" when the last file operation succeeded), naming the file.
  const std::string& LastError() const { return lastError_; }

 private:
  enum class State { kIdle, kDeviceAddress, kWordAddress, kReceiving, kSending };

  EepromPart part_;
  const EepromPartInfo& info_;
  int64_t writeCycleNs_;
  std::vector<uint8_t> contents_;

  State state_ = State::kIdle;
  uint32_t counter_ = 0;      // the part's address counter
  uint32_t block_ = 0;        // block bits of the last write-mode device address
  uint32_t wordAddress_ = 0;  // word-address bytes collected so far
  int wordBytesReceived_ = 0;
  std::vector<std::pair<uint32_t, uint8_t>> page_;  // the page buffer, in arrival order
  int64_t writeCycleEndNs_ = std::numeric_limits<int64_t>::min();
  uint64_t completedWrites_ = 0;

  std::string filePath_;
  uint64_t fileLength_ = 0;
  bool dirty_ = false;
  std::string lastError_;
};

}  // namespace veltra::sim
