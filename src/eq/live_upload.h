#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "device/transport.h"
#include "eq/band.h"
#include "eq/band_coefficients.h"
#include "log/diagnostic_log.h"

namespace veltra::eq {

// The chip's equaliser registers. Every access moves one byte.
namespace eq_reg {
inline constexpr uint16_t kPlaybackGainFirst = 0x40;  // 0x40..0x45: bands 1..5, compensation
inline constexpr uint16_t kPlaybackControl = 0x46;    // bits 0-2 band number, bit 3 apply
inline constexpr uint16_t kPlaybackData = 0x47;
inline constexpr uint16_t kPlaybackPresetControl = 0x49;
inline constexpr uint16_t kPlaybackPreset = 0x4A;
inline constexpr uint16_t kRecordGainFirst = 0x70;  // 0x70..0x75
inline constexpr uint16_t kRecordControl = 0x76;
inline constexpr uint16_t kRecordData = 0x77;
}  // namespace eq_reg

inline constexpr uint8_t kControlBandMask = 0x07;
inline constexpr uint8_t kControlApply = 0x08;
inline constexpr uint8_t kPresetControlFlag = 0x04;
// Five 12-byte band records, band 1 first.
inline constexpr size_t kUploadBufferBytes = 60;

// What an upload's requests came to, for the page to say what Test did.
struct UploadOutcome {
  struct Request {
    bool write = false;
    uint16_t address = 0;
    uint8_t value = 0;  // written; for a read, what the byte held before
  };
  int requests = 0;
  int failed = 0;
  std::optional<Request> firstFailure;
};

// "write of 08 to register 46 failed (3 of 84 requests failed)"; empty when none failed.
std::string DescribeUploadFailure(const UploadOutcome& outcome);

// Sends an equaliser straight into the chip's registers without touching the EEPROM, and logs
// each band's words. Failed requests do not stop the sequence: they are counted, and the first
// kept, for the page to show; the user presses Test again. preset is 0..3 ("00", "01", "10", "11");
// gains are bands 1..5, then compensation.
UploadOutcome UploadPlaybackEq(device::VendorTransport& transport, log::DiagnosticLog& log,
                               std::span<const Band, kBandCount> bands,
                               std::span<const uint8_t, kGainCount> gains, uint8_t preset);

// The record path has no presets.
UploadOutcome UploadRecordEq(device::VendorTransport& transport, log::DiagnosticLog& log,
                             std::span<const Band, kBandCount> bands,
                             std::span<const uint8_t, kGainCount> gains);

// The same with each band's coefficient words already decided (the EQ pages send the words Save
// would store).
UploadOutcome UploadPlaybackEq(device::VendorTransport& transport, log::DiagnosticLog& log,
                               std::span<const BandWords, kBandCount> words,
                               std::span<const uint8_t, kGainCount> gains, uint8_t preset);
UploadOutcome UploadRecordEq(device::VendorTransport& transport, log::DiagnosticLog& log,
                             std::span<const BandWords, kBandCount> words,
                             std::span<const uint8_t, kGainCount> gains);

}  // namespace veltra::eq
