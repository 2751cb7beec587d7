#include "image/configuration.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "device/eeprom_types.h"
#include "image/factory_image.h"
#include "random_packed_image.h"

namespace veltra::image {
namespace {

constexpr uint32_t kTransfer = 511;  // S24C04: the factory image with both EQs and tail records

Configuration FactoryConfiguration() {
  const std::vector<uint8_t> image = *BuildFactoryImage(0x5A52, 0x7731, kTransfer + 1);
  return *DecodeConfiguration(ReadImage(image, kTransfer));
}

std::vector<uint8_t> Packed(const Configuration& c, uint32_t transferLength = kTransfer) {
  const PackedConfiguration packed = PackConfiguration(c, transferLength);
  EXPECT_TRUE(packed.fits);
  return packed.image;
}

std::set<size_t> DifferingBytes(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  std::set<size_t> at;
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
    if (a[i] != b[i]) at.insert(i);
  }
  return at;
}

TEST(ConfigurationTest, EveryPackedImageComesBackByteForByteOnAllNineEepromTypes) {
  // What the images held, so the property covers every form a section can take.
  std::map<std::string, int> seen;
  auto tally = [&seen](const Configuration& c) {
    if (c.manufacturer) seen[c.manufacturer->index() == 0 ? "text" : "raw text"]++;
    if (c.audioIo) seen[c.audioIo->index() == 0 ? "volumes" : "raw volumes"]++;
    if (c.mcuFirmware) seen["firmware"]++;
    for (const auto* eq : {&c.playbackEq, &c.recordEq}) {
      if (!*eq) continue;
      seen[(*eq)->raw ? "raw eq" : "eq"]++;
      for (const EqBand& band : (*eq)->bands) {
        seen[band.table ? "band table" : "no band table"]++;
        if (!(*eq)->raw) seen[band.words ? "own words" : "computed words"]++;
      }
    }
  };
  for (const device::EepromType& type : device::kEepromTypes) {
    testing::RandomPackedImage random(type.size);
    for (int i = 0; i < 60; ++i) {
      const std::vector<uint8_t> image = random.Make(type.transferLength);
      const std::optional<Configuration> c =
          DecodeConfiguration(ReadImage(image, type.transferLength));
      ASSERT_TRUE(c.has_value());
      const auto problem = CheckConfiguration(*c);
      EXPECT_FALSE(problem) << type.name << " #" << i << ": " << problem->field << ": "
                            << problem->reason;
      const PackedConfiguration packed = PackConfiguration(*c, type.transferLength);
      ASSERT_TRUE(packed.fits) << type.name << " #" << i;
      ASSERT_EQ(packed.image, image) << type.name << " #" << i;
      EXPECT_EQ(DecodeConfiguration(ReadImage(packed.image, type.transferLength)), c);
      tally(*c);
    }
  }
  for (const char* form : {"text", "raw text", "volumes", "raw volumes", "firmware", "eq", "raw eq",
                           "band table", "no band table", "own words", "computed words"}) {
    EXPECT_GE(seen[form], 5) << form;
  }
}

TEST(ConfigurationTest, FactoryImageDecodesIntoWhatThePagesShow) {
  const Configuration c = FactoryConfiguration();
  EXPECT_EQ(c.header.vid, 0x5A52);
  EXPECT_EQ(c.header.usb.powerRange, 4);
  EXPECT_TRUE(c.header.recordEqEnabled);
  EXPECT_EQ(c.manufacturer, StringSection{std::string("Veltra Audio")});
  ASSERT_TRUE(c.audioIo && std::holds_alternative<VolumeSettingsList>(*c.audioIo));
  const auto& volumes = std::get<VolumeSettingsList>(*c.audioIo);
  EXPECT_EQ(volumes[0], (VolumeSetting{0, -62, -10, false}));
  EXPECT_EQ(volumes[5], (VolumeSetting{32, -14, 0, true}));
  ASSERT_TRUE(c.playbackEq && !c.playbackEq->raw);
  ASSERT_EQ(c.playbackEq->gains.size(), 4u);
  EXPECT_EQ(c.playbackEq->gains[1], (GainRow{33, 23, 22, 22, 26, 38}));
  for (const EqBand& band : c.playbackEq->bands) {
    EXPECT_TRUE(band.table.has_value());
    EXPECT_FALSE(band.words.has_value()) << "the factory words are the bands' own";
  }
  EXPECT_EQ(c.playbackEq->bands[2].table->centreFrequency, 1000);
  EXPECT_FALSE(c.mcuFirmware);
  EXPECT_FALSE(c.ocString);
}

// Each edit, and the image addresses it may change in the factory image of an S24C04: header
// bytes 0..10, then Audio I/O at 61, the strings at 98, 124 and 170, Playback EQ at 194, Record
// EQ at 278 and the tail records at 344 and 366.
struct OwnedBytesCase {
  const char* name;
  std::function<void(Configuration&)> edit;
  std::vector<std::pair<size_t, size_t>> owned;  // [first, last]
};

TEST(ConfigurationTest, AnEditedFieldChangesOnlyTheBytesItOwns) {
  const Configuration factory = FactoryConfiguration();
  const std::vector<uint8_t> before = Packed(factory);
  ASSERT_EQ(before[194], 24) << "layout assumed below";
  ASSERT_EQ(before[344], 0x81);
  ASSERT_EQ(before[366], 0x82);
  const std::vector<OwnedBytesCase> cases{
      {"vid", [](Configuration& c) { c.header.vid = 0x1234; }, {{2, 3}}},
      {"remote wakeup", [](Configuration& c) { c.header.usb.remoteWakeup = true; }, {{6, 6}}},
      {"byte 8 bit 3", [](Configuration& c) { c.header.byte8Bit3 = true; }, {{8, 8}}},
      {"tone maximum", [](Configuration& c) { c.header.toneMaximumCode = 0x9D; }, {{9, 9}}},
      {"record I2S slave",
       [](Configuration& c) { c.header.audio.recordI2sSlave = true; },
       {{10, 10}}},
      {"playback initial volume",
       [](Configuration& c) { std::get<VolumeSettingsList>(*c.audioIo)[0].initialDb = -20; },
       {{65, 66}}},
      {"mic-in AA mute",
       [](Configuration& c) { std::get<VolumeSettingsList>(*c.audioIo)[5].initialMute = false; },
       {{97, 97}}},
      {"serial text, same length",
       [](Configuration& c) { c.serial = StringSection{std::string("VT7731-0002")}; },
       {{170, 193}}},
      {"preset 10, band 4 gain",
       [](Configuration& c) { c.playbackEq->gains[2][3] = 30; },
       {{209, 209}}},
      {"playback band 3 centre",
       [](Configuration& c) { c.playbackEq->bands[2].table->centreFrequency = 1200; },
       {{242, 253}, {354, 355}}},
      {"record band 5 words",
       [](Configuration& c) {
         c.recordEq->bands[4].words = BandRecord{1, 2, 3};
       },
       {{332, 343}}},
      {"record band 1 bandwidth, words kept",
       [](Configuration& c) {
         c.recordEq->bands[0].words = BandWordsOf(*c.recordEq->bands[0].table);
         c.recordEq->bands[0].table->bandwidth = 71;
       },
       {{370, 371}}},
  };
  for (const OwnedBytesCase& test : cases) {
    Configuration edited = factory;
    test.edit(edited);
    const std::set<size_t> changed = DifferingBytes(before, Packed(edited));
    EXPECT_FALSE(changed.empty()) << test.name;
    for (size_t at : changed) {
      const bool owned = std::any_of(test.owned.begin(), test.owned.end(), [at](auto range) {
        return at >= range.first && at <= range.second;
      });
      EXPECT_TRUE(owned) << test.name << ": byte " << at << " changed";
    }
  }
}

struct RefusalCase {
  const char* field;
  std::function<void(Configuration&)> edit;
};

TEST(ConfigurationTest, CheckRefusesWhatThePagesRefuseAndNamesTheField) {
  auto volumes = [](Configuration& c) -> VolumeSettingsList& {
    return std::get<VolumeSettingsList>(*c.audioIo);
  };
  const std::vector<RefusalCase> cases{
      {"audioIo.volumes.playback.initialDb",
       [&](Configuration& c) { volumes(c)[0].initialDb = -62; }},
      {"audioIo.volumes.playback.initialDb",
       [&](Configuration& c) { volumes(c)[0].initialDb = 0; }},
      {"audioIo.volumes.micInAa.maximumDb",
       [&](Configuration& c) { volumes(c)[5].maximumDb = 33; }},
      {"audioIo.volumes.lineInAa.minimumDb",
       [&](Configuration& c) { volumes(c)[4].minimumDb = -30; }},
      {"audioIo.volumes.lineInRecording.minimumDb",
       [&](Configuration& c) { volumes(c)[1].minimumDb = 37; }},
      {"playbackEq.bands[0].centreHz",
       [](Configuration& c) { c.playbackEq->bands[0].table->centreFrequency = 19; }},
      {"playbackEq.bands[1].centreHz",
       [](Configuration& c) { c.playbackEq->bands[1].table->centreFrequency = 20001; }},
      {"recordEq.bands[4].bandwidthHz",
       [](Configuration& c) { c.recordEq->bands[4].table->bandwidth = 13000; }},
      {"playbackEq.bands[2]", [](Configuration& c) { c.playbackEq->bands[2].table.reset(); }},
      {"playbackEq.presets.10[5]", [](Configuration& c) { c.playbackEq->gains[2][5] = 49; }},
      {"recordEq.gainsDb[0]", [](Configuration& c) { c.recordEq->gains[0][0] = 255; }},
      {"strings.product.text",
       [](Configuration& c) { c.product = StringSection{std::string("X")}; }},
      {"strings.serial.text", [](Configuration& c) { c.serial = StringSection{std::string()}; }},
      {"strings.manufacturer.text",
       [](Configuration& c) { c.manufacturer = StringSection{std::string(127, 'a')}; }},
      {"strings.manufacturer.text",
       [](Configuration& c) { c.manufacturer = StringSection{std::string("a\xff")}; }},
      {"mcu.firmware",
       [](Configuration& c) { c.mcuFirmware = RawSection{std::vector<uint8_t>(16384)}; }},
      {"rawSections.passThrough4.raw",
       [](Configuration& c) { c.passThrough4 = RawSection{std::vector<uint8_t>(4096)}; }},
  };
  for (const RefusalCase& test : cases) {
    Configuration c = FactoryConfiguration();
    test.edit(c);
    const std::optional<ConfigurationProblem> problem = CheckConfiguration(c);
    ASSERT_TRUE(problem.has_value()) << test.field;
    EXPECT_EQ(problem->field, test.field) << problem->reason;
  }

  // What the pages keep as read passes: a band outside the rules with its own words, the
  // longest descriptor, the largest sections.
  Configuration kept = FactoryConfiguration();
  kept.playbackEq->bands[0].table = BandTableEntry{10, 500};
  kept.playbackEq->bands[0].words = BandRecord{1, 2, 3};
  kept.manufacturer = StringSection{std::string(126, 'a')};
  kept.mcuFirmware = RawSection{std::vector<uint8_t>(16383)};
  kept.passThrough8 = RawSection{std::vector<uint8_t>(4095)};
  EXPECT_FALSE(CheckConfiguration(kept));
}

TEST(ConfigurationTest, BandsOutsideTheRulesAndBandsWithoutATableKeepTheirWords) {
  Configuration c = FactoryConfiguration();
  // A band another tool stored outside the rules, words as the design gives them.
  c.recordEq->bands[1].table = BandTableEntry{500, 500};
  c.recordEq->bands[1].words = BandWordsOf(*c.recordEq->bands[1].table);
  const std::vector<uint8_t> image = Packed(c);
  const Configuration decoded = *DecodeConfiguration(ReadImage(image, kTransfer));
  EXPECT_TRUE(decoded.recordEq->bands[1].words.has_value());
  EXPECT_EQ(Packed(decoded), image);

  // On an S24C02 the EQs fit only without the strings, and neither tail record has room: the
  // bands have no table and every word is kept.
  Configuration small = FactoryConfiguration();
  small.manufacturer.reset();
  small.product.reset();
  small.serial.reset();
  const PackedConfiguration packed = PackConfiguration(small, 255);
  ASSERT_TRUE(packed.fits);
  EXPECT_FALSE(packed.tailRecord1Stored);
  EXPECT_FALSE(packed.tailRecord2Stored);
  const Configuration read = *DecodeConfiguration(ReadImage(packed.image, 255));
  for (const EqBand& band : read.playbackEq->bands) {
    EXPECT_FALSE(band.table.has_value());
    EXPECT_TRUE(band.words.has_value());
  }
  EXPECT_FALSE(CheckConfiguration(read));
  EXPECT_EQ(PackConfiguration(read, 255).image, packed.image);
}

TEST(ConfigurationTest, SectionsThePagesCannotShowAreKeptRaw) {
  const std::vector<uint8_t> image = Packed(FactoryConfiguration());
  Configuration c = *DecodeConfiguration(ReadImage(image, kTransfer));
  // A fraction of a dB, a gain above +12 dB, a descriptor with a wrong bLength.
  std::vector<uint8_t> audio(image.begin() + 61, image.begin() + 98);
  audio[0] = 0x80;
  c.audioIo = AudioIoContent{RawSection{audio}};
  std::vector<uint8_t> eq(image.begin() + 194, image.begin() + 278);
  eq[0] = 49;
  c.playbackEq->raw = RawSection{eq};
  c.playbackEq->gains.clear();
  for (EqBand& band : c.playbackEq->bands)
    band.words.reset();
  c.manufacturer = StringSection{RawSection{{0x07, 0x03, 'A', 0, 'B', 0}}};
  ASSERT_FALSE(CheckConfiguration(c));

  const std::vector<uint8_t> packed = Packed(c);
  const Configuration read = *DecodeConfiguration(ReadImage(packed, kTransfer));
  EXPECT_TRUE(std::holds_alternative<RawSection>(*read.audioIo));
  EXPECT_TRUE(read.playbackEq->raw.has_value());
  EXPECT_TRUE(read.playbackEq->bands[0].table.has_value()) << "the band table stays decoded";
  EXPECT_TRUE(std::holds_alternative<RawSection>(*read.manufacturer));
  EXPECT_EQ(read, c);

  // What the chip reads from a section is the same whether it is kept raw or decoded.
  EXPECT_EQ(StoredAudioIoOf(*read.audioIo)->records[0].maximum,
            static_cast<int16_t>(0x80 | image[62] << 8));
  const auto volumes = StoredAudioIoOf(*FactoryConfiguration().audioIo);
  ASSERT_TRUE(volumes);
  std::vector<uint8_t> encoded(kAudioIoSectionLength);
  EncodeAudioIoSection(*volumes, encoded);
  EXPECT_EQ(encoded, std::vector<uint8_t>(image.begin() + 61, image.begin() + 98));
  EXPECT_FALSE(StoredAudioIoOf(AudioIoContent{RawSection{{1, 2}}}));
  const auto rawEq = StoredEqOf(*read.playbackEq, true);
  ASSERT_TRUE(rawEq);
  EXPECT_EQ(rawEq->gains[0][0], 49);
  EXPECT_EQ(rawEq->words, DecodePlaybackEqSection(eq)->bands);
  const Configuration factory = FactoryConfiguration();
  EXPECT_EQ(StoredEqOf(*factory.playbackEq, true)->words, DecodePlaybackEqSection(eq)->bands);
  eq.resize(kPlaybackEqSectionLength - 1);
  EXPECT_FALSE(StoredEqOf(EqSection{{}, {}, RawSection{eq}}, true));
}

TEST(ConfigurationTest, EveryHeaderBitHasAField) {
  for (size_t byte = 2; byte < kHeaderLength; ++byte) {
    for (int bit = 0; bit < 8; ++bit) {
      std::array<uint8_t, kHeaderLength> header{'Z', 'R'};
      header[byte] = static_cast<uint8_t>(1u << bit);
      EXPECT_EQ(EncodeHeaderSettings(DecodeHeaderSettings(header)), header)
          << "byte " << byte << " bit " << bit;
    }
  }
}

TEST(ConfigurationTest, AnImageWithoutTheMagicHasNoConfiguration) {
  EXPECT_FALSE(DecodeConfiguration(ReadImage(std::vector<uint8_t>(255, 0), 255)));
  EXPECT_FALSE(DecodeConfiguration(ReadImage(std::vector<uint8_t>(255, 0xFF), 255)));
}

}  // namespace
}  // namespace veltra::image
