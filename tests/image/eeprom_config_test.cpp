#include "image/eeprom_config.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <numeric>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "simulated_chip.h"

namespace veltra::image {
namespace {

using testing::Chunk;
using testing::Chunks;
using ::testing::Each;
using ::testing::ElementsAre;
using testing::RecordingSink;
using testing::SimulatedChip;

struct Stored {
  int index;
  std::vector<uint8_t> data;
};

std::vector<uint8_t> Bytes(size_t length, uint8_t first) {
  std::vector<uint8_t> bytes(length);
  std::iota(bytes.begin(), bytes.end(), first);
  return bytes;
}

TailRecord Tail(uint8_t fill) {
  TailRecord record;
  record.fill(fill);
  return record;
}

// An image as the packer lays it out, transfer length bytes long.
std::vector<uint8_t> PackedImage(const std::vector<Stored>& stored, uint32_t transferLength,
                                 const TailRecord* tail1 = nullptr,
                                 const TailRecord* tail2 = nullptr) {
  std::vector<PackSection> sections;
  for (const auto& s : stored)
    sections.push_back({s.index, s.data});
  const std::vector<uint8_t> header{0, 0, 0x52, 0x5A, 0x31, 0x77, 0xE0, 0x04, 0x41, 0, 0x80};
  PackInput input{sections, header, tail1, tail2};
  std::vector<uint8_t> image(transferLength);
  EXPECT_TRUE(PackImage(input, transferLength, image).fits);
  return image;
}

class EepromConfigTest : public ::testing::Test {
 protected:
  explicit EepromConfigTest(sim::EepromPart part = sim::EepromPart::k24C02) : chip_(part) {}
  void SetUp() override { ASSERT_TRUE(chip_.connected); }

  int32_t Read(const std::vector<uint8_t>& image) {
    chip_.Seed(image);
    const int32_t result = config_.Reload(chip_.transferLength);
    if (result == kSOk) {
      EXPECT_EQ(config_.SetEepromSize(chip_.transferLength), kSOk);
      config_.LoadTailRecords();
    }
    return result;
  }
  std::vector<uint8_t> Image() const {
    const auto buffer = config_.ImageBuffer();
    return {buffer.begin(), buffer.begin() + chip_.transferLength};
  }
  std::vector<uint8_t> Contents(const Section* section) const {
    return {section->data.begin(), section->data.end()};
  }

  SimulatedChip chip_;
  RecordingSink sink_;
  EepromConfig config_{chip_.transport, &sink_};
};

class EepromConfig24C04Test : public EepromConfigTest {
 protected:
  EepromConfig24C04Test() : EepromConfigTest(sim::EepromPart::k24C04) {}
};

TEST_F(EepromConfigTest, ErasedEepromReadsAsEmptyWithEverySectionAtItsDefault) {
  for (uint8_t erased : {0x00, 0xFF}) {
    sink_.texts.clear();
    ASSERT_EQ(Read(std::vector<uint8_t>(chip_.size, erased)), kSOk);
    EXPECT_TRUE(config_.IsEmpty());
    EXPECT_THAT(sink_.texts, ElementsAre("EEPROM Empty"));
    ASSERT_EQ(config_.Sections().size(), kSectionKindCount);
    for (const SectionKind& kind : kSectionKinds) {
      const Section* section = config_.FindSection(kind.type);
      ASSERT_NE(section, nullptr);
      EXPECT_EQ(section->IsPresent(), kind.index == section_index::kHeader) << kind.name;
      EXPECT_EQ(section->Length(), kind.defaultLength) << kind.name;
      EXPECT_EQ(section->data, std::vector<uint8_t>(kind.defaultLength, 0)) << kind.name;
    }
  }
}

TEST_F(EepromConfigTest, ReloadReadsCapabilityHeaderSectionsAndTailPlacesInOrder) {
  const auto audio = Bytes(37, 1);
  ASSERT_EQ(Read(PackedImage({{section_index::kAudioIo, audio}}, 255)), kSOk);
  const auto log = chip_.system.RequestLog();
  ASSERT_FALSE(log.empty());
  const auto& probe = log.front().packet;
  EXPECT_EQ(probe.requestCode, platform::kRequestRead);
  EXPECT_EQ(probe.index, kCapabilityRegister);
  EXPECT_EQ(probe.length, 1);
  // Header 0..59; Audio I/O 61..97; tail places 98..119 and 120..141 (T = 255 >= 37 + 105).
  EXPECT_THAT(
      Chunks(log, chip_.size),
      ElementsAre(Chunk{0, 16, true}, Chunk{16, 16, true}, Chunk{32, 16, true}, Chunk{48, 12, true},
                  Chunk{61, 16, true}, Chunk{77, 16, true}, Chunk{93, 5, true}, Chunk{98, 16, true},
                  Chunk{114, 6, true}, Chunk{120, 16, true}, Chunk{136, 6, true}));
  EXPECT_FALSE(config_.IsEmpty());
  EXPECT_TRUE(sink_.texts.empty());
  EXPECT_EQ(config_.Total(), 37u);
  const Section* section = config_.FindSection(section_type::kAudioIo);
  EXPECT_TRUE(section->IsPresent());
  EXPECT_EQ(Contents(section), audio);
  EXPECT_THAT(Contents(config_.FindSection(section_type::kHeader)),
              ElementsAre('Z', 'R', 0x52, 0x5A, 0x31, 0x77, 0xE0, 0x04, 0x41, 0, 0x80));
  TailRecord record{};
  EXPECT_EQ(config_.GetTailRecord(record.data(), 22, section_index::kPlaybackEq), 0);
  EXPECT_EQ(config_.GetTailRecord(record.data(), 22, section_index::kRecordEq), 0);
}

// Another program's change is found by reading the read's ranges again, at the read's cost.
TEST_F(EepromConfigTest, TheCheckRereadsWhatTheReadFetched) {
  ASSERT_EQ(Read(PackedImage({{section_index::kAudioIo, Bytes(37, 1)}}, 255)), kSOk);
  const std::vector<Chunk> read = Chunks(chip_.system.RequestLog(), chip_.size);
  chip_.system.ClearRequestLog();
  chip_.Eeprom()[200] ^= 0xFF;  // beyond the image and both tail places
  EXPECT_EQ(config_.CheckEepromUnchanged(), EepromCheck::kUnchanged);
  EXPECT_EQ(Chunks(chip_.system.RequestLog(), chip_.size), read);
  chip_.Eeprom()[70] ^= 0xFF;  // in the Audio I/O section
  EXPECT_EQ(config_.CheckEepromUnchanged(), EepromCheck::kChanged);
}

TEST_F(EepromConfigTest, HeaderReadFailureLeavesNoSections) {
  chip_.system.SetFaults({.forceNack = true});
  EXPECT_EQ(config_.Reload(chip_.transferLength), kEFail);
  EXPECT_TRUE(config_.Sections().empty());
  EXPECT_EQ(config_.FindSection(section_type::kHeader), nullptr);
  EXPECT_EQ(config_.WritePosition(), kDataStart);
}

// A failed section or tail read fails the whole read instead of leaving partly read sections
// that the next Save would write back over the real configuration.
class FailedReadTest : public EepromConfigTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(FailedReadTest, AnyFailedChunkFailsTheReadAndDropsTheSections) {
  const auto image = PackedImage({{section_index::kAudioIo, Bytes(37, 1)}}, 255);
  chip_.Seed(image);
  const uint64_t firstStart = chip_.system.RequestCount();
  ASSERT_EQ(config_.Reload(chip_.transferLength), kSOk);
  uint64_t failing = 0;
  for (const Chunk& chunk : Chunks(chip_.system.RequestLog(), chip_.size)) {
    if (chunk.address == GetParam()) failing = chunk.sequence - firstStart;
  }
  ASSERT_NE(failing, 0u);

  chip_.system.SetFaults({.failRequest = chip_.system.RequestCount() + failing});
  EXPECT_EQ(config_.Reload(chip_.transferLength), kEFail);
  EXPECT_TRUE(config_.Sections().empty());
  EXPECT_EQ(config_.Total(), 0u);
  EXPECT_THAT(config_.ImageBuffer(), Each(0));
}

INSTANTIATE_TEST_SUITE_P(SectionAndTails, FailedReadTest, ::testing::Values(61u, 93u, 98u, 120u));

// Flags from a failed register read would present another chip: the read fails instead, and the
// next one finds the chip's own flags.
TEST_F(EepromConfigTest, AFailedCapabilityReadFailsTheRead) {
  chip_.Seed(PackedImage({{section_index::kAudioIo, Bytes(37, 1)}}, 255));
  const uint64_t before = chip_.system.RequestCount();
  chip_.system.SetFaults({.failRequest = before + 1});
  EXPECT_EQ(config_.Reload(chip_.transferLength), kEFail);
  const auto log = chip_.system.RequestLog();
  ASSERT_EQ(log.back().sequence, before + 1);  // nothing read from the EEPROM after it
  EXPECT_EQ(log.back().packet.index, kCapabilityRegister);
  EXPECT_TRUE(config_.Sections().empty());

  ASSERT_EQ(config_.Reload(chip_.transferLength), kSOk);
  EXPECT_EQ(config_.GetChipVariant(), 3);
  EXPECT_EQ(config_.GetCapability(5), 1);
}

TEST_F(EepromConfigTest, TailRecord2WithoutTailRecord1IsFoundRightAfterTheData) {
  const TailRecord tail2 = Tail(0x22);
  ASSERT_EQ(Read(PackedImage({{section_index::kRecordEq, Bytes(66, 1)}}, 255, nullptr, &tail2)),
            kSOk);
  EXPECT_EQ(config_.Total(), 66u);
  TailRecord record{};
  EXPECT_EQ(config_.GetTailRecord(record.data(), 22, section_index::kPlaybackEq), 0);
  ASSERT_EQ(config_.GetTailRecord(record.data(), 22, section_index::kRecordEq), 1);
  EXPECT_EQ(record[0], 0x82);
  EXPECT_EQ(record[1], 0x00);
  EXPECT_EQ(record[2], 0x22);
}

TEST_F(EepromConfigTest, WriteToEepromWritesTheTransferLengthAndNeverTheLastByte) {
  ASSERT_EQ(Read(PackedImage({{section_index::kAudioIo, Bytes(37, 1)}}, 255)), kSOk);
  chip_.Eeprom()[255] = 0xA5;
  Section* product = config_.FindSection(section_type::kProductString);
  product->SetPresent(true);
  product->SetLength(6);
  product->data = {6, 3, 'A', 0, 'B', 0};
  chip_.system.ClearRequestLog();
  chip_.Settle();

  ASSERT_EQ(config_.WriteToEeprom(), 0);
  const std::vector<uint8_t> packed = Image();
  EXPECT_EQ(std::vector<uint8_t>(chip_.Eeprom().begin(), chip_.Eeprom().begin() + 255), packed);
  EXPECT_EQ(chip_.Eeprom()[255], 0xA5);
  EXPECT_THAT(std::vector<uint8_t>(packed.begin() + 12, packed.begin() + 21),
              ElementsAre(0x80, 61, 0x00, 37, 0x80, 98, 0x20, 6, kTerminator));
  // Chunks cover 0..254 in order; a chunk sent again while the EEPROM programs is a retry.
  uint32_t next = 0;
  std::optional<Chunk> previous;
  for (const Chunk& chunk : Chunks(chip_.system.RequestLog(), chip_.size)) {
    EXPECT_FALSE(chunk.read);
    if (previous && chunk == *previous) continue;
    EXPECT_EQ(chunk.address, next);
    next += chunk.count;
    previous = chunk;
  }
  EXPECT_EQ(next, 255u);
  EXPECT_TRUE(sink_.texts.empty());
}

TEST_F(EepromConfigTest, FailedWriteShowsItsTextAndReturns4097) {
  ASSERT_EQ(Read(PackedImage({}, 255)), kSOk);
  chip_.system.SetFaults({.forceNack = true});
  EXPECT_EQ(config_.WriteToEeprom(), kWriteFailed);
  EXPECT_THAT(sink_.texts, ElementsAre("Operate EEPROM Failed"));
}

// An image that does not fit returns 4096, writes nothing and keeps every section, so that a
// later Save still carries the sections no page stores again.
TEST_F(EepromConfigTest, ImageThatDoesNotFitLeavesEverySectionAsItWas) {
  const auto audio = Bytes(37, 1);
  const auto passThrough = Bytes(10, 0x40);
  ASSERT_EQ(Read(PackedImage({{section_index::kAudioIo, audio}, {5, passThrough}}, 255)), kSOk);
  const std::vector<uint8_t> before = chip_.Eeprom();
  Section* mcu = config_.FindSection(section_type::kMcu);
  mcu->SetPresent(true);
  mcu->SetLength(300);
  mcu->data.assign(300, 0x77);
  const uint64_t requests = chip_.system.RequestCount();

  EXPECT_EQ(config_.WriteToEeprom(), kWriteNotFit);
  EXPECT_EQ(chip_.system.RequestCount(), requests);
  EXPECT_EQ(chip_.Eeprom(), before);
  EXPECT_EQ(Contents(config_.FindSection(section_type::kAudioIo)), audio);
  EXPECT_EQ(Contents(config_.FindSection(section_type::kPassThrough4)), passThrough);
  EXPECT_EQ(mcu->data.size(), 300u);

  mcu->SetPresent(false);
  chip_.Settle();
  ASSERT_EQ(config_.WriteToEeprom(), 0);
  EXPECT_EQ(std::vector<uint8_t>(chip_.Eeprom().begin() + 98, chip_.Eeprom().begin() + 108),
            passThrough);
}

class EepromConfig24C08Test : public EepromConfigTest {
 protected:
  EepromConfig24C08Test() : EepromConfigTest(sim::EepromPart::k24C08) {}
};

// What a Reload gives: every section with its entry and bytes, the Header, both tail records.
struct Configuration {
  bool empty = true;
  std::vector<std::tuple<int, EntryBytes, std::vector<uint8_t>>> sections;
  std::optional<TailRecord> tail1;
  std::optional<TailRecord> tail2;
  friend bool operator==(const Configuration&, const Configuration&) = default;
};

Configuration ConfigurationOf(const EepromConfig& config) {
  Configuration c;
  c.empty = config.IsEmpty();
  for (const auto& section : config.Sections())
    c.sections.emplace_back(section->index, section->entry, section->data);
  TailRecord record{};
  if (config.GetTailRecord(record.data(), kTailRecordLength, section_index::kPlaybackEq))
    c.tail1 = record;
  if (config.GetTailRecord(record.data(), kTailRecordLength, section_index::kRecordEq))
    c.tail2 = record;
  return c;
}

// Save with only the used part written: the directory, the sections and both tail-record
// places, nothing beyond.
TEST_F(EepromConfig24C08Test, AUsedOnlyWriteCoversTheImageAndBothTailPlaces) {
  const TailRecord tail1 = Tail(0x11);
  const TailRecord tail2 = Tail(0x22);
  ASSERT_EQ(Read(PackedImage({{section_index::kAudioIo, Bytes(37, 1)},
                              {section_index::kPlaybackEq, Bytes(84, 2)},
                              {section_index::kRecordEq, Bytes(66, 3)}},
                             1023, &tail1, &tail2)),
            kSOk);
  const uint32_t used = 61 + 187 + 44;
  std::fill(chip_.Eeprom().begin() + 248, chip_.Eeprom().end(), uint8_t{0xEE});
  chip_.system.ClearRequestLog();
  config_.SetWriteExtent(WriteExtent::kUsedOnly);
  ASSERT_EQ(config_.WriteToEeprom(), 0);

  uint32_t next = 0;
  std::optional<Chunk> previous;
  for (const Chunk& chunk : Chunks(chip_.system.RequestLog(), chip_.size)) {
    if (previous && chunk == *previous) continue;  // a retry while the EEPROM programs
    EXPECT_EQ(chunk.address, next);
    next += chunk.count;
    previous = chunk;
  }
  EXPECT_EQ(next, used);
  const std::vector<uint8_t> packed = Image();
  EXPECT_EQ(std::vector<uint8_t>(chip_.Eeprom().begin(), chip_.Eeprom().begin() + used),
            std::vector<uint8_t>(packed.begin(), packed.begin() + used));
  EXPECT_THAT(std::vector<uint8_t>(chip_.Eeprom().begin() + used, chip_.Eeprom().end()),
              Each(0xEE));
  // Where the image fills the EEPROM the used part is all of it.
  EXPECT_EQ(UsedImageLength(187, 255), 255u);
  EXPECT_EQ(UsedImageLength(0, 1023), 105u);
}

// A Reload after a used-only Save gives what a Reload after a whole Save gives, whatever the
// EEPROM held before: a larger image whose tail records lie further on, section data that looks
// like tail records where the new image has none, a smaller image, an erased part.
TEST_F(EepromConfig24C08Test, ReloadAfterAUsedOnlyWriteGivesWhatAWholeWriteGives) {
  const TailRecord tail1 = Tail(0x11);
  const TailRecord tail2 = Tail(0x22);
  std::vector<uint8_t> lookalike = Bytes(400, 0);
  for (size_t i = 0; i < lookalike.size(); i += 2) {
    lookalike[i] = 0x81;
    lookalike[i + 1] = 0x82;
  }
  const std::vector<uint8_t> larger = PackedImage({{section_index::kMcu, Bytes(300, 7)},
                                                   {section_index::kAudioIo, Bytes(37, 8)},
                                                   {section_index::kPlaybackEq, Bytes(84, 9)},
                                                   {section_index::kRecordEq, Bytes(66, 10)}},
                                                  1023, &tail1, &tail2);
  const std::vector<uint8_t> mcuLookalike = PackedImage({{section_index::kMcu, lookalike}}, 1023);
  const std::vector<uint8_t> smaller = PackedImage({{5, Bytes(5, 0x30)}}, 1023);
  const std::vector<uint8_t> erased(1023, 0xFF);

  struct NewImage {
    const char* name;
    std::vector<uint8_t> bytes;
  };
  const std::vector<NewImage> newImages = {
      {"both equalisers", PackedImage({{section_index::kAudioIo, Bytes(37, 1)},
                                       {section_index::kPlaybackEq, Bytes(84, 2)},
                                       {section_index::kRecordEq, Bytes(66, 3)}},
                                      1023, &tail1, &tail2)},
      {"record equaliser only", PackedImage({{section_index::kAudioIo, Bytes(37, 1)},
                                             {section_index::kRecordEq, Bytes(66, 3)}},
                                            1023, nullptr, &tail2)},
      {"no equaliser", PackedImage({{section_index::kAudioIo, Bytes(37, 1)}}, 1023)},
  };
  const std::pair<const char*, const std::vector<uint8_t>*> oldImages[] = {
      {"a larger image", &larger},
      {"look-alike tail records", &mcuLookalike},
      {"a smaller image", &smaller},
      {"erased", &erased}};
  for (const NewImage& image : newImages) {
    for (const auto& [oldName, old] : oldImages) {
      SCOPED_TRACE(std::string(image.name) + " over " + oldName);
      Configuration after[2];
      for (const WriteExtent extent : {WriteExtent::kWhole, WriteExtent::kUsedOnly}) {
        ASSERT_EQ(Read(image.bytes), kSOk);
        chip_.Seed(*old);
        chip_.Settle();
        config_.SetWriteExtent(extent);
        ASSERT_EQ(config_.WriteToEeprom(), 0);
        chip_.Settle();
        EepromConfig reader(chip_.transport);
        ASSERT_EQ(reader.Reload(chip_.transferLength), kSOk);
        ASSERT_EQ(reader.SetEepromSize(chip_.transferLength), kSOk);
        reader.LoadTailRecords();
        after[extent == WriteExtent::kUsedOnly] = ConfigurationOf(reader);
      }
      EXPECT_FALSE(after[1].empty);
      EXPECT_TRUE(after[0] == after[1]);
    }
  }
}

TEST_F(EepromConfig24C04Test, PackingTwiceGivesTheSameBytes) {
  const TailRecord tail1 = Tail(0x11);
  const TailRecord tail2 = Tail(0x22);
  ASSERT_EQ(Read(PackedImage({{section_index::kMcu, Bytes(40, 9)},
                              {section_index::kAudioIo, Bytes(37, 1)},
                              {section_index::kPlaybackEq, Bytes(84, 2)},
                              {section_index::kRecordEq, Bytes(66, 3)}},
                             511, &tail1, &tail2)),
            kSOk);
  ASSERT_EQ(config_.Pack(), 1);
  const auto first = Image();
  ASSERT_EQ(config_.Pack(), 1);
  EXPECT_EQ(Image(), first);
  EXPECT_EQ(config_.DirectoryLength(), 16u);
  EXPECT_EQ(config_.WritePosition(), kDataStart);
  EXPECT_EQ(config_.Total(), 227u);
  EXPECT_THAT(std::vector<uint8_t>(first.begin() + 288, first.begin() + 290),
              ElementsAre(0x81, 0x00));
  EXPECT_THAT(std::vector<uint8_t>(first.begin() + 310, first.begin() + 312),
              ElementsAre(0x82, 0x00));
}

TEST_F(EepromConfig24C04Test, TailRecordsFollowTheirSectionsPresentBits) {
  const TailRecord tail1 = Tail(0x11);
  const TailRecord tail2 = Tail(0x22);
  ASSERT_EQ(Read(PackedImage({{section_index::kPlaybackEq, Bytes(84, 2)},
                              {section_index::kRecordEq, Bytes(66, 3)}},
                             511, &tail1, &tail2)),
            kSOk);
  config_.FindSection(section_type::kPlaybackEq)->SetPresent(false);
  ASSERT_EQ(config_.Pack(), 1);
  const auto image = Image();
  // Record EQ now sits at 61 and tail record 2 right after it; tail record 1 is gone.
  EXPECT_THAT(std::vector<uint8_t>(image.begin() + 12, image.begin() + 17),
              ElementsAre(0x80, 61, 0xA0, 66, kTerminator));
  EXPECT_THAT(std::vector<uint8_t>(image.begin() + 127, image.begin() + 130),
              ElementsAre(0x82, 0x00, 0x22));
  TailRecord record{};
  EXPECT_EQ(config_.GetTailRecord(record.data(), 22, section_index::kPlaybackEq), 0);
}

// Stored images from other tools: entries the packer never makes are read without going past a
// buffer, and a section the EEPROM cannot hold makes the size check refuse the image.
TEST_F(EepromConfig24C04Test, OutOfRangeStoredEntriesStayInsideTheBuffers) {
  std::vector<uint8_t> image(511, 0);
  image[0] = 'Z';
  image[1] = 'R';
  const uint8_t slots[][4] = {
      {0x80, 100, 0x00, 50},  // Audio I/O longer than its 37-byte buffer
      {0x80, 61, 0xC0, 200},  // claims the Header
      {0x80, 160, 0x20, 4},   // product string...
      {0x80, 170, 0x20, 10},  // ...again, longer
      {0x80, 190, 0x30, 1},   // a serial string of length 1
  };
  for (size_t s = 0; s < std::size(slots); ++s)
    std::copy_n(slots[s], 4, image.begin() + 12 + 4 * s);
  std::iota(image.begin() + 61, image.end(), uint8_t{1});
  ASSERT_EQ(Read(image), kSOk);

  const Section* audio = config_.FindSection(section_type::kAudioIo);
  EXPECT_EQ(audio->Length(), 50u);
  EXPECT_EQ(Contents(audio), std::vector<uint8_t>(image.begin() + 100, image.begin() + 150));
  const Section* header = config_.FindSection(section_type::kHeader);
  EXPECT_EQ(header->Length(), kHeaderLength);
  EXPECT_EQ(header->data.size(), kHeaderLength);
  const Section* product = config_.FindSection(section_type::kProductString);
  EXPECT_EQ(Contents(product), std::vector<uint8_t>(image.begin() + 170, image.begin() + 180));
  EXPECT_EQ(config_.FindSection(section_type::kSerialString)->data.size(), 1u);

  ASSERT_EQ(config_.Pack(), 1);
  const auto packed = Image();
  // Audio I/O goes back whole: 50 bytes at 61.
  EXPECT_THAT(std::vector<uint8_t>(packed.begin() + 12, packed.begin() + 16),
              ElementsAre(0x80, 61, 0x00, 50));
  EXPECT_EQ(std::vector<uint8_t>(packed.begin() + 61, packed.begin() + 111), Contents(audio));
}

TEST_F(EepromConfigTest, SectionsNamedBeyondTheEepromAreNotFetchedAndTheSizeCheckRefuses) {
  std::vector<uint8_t> image(255, 0);
  image[0] = 'Z';
  image[1] = 'R';
  const uint8_t slot[4] = {0x80, 200, 0x40, 100};  // pass-through 4 at 200..299
  std::copy_n(slot, 4, image.begin() + 12);
  chip_.Seed(image);
  ASSERT_EQ(config_.Reload(chip_.transferLength), kSOk);
  for (const Chunk& chunk : Chunks(chip_.system.RequestLog(), chip_.size)) {
    EXPECT_LT(chunk.address, 200u);
  }
  EXPECT_EQ(config_.Total(), 100u);  // 255 >= 100 + 60, yet the data lie beyond the EEPROM
  EXPECT_EQ(config_.SetEepromSize(chip_.transferLength), kEFail);
  EXPECT_EQ(config_.EepromLength(), 0u);
  EXPECT_THAT(config_.FindSection(section_type::kPassThrough4)->data, Each(0));
}

// Whatever a caller did to a section, packing never reads past its buffer.
TEST_F(EepromConfigTest, APresentSectionShorterThanItsLengthIsLeftOut) {
  ASSERT_EQ(Read(PackedImage({{section_index::kAudioIo, Bytes(37, 1)}}, 255)), kSOk);
  Section* passThrough = config_.FindSection(section_type::kPassThrough4);
  passThrough->SetPresent(true);
  passThrough->SetLength(10);
  passThrough->data.assign(4, 0x40);
  ASSERT_EQ(config_.Pack(), 1);
  const auto image = Image();
  EXPECT_THAT(std::vector<uint8_t>(image.begin() + 12, image.begin() + 17),
              ElementsAre(0x80, 61, 0x00, 37, kTerminator));
}

TEST_F(EepromConfigTest, ReloadForgetsSectionsOfThePreviousImage) {
  ASSERT_EQ(Read(PackedImage({{section_index::kAudioIo, Bytes(37, 1)}, {4, Bytes(8, 0x30)}}, 255)),
            kSOk);
  chip_.Settle();
  ASSERT_EQ(Read(PackedImage({{section_index::kAudioIo, Bytes(37, 5)}}, 255)), kSOk);
  EXPECT_EQ(config_.Sections().size(), kSectionKindCount);
  EXPECT_FALSE(config_.FindSection(section_type::kSerialString)->IsPresent());
  EXPECT_FALSE(config_.FindSection(section_type::kSerialString)->HasData());
  EXPECT_EQ(Contents(config_.FindSection(section_type::kAudioIo)), Bytes(37, 5));
}

TEST_F(EepromConfigTest, TailRecordAccessors) {
  TailRecord record{};
  EXPECT_EQ(config_.GetTailRecord(record.data(), 22, section_index::kPlaybackEq), 0);
  const TailRecord data = Tail(0x99);
  config_.SetTailRecord(data.data(), 22, 9);
  config_.SetTailRecord(data.data(), 23, section_index::kPlaybackEq);
  config_.SetTailRecord(nullptr, 22, section_index::kPlaybackEq);
  EXPECT_EQ(config_.GetTailRecord(record.data(), 22, section_index::kPlaybackEq), 0);

  const uint8_t few[3] = {0x01, 0x02, 0x03};  // replaces the 0x0080 mark: bit 7 clear
  config_.SetTailRecord(few, 3, section_index::kPlaybackEq);
  EXPECT_EQ(config_.GetTailRecord(record.data(), 22, section_index::kPlaybackEq), 0);
  config_.SetTailRecord(few, 0, section_index::kPlaybackEq);  // only the mark
  ASSERT_EQ(config_.GetTailRecord(record.data(), 22, section_index::kPlaybackEq), 1);
  EXPECT_THAT(std::vector<uint8_t>(record.begin(), record.begin() + 4),
              ElementsAre(0x80, 0x00, 0x03, 0x00));

  config_.SetTailRecord(data.data(), 22, section_index::kRecordEq);
  TailRecord untouched{};
  EXPECT_EQ(config_.GetTailRecord(untouched.data(), 23, section_index::kRecordEq), 1);
  EXPECT_THAT(untouched, Each(0));
  EXPECT_EQ(config_.GetTailRecord(nullptr, 22, section_index::kRecordEq), 0);
  EXPECT_EQ(config_.GetTailRecord(record.data(), 22, section_index::kHeader), 0);
}

TEST_F(EepromConfigTest, ListAndSizeOperationsReturnTheirCodes) {
  EXPECT_EQ(config_.ClearSections(), kEOutOfMemory);
  EXPECT_EQ(config_.AppendSection(nullptr), kEInvalidArg);
  EXPECT_EQ(config_.FindSection(section_type::kHeader), nullptr);
  EXPECT_TRUE(config_.IsEmpty());
  EXPECT_EQ(config_.EepromLength(), 0u);
  EXPECT_EQ(config_.ExceedsEepromSize(1), 1);
  EXPECT_EQ(config_.ExceedsEepromSize(0), 0);
  EXPECT_EQ(config_.WriteToEeprom(), kWriteNotFit);  // no sections, T 0

  ASSERT_EQ(Read(PackedImage({{section_index::kAudioIo, Bytes(37, 1)}}, 255)), kSOk);
  EXPECT_EQ(config_.SetEepromSize(0), kEFail);
  EXPECT_EQ(config_.SetEepromSize(96), kEFail);  // 37 + 60 = 97
  EXPECT_EQ(config_.SetEepromSize(97), kSOk);
  EXPECT_EQ(config_.EepromLength(), 97u);
  EXPECT_EQ(config_.ExceedsEepromSize(97), 0);
  EXPECT_EQ(config_.ExceedsEepromSize(98), 1);
  EXPECT_EQ(config_.ClearSections(), kSOk);
  EXPECT_TRUE(config_.Sections().empty());
  EXPECT_EQ(config_.GetCapability(0), 0);
}

struct CapabilityCase {
  uint8_t reg;
  int variant;
  std::array<int, 7> flags;
};

class CapabilityTest : public ::testing::TestWithParam<CapabilityCase> {};

TEST_P(CapabilityTest, FlagsAndVariantFollowRegisterD9) {
  SimulatedChip chip(sim::EepromPart::k24C02, GetParam().reg);
  ASSERT_TRUE(chip.connected);
  EepromConfig config(chip.transport);
  config.ProbeChipVariant();
  EXPECT_EQ(config.GetChipVariant(), GetParam().variant);
  for (int i = 0; i < kCapabilityCount; ++i) {
    EXPECT_EQ(config.GetCapability(i), GetParam().flags[static_cast<size_t>(i)]) << i;
  }
  EXPECT_EQ(config.GetCapability(7), 0);
  EXPECT_EQ(config.GetCapability(-1), 0);
}

INSTANTIATE_TEST_SUITE_P(Register, CapabilityTest,
                         ::testing::Values(CapabilityCase{0x34, 3, {1, 1, 1, 1, 1, 1, 1}},
                                           CapabilityCase{0x30, 3, {1, 1, 1, 0, 0, 0, 0}},
                                           CapabilityCase{0x24, 2, {0, 1, 0, 0, 0, 0, 1}},
                                           CapabilityCase{0x20, 2, {0, 1, 0, 0, 0, 0, 0}},
                                           CapabilityCase{0x14, 1, {1, 0, 0, 0, 0, 1, 0}},
                                           CapabilityCase{0x04, 0, {1, 1, 0, 1, 0, 1, 1}},
                                           CapabilityCase{0xCB, 0, {1, 1, 0, 0, 0, 0, 0}}));

TEST(Capability, AFailedRegisterReadCountsAsZero) {
  SimulatedChip chip(sim::EepromPart::k24C02, 0x34);
  ASSERT_TRUE(chip.connected);
  EepromConfig config(chip.transport);
  chip.system.SetFaults({.failProbability = 1.0});
  config.ProbeChipVariant();
  EXPECT_EQ(config.GetChipVariant(), 0);
  EXPECT_EQ(config.GetCapability(0), 1);
  EXPECT_EQ(config.GetCapability(5), 0);
}

}  // namespace
}  // namespace veltra::image
