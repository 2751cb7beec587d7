#include "cli/eq_upload.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <utility>
#include <vector>

#include "device/channel.h"
#include "device/transport.h"
#include "eq/band_coefficients.h"
#include "image/factory_image.h"
#include "log/log_fakes.h"
#include "platform/sim/sim_system.h"

namespace veltra::cli {
namespace {

using Writes = std::vector<std::pair<uint8_t, uint8_t>>;

image::Configuration FactoryConfiguration() {
  const std::vector<uint8_t> image = *image::BuildFactoryImage(0x5A52, 0x7731, 512);
  return *image::DecodeConfiguration(image::ReadImage(image, 511));
}

// The EQ register writes of one upload: the control register cleared, each band's number and its
// twelve word bytes, the preset (playback), the gains and the apply bit set on the control
// register, which then holds band 5.
Writes ExpectedWrites(bool playback, const std::array<eq::Band, eq::kBandCount>& bands,
                      const eq::GainRow& gains, uint8_t preset) {
  const uint8_t control = playback ? 0x46 : 0x76;
  const uint8_t data = playback ? 0x47 : 0x77;
  const uint8_t firstGain = playback ? 0x40 : 0x70;
  Writes writes{{control, 0x00}};
  for (int k = 0; k < eq::kBandCount; ++k) {
    writes.emplace_back(control, static_cast<uint8_t>(k + 1));
    const eq::BandWords words =
        eq::CalcBandCoefficients(eq::kEqSampleRate, bands[k].centreHz, bands[k].bandwidthHz);
    for (uint8_t byte : words.ToBigEndian())
      writes.emplace_back(data, byte);
  }
  if (playback) {
    writes.emplace_back(0x4A, preset);
    writes.emplace_back(0x49, static_cast<uint8_t>(preset + 4));
  }
  for (int i = 0; i < eq::kGainCount; ++i)
    writes.emplace_back(static_cast<uint8_t>(firstGain + i), gains[i]);
  writes.emplace_back(control, 0x0D);
  return writes;
}

class EqUploadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(channel_.OpenDriver(), 1);
    ASSERT_EQ(channel_.ConnectDevice(0x5A52, 0x7731, nullptr, nullptr, 0, 0), 1);
    device_.Chip().ClearEqWrites();
  }

  sim::SimSystem sys_;
  sim::SimUsbDevice& device_ = sys_.AddDevice({});
  device::DeviceChannel channel_{sys_.Platform()};
  device::VendorTransport transport_{channel_};
};

TEST_F(EqUploadTest, PlaybackSendsTheChosenPresetAndTheImagesBands) {
  image::Configuration c = FactoryConfiguration();
  c.playbackEq->bands[1].table = image::BandTableEntry{400, 150};
  std::string reason;
  const std::optional<EqUpload> upload = PlanEqUpload(c, true, 3, reason);
  ASSERT_TRUE(upload.has_value()) << reason;
  EXPECT_FALSE(upload->factoryBands);

  std::ostringstream log;
  SendEqUpload(transport_, *upload, log);
  std::array<eq::Band, eq::kBandCount> bands = eq::DefaultBands();
  bands[1] = {400, 150};
  EXPECT_EQ(device_.Chip().EqWrites(), ExpectedWrites(true, bands, c.playbackEq->gains[3], 3));
  EXPECT_EQ(log.str().substr(0, log.str().find('\n') + 1),
            "PlayBackEQ Band(1) A21(3F2F0C0F) A31(E0CF9124) S(0067C891)\n");
}

// Where the GUI's log settings are the system's, its log file gets the lines as the EQ page's
// Test writes them: stamped, one record a band, appended to what the GUI wrote.
TEST_F(EqUploadTest, TheStoredLogGetsEveryLineStampedAndKeepsWhatItHeld) {
  const image::Configuration c = FactoryConfiguration();
  std::string reason;
  const std::optional<EqUpload> upload = PlanEqUpload(c, true, 0, reason);
  ASSERT_TRUE(upload.has_value()) << reason;
  log::testing::MemoryLogFile file;
  file.contents = "[1/2 3:4:5] earlier\n";
  log::testing::CapturingDebugOutput debugger;
  log::testing::FixedLocalTime time({12, 7, 14, 5, 9});
  log::DiagnosticLog stored({true, log::LogType::kFile}, file, debugger, time);

  std::ostringstream lines;
  SendEqUpload(transport_, *upload, lines, &stored);
  EXPECT_EQ(file.deletes, 0);
  EXPECT_EQ(file.appends, eq::kBandCount);
  std::string expected = "[1/2 3:4:5] earlier\n";
  std::istringstream each(lines.str());
  for (std::string line; std::getline(each, line);)
    expected += "[12/7 14:5:9] " + line + "\n";
  EXPECT_EQ(file.contents, expected);
  EXPECT_TRUE(debugger.lines.empty());
}

TEST_F(EqUploadTest, RecordSendsItsGainsAndWithoutABandTableTheFactoryBands) {
  image::Configuration c = FactoryConfiguration();
  c.recordEq->gains[0] = {30, 20, 24, 24, 10, 40};
  for (image::EqBand& band : c.recordEq->bands) {
    band.words = image::BandWordsOf(*band.table);
    band.table.reset();
  }
  std::string reason;
  const std::optional<EqUpload> upload = PlanEqUpload(c, false, 0, reason);
  ASSERT_TRUE(upload.has_value()) << reason;
  EXPECT_TRUE(upload->factoryBands);

  std::ostringstream log;
  SendEqUpload(transport_, *upload, log);
  EXPECT_EQ(device_.Chip().EqWrites(),
            ExpectedWrites(false, eq::DefaultBands(), c.recordEq->gains[0], 0));
  const std::string lines = log.str();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 5);
}

TEST_F(EqUploadTest, NothingIsPlannedThatThePageWouldNotSend) {
  image::Configuration c = FactoryConfiguration();
  std::string reason;
  c.header.recordEqEnabled = false;
  EXPECT_FALSE(PlanEqUpload(c, false, 0, reason));
  EXPECT_EQ(reason, "the record EQ is disabled (header byte 8 bit 6 is clear)");
  c.playbackEq->raw = image::RawSection{std::vector<uint8_t>(90)};
  c.playbackEq->gains.clear();
  EXPECT_FALSE(PlanEqUpload(c, true, 0, reason));
  c.playbackEq.reset();
  EXPECT_FALSE(PlanEqUpload(c, true, 0, reason));
  EXPECT_EQ(reason, "the configuration has no playback EQ section");
  EXPECT_TRUE(device_.Chip().EqWrites().empty());
}

}  // namespace
}  // namespace veltra::cli
