#include "image/image_layout.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "device/eeprom_types.h"

namespace veltra::image {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

std::vector<uint8_t> Filled(size_t length, uint8_t first) {
  std::vector<uint8_t> bytes(length);
  std::iota(bytes.begin(), bytes.end(), first);
  return bytes;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& image, size_t from, size_t to) {
  return {image.begin() + static_cast<long>(from), image.begin() + static_cast<long>(to)};
}

TailRecord Tail(uint8_t fill) {
  TailRecord record;
  record.fill(fill);
  return record;
}

const std::vector<uint8_t> kHeader{0, 0, 0x52, 0x5A, 0x31, 0x77, 0xE0, 0x04, 0x40, 0x9D, 0xFF};

TEST(ImageLayout, HeaderOnlyImage) {
  std::vector<uint8_t> image(255, 0xEE);
  PackInput input;
  input.header = kHeader;
  const PackResult result = PackImage(input, 255, image);
  ASSERT_TRUE(result.fits);
  EXPECT_EQ(result.total, 0u);
  EXPECT_THAT(Slice(image, 0, 11),
              ElementsAre('Z', 'R', 0x52, 0x5A, 0x31, 0x77, 0xE0, 0x04, 0x40, 0x9D, 0xFF));
  EXPECT_EQ(image[11], 0);
  EXPECT_EQ(image[12], kTerminator);
  EXPECT_THAT(Slice(image, 13, 255), Each(0));

  const ImageContents back = ReadImage(image, 255);
  EXPECT_TRUE(back.hasMagic);
  EXPECT_EQ(back.total, 0u);
  for (const auto& section : back.sections)
    EXPECT_FALSE(section.has_value());
  EXPECT_FALSE(back.tailRecords.first || back.tailRecords.second);
}

TEST(ImageLayout, AllTwelveSectionsPutTheTerminatorAt60) {
  std::vector<std::vector<uint8_t>> data;
  std::vector<PackSection> sections;
  for (int index = 0; index < 12; ++index)
    data.push_back(Filled(3, static_cast<uint8_t>(index)));
  for (int index = 0; index < 12; ++index)
    sections.push_back({index, data[index]});
  std::vector<uint8_t> image(511);
  PackInput input;
  input.sections = sections;
  input.header = kHeader;
  const PackResult result = PackImage(input, 511, image);
  ASSERT_TRUE(result.fits);
  EXPECT_EQ(image[60], kTerminator);
  EXPECT_THAT(Slice(image, 12, 16), ElementsAre(0x80, 0xF4, 0xB0, 0x03));  // MCU at 61
  EXPECT_THAT(Slice(image, 61, 64), ElementsAre(0, 1, 2));
  EXPECT_THAT(Slice(image, 16, 20), ElementsAre(0x80, 64, 0x00, 3));  // Audio I/O at 64

  // The header read stops at 59, so the terminator is never taken for a slot.
  const ImageContents back = ReadImage(image, 511);
  for (int index = 0; index < 12; ++index) {
    ASSERT_TRUE(back.sections[index].has_value()) << index;
    EXPECT_EQ(back.sections[index]->data, data[index]);
  }
}

struct TailCase {
  const char* eeprom;
  bool tail1;
  bool tail2;
};

class EqSectionsTailTest : public ::testing::TestWithParam<TailCase> {};

// Audio I/O, Playback EQ and Record EQ only: data at 61..97, 98..181, 182..247, total 187.
TEST_P(EqSectionsTailTest, StoresTailRecordsOnlyWhereTheyFit) {
  const auto type = device::FindEepromType(GetParam().eeprom);
  ASSERT_TRUE(type);
  const uint32_t t = type->transferLength;
  const auto audio = Filled(37, 1);
  const auto playback = Filled(84, 100);
  const auto record = Filled(66, 200);
  const std::vector<PackSection> sections{{1, audio}, {10, playback}, {11, record}};
  const TailRecord tail1 = Tail(0x11);
  const TailRecord tail2 = Tail(0x22);
  PackInput input;
  input.sections = sections;
  input.header = kHeader;
  input.tailRecord1 = &tail1;
  input.tailRecord2 = &tail2;
  std::vector<uint8_t> image(t);
  const PackResult result = PackImage(input, t, image);
  ASSERT_TRUE(result.fits);
  EXPECT_EQ(result.total, 187u);
  EXPECT_THAT(Slice(image, 12, 25), ElementsAre(0x80, 61, 0x00, 37, 0x80, 98, 0x90, 84, 0x80, 182,
                                                0xA0, 66, kTerminator));
  EXPECT_EQ(Slice(image, 61, 98), audio);
  EXPECT_EQ(Slice(image, 98, 182), playback);
  EXPECT_EQ(Slice(image, 182, 248), record);
  EXPECT_EQ(result.tailRecord1Stored, GetParam().tail1);
  EXPECT_EQ(result.tailRecord2Stored, GetParam().tail2);
  if (GetParam().tail1) {
    EXPECT_THAT(Slice(image, 248, 250), ElementsAre(0x81, 0x00));
    EXPECT_THAT(Slice(image, 250, 270), Each(0x11));
  }
  if (GetParam().tail2) {
    EXPECT_THAT(Slice(image, 270, 272), ElementsAre(0x82, 0x00));
    EXPECT_THAT(Slice(image, 272, 292), Each(0x22));
    EXPECT_THAT(Slice(image, 292, t), Each(0));
  }
  if (!GetParam().tail1) {
    EXPECT_THAT(Slice(image, 248, t), Each(0));
  }

  const ImageContents back = ReadImage(image, t);
  EXPECT_EQ(back.total, 187u);
  EXPECT_EQ(back.tailRecords.first.has_value(), GetParam().tail1);
  EXPECT_EQ(back.tailRecords.second.has_value(), GetParam().tail2);
  if (back.tailRecords.second) {
    EXPECT_EQ((*back.tailRecords.second)[2], 0x22);
  }
  const TailRecordPlaces places = TailRecordPlacesOf(back);
  EXPECT_EQ(places.first, GetParam().tail1 ? std::optional<uint32_t>(248) : std::nullopt);
  EXPECT_EQ(places.second, GetParam().tail2 ? std::optional<uint32_t>(270) : std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Eeproms, EqSectionsTailTest,
                         ::testing::Values(TailCase{"S24C02", false, false},
                                           TailCase{"S24C04", true, true}),
                         [](const auto& info) { return std::string(info.param.eeprom); });

TEST(ImageLayout, TailRecord2WithoutTailRecord1SitsRightAfterTheData) {
  const auto record = Filled(66, 1);
  const std::vector<PackSection> sections{{11, record}};
  const TailRecord tail2 = Tail(0x22);
  PackInput input;
  input.sections = sections;
  input.tailRecord2 = &tail2;
  std::vector<uint8_t> image(511);
  const PackResult result = PackImage(input, 511, image);
  ASSERT_TRUE(result.tailRecord2Stored);
  EXPECT_FALSE(result.tailRecord1Stored);
  EXPECT_THAT(Slice(image, 127, 129), ElementsAre(0x82, 0x00));

  const ImageContents back = ReadImage(image, 511);
  EXPECT_FALSE(back.tailRecords.first);
  ASSERT_TRUE(back.tailRecords.second);
  EXPECT_EQ((*back.tailRecords.second)[21], 0x22);
  EXPECT_EQ(TailRecordPlacesOf(back).second, 127u);
  // Tail record 2 is looked for only when T >= total + 105.
  EXPECT_FALSE(ReadImage(image, 66 + 104).tailRecords.second);
  EXPECT_TRUE(ReadImage(image, 66 + 105).tailRecords.second);
}

TEST(ImageLayout, SectionsBeyondTheTransferLengthDoNotFit) {
  const auto big = Filled(195, 0);
  const std::vector<PackSection> sections{{1, big}};
  const TailRecord tail = Tail(1);
  PackInput input;
  input.sections = sections;
  input.tailRecord1 = &tail;
  std::vector<uint8_t> image(256);
  EXPECT_FALSE(PackImage(input, 255, image).fits);  // 61 + 195 = 256 > 255
  const auto fits = Filled(194, 0);
  const std::vector<PackSection> fitting{{1, fits}};
  input.sections = fitting;
  const PackResult result = PackImage(input, 255, image);
  EXPECT_TRUE(result.fits);
  EXPECT_FALSE(result.tailRecord1Stored);
  EXPECT_EQ(image[255], 0);  // the EEPROM's last byte is never part of the image
}

TEST(ImageLayout, OffsetsAnEncodingAEntryCannotHoldDoNotFit) {
  // 61 + 16383 + 4095 * 4 = 32824: the sixth section would start beyond 32767.
  const auto mcu = Filled(16383, 0);
  const auto block = Filled(4095, 0);
  std::vector<PackSection> sections{{0, mcu}};
  for (int index = 1; index <= 5; ++index)
    sections.push_back({index, block});
  std::vector<uint8_t> image(65535);
  PackInput input;
  input.sections = sections;
  EXPECT_FALSE(PackImage(input, 65535, image).fits);
  sections.pop_back();
  input.sections = sections;
  EXPECT_TRUE(PackImage(input, 65535, image).fits);
}

TEST(ImageLayout, ReaderExaminesAllSlotsAndTakesTheLastOfEachType) {
  std::vector<uint8_t> image(255, 0);
  image[0] = 'Z';
  image[1] = 'R';
  const uint8_t slots[12][4] = {
      {0x00, 0x00, 0x00, 0x00},  // zero slot
      {0x7F, 0x00, 0x00, 0x00},  // terminator
      {0x80, 100, 0x10, 2},      // manufacturer string at 100
      {0x80, 120, 0xC0, 11},     // claims the Header: ignored
      {0x80, 130, 0xD0, 5},      // no such kind
      {0x80, 110, 0x10, 3},      // manufacturer again: replaces the first
  };
  for (int s = 0; s < 12; ++s)
    std::copy_n(slots[s], 4, image.begin() + 12 + 4 * s);
  image[100] = 0xAA;
  image[110] = 0xB1;
  image[111] = 0xB2;
  image[112] = 0xB3;

  const Directory directory = ReadDirectory(Slice(image, 0, kHeaderReadLength));
  ASSERT_EQ(directory.entries.size(), 2u);
  EXPECT_EQ(directory.entries[0].slot, 2);
  EXPECT_EQ(directory.entries[1].slot, 5);
  EXPECT_EQ(directory.total, 5u);  // both manufacturer entries count
  EXPECT_EQ(directory.dataEnd, 113u);

  const ImageContents back = ReadImage(image, 255);
  ASSERT_TRUE(back.sections[2]);
  EXPECT_THAT(back.sections[2]->data, ElementsAre(0xB1, 0xB2, 0xB3));
}

TEST(ImageLayout, ReaderNeverReadsOutsideTheImage) {
  std::vector<uint8_t> image(80, 0);
  image[0] = 'Z';
  image[1] = 'R';
  const uint8_t mcu[4] = {0x80, 0xF7, 0xBF, 0xFF};  // 16383 bytes at 61
  std::copy_n(mcu, 4, image.begin() + 12);
  image[79] = 0x5A;
  const ImageContents back = ReadImage(image, 65535);
  ASSERT_TRUE(back.sections[0]);
  EXPECT_EQ(back.sections[0]->data.size(), 16383u);
  EXPECT_EQ(back.sections[0]->data[18], 0x5A);
  EXPECT_EQ(back.sections[0]->data[19], 0);
  EXPECT_EQ(back.dataEnd, 61u + 16383u);

  EXPECT_FALSE(ReadImage(Slice(image, 0, 1), 255).hasMagic);
  EXPECT_FALSE(ReadImage({}, 255).hasMagic);
}

}  // namespace
}  // namespace veltra::image
