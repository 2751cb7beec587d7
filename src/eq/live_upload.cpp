#include "eq/live_upload.h"

#include <array>
#include <cstdio>

#include "eq/band_coefficients.h"

namespace veltra::eq {
namespace {

// One-byte register requests. A read fills its byte only when the request succeeds, so a failed
// read leaves whatever the byte held before.
class EqPort {
 public:
  explicit EqPort(device::VendorTransport& transport) : transport_(transport) {}

  void Read(uint16_t address, uint8_t& value) {
    uint8_t received = value;
    if (Count(transport_.RegisterAccess(false, address, &received, 1), {false, address, value}))
      value = received;
  }
  void Read(uint16_t address) {
    uint8_t ignored = 0;
    Read(address, ignored);
  }
  void Write(uint16_t address, uint8_t value) {
    Count(transport_.RegisterAccess(true, address, &value, 1), {true, address, value});
  }

  const UploadOutcome& Outcome() const { return outcome_; }

 private:
  bool Count(int result, const UploadOutcome::Request& request) {
    ++outcome_.requests;
    if (result == 1) return true;
    ++outcome_.failed;
    if (!outcome_.firstFailure) outcome_.firstFailure = request;
    return false;
  }

  device::VendorTransport& transport_;
  UploadOutcome outcome_;
};

using UploadBuffer = std::array<uint8_t, kUploadBufferBytes>;

// Band b's record starts at 12 * (b - 1).
std::span<uint8_t, kBandRecordBytes> BandRecord(UploadBuffer& buffer, int bandIndex) {
  return std::span(buffer)
      .subspan(static_cast<size_t>(bandIndex) * kBandRecordBytes)
      .first<kBandRecordBytes>();
}

void SendBands(EqPort& port, uint16_t control, uint16_t data, uint8_t controlValue,
               UploadBuffer& buffer) {
  for (int k = 0; k < kBandCount; ++k) {
    port.Write(control, static_cast<uint8_t>((controlValue & ~kControlBandMask) | (k + 1)));
    for (uint8_t byte : BandRecord(buffer, k))
      port.Write(data, byte);
  }
}

std::array<BandWords, kBandCount> DesignedWords(std::span<const Band, kBandCount> bands) {
  std::array<BandWords, kBandCount> words{};
  for (int k = 0; k < kBandCount; ++k)
    words[k] = DesignBandWords(bands[k]);
  return words;
}

}  // namespace

std::string DescribeUploadFailure(const UploadOutcome& outcome) {
  if (!outcome.firstFailure) return {};
  const UploadOutcome::Request& request = *outcome.firstFailure;
  char text[128];
  if (request.write) {
    std::snprintf(text, sizeof text, "write of %02X to register %02X failed",
                  static_cast<unsigned>(request.value), static_cast<unsigned>(request.address));
  } else {
    std::snprintf(text, sizeof text, "read of register %02X failed",
                  static_cast<unsigned>(request.address));
  }
  std::string description = text;
  if (outcome.failed > 1) {
    description += " (" + std::to_string(outcome.failed) + " of " +
                   std::to_string(outcome.requests) + " requests failed)";
  }
  return description;
}

UploadOutcome UploadPlaybackEq(device::VendorTransport& transport, log::DiagnosticLog& log,
                               std::span<const Band, kBandCount> bands,
                               std::span<const uint8_t, kGainCount> gains, uint8_t preset) {
  return UploadPlaybackEq(transport, log, DesignedWords(bands), gains, preset);
}

UploadOutcome UploadRecordEq(device::VendorTransport& transport, log::DiagnosticLog& log,
                             std::span<const Band, kBandCount> bands,
                             std::span<const uint8_t, kGainCount> gains) {
  return UploadRecordEq(transport, log, DesignedWords(bands), gains);
}

UploadOutcome UploadPlaybackEq(device::VendorTransport& transport, log::DiagnosticLog& log,
                               std::span<const BandWords, kBandCount> words,
                               std::span<const uint8_t, kGainCount> gains, uint8_t preset) {
  EqPort port(transport);
  port.Read(eq_reg::kPlaybackControl);
  port.Write(eq_reg::kPlaybackControl, 0x00);

  UploadBuffer buffer{};
  for (int k = 0; k < kBandCount; ++k) {
    words[k].WriteBigEndian(BandRecord(buffer, k));
    log.LogPrintf("PlayBackEQ Band(%d) A21(%08X) A31(%08X) S(%08X)\n", k + 1,
                  static_cast<unsigned>(words[k].A21), static_cast<unsigned>(words[k].A31),
                  static_cast<unsigned>(words[k].S));
  }

  uint8_t bandControl = 0;
  port.Read(eq_reg::kPlaybackControl, bandControl);
  SendBands(port, eq_reg::kPlaybackControl, eq_reg::kPlaybackData, bandControl, buffer);

  port.Read(eq_reg::kPlaybackPreset);
  port.Write(eq_reg::kPlaybackPreset, preset);
  port.Read(eq_reg::kPlaybackPresetControl);
  port.Write(eq_reg::kPlaybackPresetControl, static_cast<uint8_t>(preset + kPresetControlFlag));

  for (int i = 0; i < kGainCount; ++i) {
    port.Write(static_cast<uint16_t>(eq_reg::kPlaybackGainFirst + i), gains[i]);
  }

  uint8_t applyControl = 0;
  port.Read(eq_reg::kPlaybackControl, applyControl);
  port.Write(eq_reg::kPlaybackControl, static_cast<uint8_t>(applyControl | kControlApply));
  port.Read(eq_reg::kPlaybackControl);
  return port.Outcome();
}

UploadOutcome UploadRecordEq(device::VendorTransport& transport, log::DiagnosticLog& log,
                             std::span<const BandWords, kBandCount> words,
                             std::span<const uint8_t, kGainCount> gains) {
  EqPort port(transport);
  port.Read(eq_reg::kRecordControl);
  port.Write(eq_reg::kRecordControl, 0x00);
  // The apply step at the end falls back on this value when its own read fails.
  uint8_t applyControl = 0;
  port.Read(eq_reg::kRecordControl, applyControl);

  for (int i = 0; i < kGainCount; ++i)
    port.Read(static_cast<uint16_t>(eq_reg::kRecordGainFirst + i));

  UploadBuffer buffer{};
  for (int k = 0; k < kBandCount; ++k) {
    words[k].WriteBigEndian(BandRecord(buffer, k));
    log.LogPrintf("RecordEQ Band(%d) A21(%8X) A31(%8X) S(%8X)\n", k + 1,
                  static_cast<unsigned>(words[k].A21), static_cast<unsigned>(words[k].A31),
                  static_cast<unsigned>(words[k].S));
  }

  uint8_t bandControl = 0;
  port.Read(eq_reg::kRecordControl, bandControl);
  SendBands(port, eq_reg::kRecordControl, eq_reg::kRecordData, bandControl, buffer);

  for (int i = 0; i < kGainCount; ++i) {
    port.Write(static_cast<uint16_t>(eq_reg::kRecordGainFirst + i), gains[i]);
  }
  for (int i = 0; i < kGainCount; ++i)
    port.Read(static_cast<uint16_t>(eq_reg::kRecordGainFirst + i));

  port.Read(eq_reg::kRecordControl, applyControl);
  port.Write(eq_reg::kRecordControl, static_cast<uint8_t>(applyControl | kControlApply));
  port.Read(eq_reg::kRecordControl);
  return port.Outcome();
}

}  // namespace veltra::eq
