#pragma once

#include <chrono>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/sim/eeprom_file.h"
#include "platform/sim/eeprom_part.h"
#include "platform/sim/image_file_lock.h"

namespace veltra::sim {

// A 24Cxx serial EEPROM as it behaves on the I2C bus: it decodes the device address byte with
// its own addressing, takes its own number of word-address bytes, collects written bytes in its
// page buffer (wrapping inside the page), programs them at STOP and then acknowledges nothing
// for the write cycle (tWR); reads run sequentially and roll over at the end of the array.
// Erased contents are 0xFF. Times are virtual nanoseconds. Not thread-safe: the owner locks.
//
// Optionally backed by a .bin file, which other tools may read and write at the same time:
// LoadFromFile reads it and binds it. A file of the part size or one byte less is normal, a
// shorter one reads as if completed with 0 (as FILE -> EEPROM completes a short file), a longer
// one is refused. Every transfer (BeginTransfer .. EndTransfer, which the chip runs while its
// I2C master is enabled) holds the image's ImageFileLock and starts by re-reading the file when
// it has changed since it was last read or written; EndTransfer writes the contents through
// (platform::ReplaceFile: old or new contents, never part of either) when a write transaction
// has completed since the last flush, keeping the file's length when it was size or size - 1
// bytes and writing the full part size otherwise. A write the file does not take is dropped: the
// part goes back to the file's contents. A missing file is created by the first flush
// after a write. A transfer whose file cannot be locked or read is refused: the part then
// acknowledges nothing until its end, and LastError says why. The destructor flushes. Errors
// never print: see LastError().
class SimEeprom {
 public:
  static constexpr int64_t kDefaultWriteCycleNs = 5'000'000;
  // Long enough for another tool's whole transfer of the largest part at a slow pace.
  static constexpr std::chrono::milliseconds kDefaultLockTimeout{30'000};

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
  // Addresses from here on keep their bytes when a page is programmed (nullopt: none).
  void SetWriteProtectFrom(std::optional<uint32_t> address) { writeProtectFrom_ = address; }

  // Whether the part acknowledges this device address byte (bit 0 = R/W, ignored).
  bool Answers(uint8_t deviceAddressByte) const;
  bool InWriteCycle(int64_t t) const { return t < writeCycleEndNs_; }
  int64_t WriteCycleEndNs() const { return writeCycleEndNs_; }
  uint32_t AddressCounter() const { return counter_; }
  uint64_t CompletedWrites() const { return completedWrites_; }  // programmed pages

  // ---- file backing -------------------------------------------------------------------------
  bool LoadFromFile(const std::string& path);
  void BeginTransfer();
  void EndTransfer();
  bool InTransfer() const { return inTransfer_; }
  bool Flush();  // true when there was nothing to write or the write succeeded
  void SetLockTimeout(std::chrono::milliseconds timeout) { lockTimeout_ = timeout; }
  bool IsFileBacked() const { return !filePath_.empty(); }
  const std::string& FilePath() const { return filePath_; }
  // The length of the file LoadFromFile read; nullopt when there was none.
  std::optional<uint64_t> LoadedFileSize() const { return loadedFileSize_; }
  bool Dirty() const { return dirty_; }
  // The last file error ("" when the last file operation succeeded), naming the file.
  const std::string& LastError() const { return lastError_; }

 private:
  enum class State { kIdle, kDeviceAddress, kWordAddress, kReceiving, kSending };

  // Takes what was read from the file as the contents: "" or why it cannot be.
  std::string Adopt(const std::string& path, const ImageFileRead& read);
  // After a write the file did not take: the part holds what the file holds (erased where there
  // is none), as every other reader of the file sees it, not what failed to reach it.
  void DropUnwritten();

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
  std::optional<uint32_t> writeProtectFrom_;

  std::string filePath_;
  uint64_t fileLength_ = 0;
  std::optional<platform::FileStamp> stamp_;  // of the file as last read or written
  std::optional<uint64_t> loadedFileSize_;
  bool dirty_ = false;
  std::string lastError_;
  ImageFileLock lock_;
  std::chrono::milliseconds lockTimeout_ = kDefaultLockTimeout;
  bool inTransfer_ = false;
  bool refused_ = false;  // this transfer could not have the file: the part stays silent
};

}  // namespace veltra::sim
