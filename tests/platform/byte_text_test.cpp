#include "platform/byte_text.h"

#include <gtest/gtest.h>

#include <vector>

namespace veltra::platform {
namespace {

TEST(ByteText, EveryLengthRoundTripsAndOnlyOneSpellingIsRead) {
  std::vector<uint8_t> bytes;
  for (int length = 0; length < 8; ++length) {
    EXPECT_EQ(FromHex(ToHex(bytes)), bytes);
    EXPECT_EQ(FromBase64(ToBase64(bytes)), bytes);
    bytes.push_back(static_cast<uint8_t>(0xF0 + 3 * length));
  }
  EXPECT_EQ(ToHex(std::vector<uint8_t>{0x0A, 0xBC}), "0ABC");
  EXPECT_EQ(FromHex("0abc"), (std::vector<uint8_t>{0x0A, 0xBC}));
  EXPECT_EQ(ToBase64(std::vector<uint8_t>{0x00, 0x11, 0x22, 0x44}), "ABEiRA==");
  for (const char* refused : {"ABC", "0G", " 0A"})
    EXPECT_FALSE(FromHex(refused)) << refused;
  // Bits the padding leaves unused must be zero; no padding in the middle, no blanks.
  for (const char* refused : {"AB=", "AB==", "ABF=", "AA==AA==", "AB C", "A==="})
    EXPECT_FALSE(FromBase64(refused)) << refused;
  EXPECT_EQ(HexText(0x5A52, 4), "5A52");
  EXPECT_EQ(HexText(0x7, 2), "07");
  EXPECT_EQ(HexText(0xFFFFFFFF, 2), "FFFFFFFF");
}

}  // namespace
}  // namespace veltra::platform
