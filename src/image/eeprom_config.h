#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "device/transport.h"
#include "image/audio_io_rules.h"
#include "image/image_layout.h"
#include "image/message_sink.h"
#include "image/section.h"

namespace veltra::image {

// HRESULT-style results; callers treat any negative value as failure.
inline constexpr int32_t kSOk = 0;
inline constexpr int32_t kEFail = static_cast<int32_t>(0x80004005u);
inline constexpr int32_t kEOutOfMemory = static_cast<int32_t>(0x8007000Eu);
inline constexpr int32_t kEInvalidArg = static_cast<int32_t>(0x80070057u);
// Results of WriteToEeprom besides 0.
inline constexpr int kWriteNotFit = 4096;
inline constexpr int kWriteFailed = 4097;

inline constexpr std::string_view kEepromEmptyText = "EEPROM Empty";
inline constexpr std::string_view kOperateEepromFailedText = "Operate EEPROM Failed";

// Whether the EEPROM still holds what the model last read from it or wrote to it.
enum class EepromCheck { kUnchanged, kChanged, kReadFailed };

// How much of the EEPROM WriteToEeprom covers: the whole transfer length, or only the part the
// packed image uses (UsedImageLength), leaving the rest of the EEPROM as it was.
enum class WriteExtent { kWhole, kUsedOnly };

inline constexpr uint16_t kCapabilityRegister = 0xD9;
inline constexpr int kCapabilityCount = 7;
inline constexpr uint32_t kImageBufferSize = 65536;

// The in-memory form of the EEPROM image: one section per kind, the two tail records, the chip's
// capability flags, and a 64 KiB buffer that mirrors the EEPROM address by address. One thread
// at a time uses it.
class EepromConfig {
 public:
  explicit EepromConfig(device::VendorTransport& transport, MessageSink* sink = nullptr);
  virtual ~EepromConfig();
  EepromConfig(const EepromConfig&) = delete;
  EepromConfig& operator=(const EepromConfig&) = delete;

  // The front end sets itself here right after creating the model; null shows nothing.
  void SetMessageSink(MessageSink* sink) { sink_ = sink; }

  bool IsEmpty() const { return empty_; }
  int32_t AppendSection(std::unique_ptr<Section> section);
  // The first section whose entry type is this number (0x0..0xC), or null.
  Section* FindSection(int type);
  const Section* FindSection(int type) const;
  int32_t BuildSections();
  int32_t ClearSections();

  // False when the chip did not answer; the flags are then those of a register holding 0.
  bool ProbeChipVariant();
  int GetCapability(int index) const;
  int GetChipVariant() const { return variant_; }
  // The variant and capability flags together, as the pages' rules take them.
  ChipTraits Chip() const;

  // A result of 0 does not mean the image fits the EEPROM: SetEepromSize decides that.
  int32_t ReadFromEeprom(uint32_t transferLength);
  // Also E_FAIL, with no sections, when the capability register cannot be read.
  int32_t Reload(uint32_t transferLength);
  int32_t SetEepromSize(uint32_t transferLength);
  int32_t ExceedsEepromSize(uint64_t size) const;

  void LoadTailRecords();
  // index: the EQ section's row, section_index::kPlaybackEq or kRecordEq.
  void SetTailRecord(const uint8_t* data, uint32_t length, int index);
  int GetTailRecord(uint8_t* buffer, uint32_t length, int index) const;

  // 1 when the sections fit the transfer length, 0 when not.
  int Pack();
  // 0, kWriteNotFit or kWriteFailed.
  int WriteToEeprom();
  // The bytes of ImageBuffer() the last WriteToEeprom wrote (or would write) from address 0.
  uint32_t WriteLength() const;

  // Another program may change the EEPROM while the model is loaded. The model remembers what
  // the EEPROM held where it last looked: every range the last read fetched (the header, the
  // sections, the tail records) or, after the front end has confirmed a write, the range it
  // names here. CheckEepromUnchanged reads those ranges again, costing what reading them cost.
  EepromCheck CheckEepromUnchanged();
  // The EEPROM holds bytes from address 0 now, written by this front end; the next check reads
  // back their first checkLength bytes.
  void NoteEepromContents(std::span<const uint8_t> bytes, uint32_t checkLength);
  // What the EEPROM holds is unknown (a write failed part way): the next check finds nothing.
  void ForgetEepromContents();
  void SetWriteExtent(WriteExtent extent) { writeExtent_ = extent; }
  // Told, during a read, how many bytes the read will still fetch once the directory is known
  // (the sections and tail records), for a progress figure; empty: nobody is told.
  void SetReadAnnouncer(std::function<void(uint64_t bytes)> announcer) {
    readAnnouncer_ = std::move(announcer);
  }
  WriteExtent GetWriteExtent() const { return writeExtent_; }

  // Views for front ends and tests.
  uint32_t EepromLength() const { return eepromLength_; }
  uint32_t ImageEepromLength() const { return image_.eepromLength; }
  uint32_t Total() const { return image_.total; }
  uint32_t WritePosition() const { return image_.writePosition; }
  uint32_t DirectoryLength() const { return image_.directoryLength; }
  std::span<const uint8_t> ImageBuffer() const { return image_.buffer; }
  const std::vector<std::unique_ptr<Section>>& Sections() const { return image_.sections; }

 private:
  struct ImageRecord {
    std::vector<std::unique_ptr<Section>> sections;
    uint32_t eepromLength = 0;  // T as Pack and LoadTailRecords use it
    uint32_t total = 0;
    uint32_t writePosition = kDataStart;
    uint32_t directoryLength = 0;
    uint32_t dataEnd = 0;  // one past the furthest byte the last read's directory named
    std::vector<uint8_t> buffer;
  };

  TailRecord* TailRecordFor(int index);
  const TailRecord* TailRecordFor(int index) const;
  int32_t ReadSections(uint32_t transferLength);
  // A read into the image buffer at the same address, remembered for CheckEepromUnchanged.
  bool ReadIntoImage(uint32_t address, uint32_t length);
  void DropSections();
  void Show(std::string_view text);

  device::VendorTransport& transport_;
  MessageSink* sink_;
  TailRecord tailRecord1_{};
  TailRecord tailRecord2_{};
  std::array<int, kCapabilityCount> capability_{};
  int variant_ = 0;
  ImageRecord image_;
  bool empty_ = true;
  uint32_t eepromLength_ = 0;
  WriteExtent writeExtent_ = WriteExtent::kWhole;
  std::function<void(uint64_t)> readAnnouncer_;
  struct Range {
    uint32_t address;
    uint32_t length;
  };
  std::vector<Range> knownRanges_;
  std::vector<uint8_t> known_;  // 64 KiB: the EEPROM's bytes at their addresses, over knownRanges_
};

}  // namespace veltra::image
