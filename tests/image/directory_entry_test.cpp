#include "image/directory_entry.h"

#include <gtest/gtest.h>

namespace veltra::image {
namespace {

struct EntryCase {
  const char* name;
  EntryEncoding encoding;
  uint8_t type;
  uint32_t offset;
  uint32_t length;
  EntryBytes bytes;
};

class EntryCodingTest : public ::testing::TestWithParam<EntryCase> {};

TEST_P(EntryCodingTest, EncodesTheBytesAndDecodesThemBack) {
  const EntryCase& c = GetParam();
  EXPECT_EQ(EncodeEntry(c.encoding, c.type, c.offset, c.length), c.bytes);
  const EntryPlace place = DecodeEntry(c.encoding, c.bytes);
  EXPECT_EQ(place.offset, c.offset);
  EXPECT_EQ(place.length, c.length);
  EXPECT_EQ(EntryType(c.bytes), c.type);
  EXPECT_TRUE(IsPresent(c.bytes));
}

INSTANTIATE_TEST_SUITE_P(
    Entries, EntryCodingTest,
    ::testing::Values(
        EntryCase{"AudioIoFirst", EntryEncoding::kA, 0x0, 61, 37, {0x80, 0x3D, 0x00, 0x25}},
        EntryCase{"Mcu5000", EntryEncoding::kB, 0xB, 61, 5000, {0x80, 0xF5, 0xB3, 0x88}},
        EntryCase{"ALimits", EntryEncoding::kA, 0xA, 32767, 4095, {0xFF, 0xFF, 0xAF, 0xFF}},
        EntryCase{"BLimits", EntryEncoding::kB, 0xB, 8191, 16383, {0xFF, 0xFF, 0xBF, 0xFF}},
        EntryCase{"BOffsetLowBits", EntryEncoding::kB, 0xB, 0x41, 0x1000, {0x81, 0x05, 0xB0, 0x00}},
        EntryCase{
            "PlaybackEqAfterAudio", EntryEncoding::kA, 0x9, 98, 84, {0x80, 0x62, 0x90, 0x54}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DirectoryEntry, SetLengthKeepsPresentOffsetAndType) {
  EntryBytes b = EncodeEntry(EntryEncoding::kB, 0xB, 0x1FFF, 0);
  SetEntryLength(EntryEncoding::kB, b, 0x2345);
  EXPECT_EQ(DecodeEntry(EntryEncoding::kB, b).offset, 0x1FFFu);
  EXPECT_EQ(EntryLength(EntryEncoding::kB, b), 0x2345u);
  EXPECT_EQ(EntryType(b), 0xB);

  EntryBytes a = EncodeEntry(EntryEncoding::kA, 0x2, 0x1234, 0);
  SetPresent(a, false);
  SetEntryLength(EntryEncoding::kA, a, 0x3FF);
  EXPECT_FALSE(IsPresent(a));
  EXPECT_EQ(a, (EntryBytes{0x12, 0x34, 0x23, 0xFF}));
}

}  // namespace
}  // namespace veltra::image
