#include "eq/live_upload.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "backend/simulated_backend.h"
#include "device/channel.h"
#include "device/transport.h"
#include "eq/factory_defaults.h"
#include "log/log_fakes.h"
#include "platform/sim/sim_system.h"

namespace veltra::eq {
namespace {

using log::testing::CapturingDebugOutput;
using log::testing::FixedLocalTime;
using log::testing::MemoryLogFile;

// One one-byte register request as the chip sees it; value is what a write sent.
struct Access {
  bool write;
  uint16_t reg;
  uint8_t value;

  friend bool operator==(const Access&, const Access&) = default;
  friend std::ostream& operator<<(std::ostream& os, const Access& a) {
    char text[32];
    std::snprintf(text, sizeof text, "%s %02X=%02X", a.write ? "W" : "R", a.reg, a.value);
    return os << text;
  }
};

Access R(uint16_t reg) {
  return {false, reg, 0};
}
Access W(uint16_t reg, uint8_t value) {
  return {true, reg, value};
}

// The factory bands' words, written out by hand as the factory image carries them.
constexpr std::array<std::array<uint32_t, 3>, kBandCount> kFactoryWords{{
    {0x3F2F0C0F, 0xE0CF9124, 0x0067C891},
    {0x3DCEE4DA, 0xE2207A93, 0x01103D49},
    {0x397BB62A, 0xE604D936, 0x03026C9A},
    {0x27FE562D, 0xF31C5F55, 0x098E2FAA},
    {0xF339AA7F, 0xFEA1D932, 0x0F50EC98},
}};

// Control writes carry (base & 0xF8) | band; the band's 12 bytes follow, words most
// significant byte first.
void AppendBands(std::vector<Access>& seq, uint16_t control, uint16_t data, uint8_t base) {
  for (int k = 0; k < kBandCount; ++k) {
    seq.push_back(W(control, static_cast<uint8_t>((base & 0xF8) | (k + 1))));
    for (uint32_t word : kFactoryWords[k]) {
      for (int shift = 24; shift >= 0; shift -= 8) {
        seq.push_back(W(data, static_cast<uint8_t>(word >> shift)));
      }
    }
  }
}

// Step by step as the chip expects the playback sequence; `bandBase` is what the read before
// the band writes returns, `applyBase` what the read before the apply write returns.
std::vector<Access> PlaybackSequence(const GainRow& gains, uint8_t preset, uint8_t bandBase,
                                     uint8_t applyBase) {
  std::vector<Access> seq{R(0x46), W(0x46, 0x00), R(0x46)};
  AppendBands(seq, 0x46, 0x47, bandBase);
  seq.insert(seq.end(),
             {R(0x4A), W(0x4A, preset), R(0x49), W(0x49, static_cast<uint8_t>(preset + 4))});
  for (int i = 0; i < kGainCount; ++i)
    seq.push_back(W(static_cast<uint16_t>(0x40 + i), gains[i]));
  seq.insert(seq.end(), {R(0x46), W(0x46, static_cast<uint8_t>(applyBase | 0x08)), R(0x46)});
  return seq;
}

std::vector<Access> RecordSequence(const GainRow& gains, uint8_t bandBase, uint8_t applyBase) {
  std::vector<Access> seq{R(0x76), W(0x76, 0x00), R(0x76)};
  for (uint16_t reg = 0x70; reg <= 0x75; ++reg)
    seq.push_back(R(reg));
  seq.push_back(R(0x76));
  AppendBands(seq, 0x76, 0x77, bandBase);
  for (int i = 0; i < kGainCount; ++i)
    seq.push_back(W(static_cast<uint16_t>(0x70 + i), gains[i]));
  for (uint16_t reg = 0x70; reg <= 0x75; ++reg)
    seq.push_back(R(reg));
  seq.insert(seq.end(), {R(0x76), W(0x76, static_cast<uint8_t>(applyBase | 0x08)), R(0x76)});
  return seq;
}

std::vector<std::pair<uint8_t, uint8_t>> WritesOf(const std::vector<Access>& seq) {
  std::vector<std::pair<uint8_t, uint8_t>> writes;
  for (const Access& a : seq) {
    if (a.write) writes.emplace_back(static_cast<uint8_t>(a.reg), a.value);
  }
  return writes;
}

class LiveUploadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(backend_.Connect());
    sys_.ClearRequestLog();
    device_.Chip().ClearEqWrites();
  }

  // Every vendor request since SetUp, all of them one byte long.
  std::vector<Access> Requests() const {
    std::vector<Access> seq;
    for (const sim::RequestRecord& r : sys_.RequestLog()) {
      if (r.ioctl != platform::kIoctlVendorRequest) continue;
      EXPECT_EQ(r.packet.length, 1u);
      const bool write = r.packet.writeFlag == 1;
      EXPECT_EQ(r.packet.requestCode, write ? platform::kRequestWrite : platform::kRequestRead);
      seq.push_back({write, r.packet.index, write && !r.data.empty() ? r.data[0] : uint8_t{0}});
    }
    return seq;
  }
  // Fails the n-th request of the upload about to run (1-based).
  void FailUploadRequest(uint64_t n) {
    sim::Faults faults;
    faults.failRequest = sys_.RequestCount() + n;
    sys_.SetFaults(faults);
  }
  std::vector<std::string> LogLines() const {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = file_.contents.find('\n', start)) != std::string::npos;
         start = end + 1) {
      lines.push_back(file_.contents.substr(start, end + 1 - start));
    }
    EXPECT_EQ(start, file_.contents.size()) << "every record ends with a line break";
    return lines;
  }

  backend::SimulatedBackend backend_{{}, backend::BackendSetup::ForTests()};
  sim::SimSystem& sys_ = backend_.System();
  sim::SimUsbDevice& device_ = backend_.Device();
  device::DeviceChannel& channel_ = backend_.Channel();
  device::VendorTransport& transport_ = backend_.Transport();
  MemoryLogFile file_;
  CapturingDebugOutput debug_;
  FixedLocalTime clock_{{3, 7, 9, 5, 41}};
  log::DiagnosticLog log_{{true, log::LogType::kFile}, file_, debug_, clock_};
  const std::array<Band, kBandCount> bands_ = DefaultBands();
};

TEST_F(LiveUploadTest, PlaybackSendsTheWholeSequenceForEveryPreset) {
  for (uint8_t preset = 0; preset < kPresetCount; ++preset) {
    sys_.ClearRequestLog();
    device_.Chip().ClearEqWrites();
    const GainRow& gains = kDefaultPlaybackGains[preset];
    UploadPlaybackEq(transport_, log_, bands_, gains, preset);
    // The chip's control register holds 0 after the first write, band 5 after the last one.
    const std::vector<Access> expected = PlaybackSequence(gains, preset, 0x00, 0x05);
    EXPECT_EQ(Requests(), expected) << "preset " << int{preset};
    EXPECT_EQ(device_.Chip().EqWrites(), WritesOf(expected));
    EXPECT_EQ(device_.Chip().Register(0x46), 0x0D);
    EXPECT_EQ(device_.Chip().Register(0x49), preset + 4);
    for (int i = 0; i < kGainCount; ++i)
      EXPECT_EQ(device_.Chip().Register(0x40 + i), gains[i]);
  }
}

TEST_F(LiveUploadTest, RecordSendsTheWholeSequenceWithoutPresets) {
  UploadRecordEq(transport_, log_, bands_, kDefaultRecordGains);
  const std::vector<Access> expected = RecordSequence(kDefaultRecordGains, 0x00, 0x05);
  EXPECT_EQ(Requests(), expected);
  EXPECT_EQ(device_.Chip().EqWrites(), WritesOf(expected));
  EXPECT_EQ(device_.Chip().Register(0x76), 0x0D);
  EXPECT_EQ(device_.Chip().Register(0x75), 48);
}

TEST_F(LiveUploadTest, LogsOneLinePerBandZeroPaddedForPlaybackSpacePaddedForRecord) {
  UploadPlaybackEq(transport_, log_, bands_, kDefaultPlaybackGains[0], 0);
  std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "[3/7 9:5:41] PlayBackEQ Band(1) A21(3F2F0C0F) A31(E0CF9124) S(0067C891)\n");
  EXPECT_EQ(lines[4], "[3/7 9:5:41] PlayBackEQ Band(5) A21(F339AA7F) A31(FEA1D932) S(0F50EC98)\n");

  file_.contents.clear();
  UploadRecordEq(transport_, log_, bands_, kDefaultRecordGains);
  lines = LogLines();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "[3/7 9:5:41] RecordEQ Band(1) A21(3F2F0C0F) A31(E0CF9124) S(  67C891)\n");
  EXPECT_EQ(lines[1], "[3/7 9:5:41] RecordEQ Band(2) A21(3DCEE4DA) A31(E2207A93) S( 1103D49)\n");
}

TEST_F(LiveUploadTest, BandWritesKeepTheHighBitsReadBeforeThem) {
  // The write of 0 fails, so the chip keeps its own control bits for the read that follows.
  device_.Chip().SetRegister(0x46, 0xA3);
  FailUploadRequest(2);
  UploadPlaybackEq(transport_, log_, bands_, kDefaultPlaybackGains[1], 1);
  std::vector<Access> expected = PlaybackSequence(kDefaultPlaybackGains[1], 1, 0xA3, 0xA5);
  EXPECT_EQ(Requests(), expected);
  EXPECT_EQ(device_.Chip().Register(0x46), 0xAD);

  sys_.ClearRequestLog();
  device_.Chip().SetRegister(0x76, 0x70);
  FailUploadRequest(2);
  UploadRecordEq(transport_, log_, bands_, kDefaultRecordGains);
  // The apply step works from the last control read, which saw 0x75 after band 5.
  EXPECT_EQ(Requests(), RecordSequence(kDefaultRecordGains, 0x70, 0x75));
}

TEST_F(LiveUploadTest, AFailedReadLeavesItsByteAtItsStartingValue) {
  // Playback: the apply read (third from the end) fails, so the apply write works from 0.
  const size_t playbackLength = PlaybackSequence(kDefaultPlaybackGains[0], 0, 0, 0).size();
  FailUploadRequest(playbackLength - 2);
  UploadPlaybackEq(transport_, log_, bands_, kDefaultPlaybackGains[0], 0);
  EXPECT_EQ(Requests(), PlaybackSequence(kDefaultPlaybackGains[0], 0, 0x00, 0x00));

  // Record: the apply read fails, so it works from the control value read at the start (0,
  // written just before), not from band 5's 0x05.
  sys_.ClearRequestLog();
  const size_t recordLength = RecordSequence(kDefaultRecordGains, 0, 0).size();
  FailUploadRequest(recordLength - 2);
  UploadRecordEq(transport_, log_, bands_, kDefaultRecordGains);
  EXPECT_EQ(Requests(), RecordSequence(kDefaultRecordGains, 0x00, 0x00));
  EXPECT_EQ(device_.Chip().Register(0x76), 0x08);
}

TEST_F(LiveUploadTest, AFailedRequestDoesNotStopTheSequence) {
  FailUploadRequest(10);  // a data byte of band 1
  UploadPlaybackEq(transport_, log_, bands_, kDefaultPlaybackGains[2], 2);
  const std::vector<sim::RequestRecord> records = sys_.RequestLog();
  std::vector<Access> expected = PlaybackSequence(kDefaultPlaybackGains[2], 2, 0x00, 0x05);
  EXPECT_EQ(Requests(), expected);
  ASSERT_EQ(records.size(), expected.size());
  for (size_t i = 0; i < records.size(); ++i)
    EXPECT_EQ(records[i].result, i != 9) << i;
  EXPECT_EQ(LogLines().size(), 5u);
}

TEST_F(LiveUploadTest, WithoutADeviceNothingIsSentAndTheBandsAreStillLogged) {
  ASSERT_EQ(channel_.DetachDevice(), 1);
  sys_.ClearRequestLog();
  UploadPlaybackEq(transport_, log_, bands_, kDefaultPlaybackGains[0], 0);
  UploadRecordEq(transport_, log_, bands_, kDefaultRecordGains);
  EXPECT_TRUE(Requests().empty());
  EXPECT_TRUE(device_.Chip().EqWrites().empty());
  EXPECT_EQ(LogLines().size(), 10u);
}

TEST_F(LiveUploadTest, BandsOutsideTheCheckAreSentAsTheirDefinedWords) {
  std::array<Band, kBandCount> bands = bands_;
  bands[2] = {100, 100};  // from an image: bandwidth not below the centre
  UploadPlaybackEq(transport_, log_, bands, kDefaultPlaybackGains[0], 0);
  EXPECT_EQ(LogLines()[2],
            "[3/7 9:5:41] PlayBackEQ Band(3) A21(00000000) A31(00000000) S(00000000)\n");
  const std::vector<Access> requests = Requests();
  // Band 3's control write is followed by twelve zero bytes.
  const size_t band3 = 3 + 2 * 13;
  ASSERT_GT(requests.size(), band3 + 12);
  EXPECT_EQ(requests[band3], W(0x46, 0x03));
  for (size_t i = 1; i <= 12; ++i)
    EXPECT_EQ(requests[band3 + i], W(0x47, 0x00)) << i;
}

}  // namespace
}  // namespace veltra::eq
