#include "image/bin_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <numeric>

namespace veltra::image {
namespace {

using ::testing::HasSubstr;

class BinFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("veltra-bin-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::filesystem::path WriteRaw(const std::string& name, size_t length) {
    std::vector<char> bytes(length);
    std::iota(bytes.begin(), bytes.end(), char{1});
    const auto path = dir_ / name;
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<long>(bytes.size()));
    return path;
  }

  std::filesystem::path dir_;
};

TEST_F(BinFileTest, ExactShortAndLongFilesAreReportedAndSizedToTheTransferLength) {
  const auto exact = ReadBinFile(WriteRaw("exact.bin", 255), 255);
  ASSERT_TRUE(exact.Ok());
  EXPECT_EQ(exact.fit, BinFileFit::kExact);
  EXPECT_EQ(exact.bytes.size(), 255u);
  EXPECT_EQ(exact.bytes[254], 255);

  const auto shorter = ReadBinFile(WriteRaw("short.bin", 10), 255);
  ASSERT_TRUE(shorter.Ok());
  EXPECT_EQ(shorter.fit, BinFileFit::kShort);
  EXPECT_EQ(shorter.fileLength, 10u);
  ASSERT_EQ(shorter.bytes.size(), 255u);
  EXPECT_EQ(shorter.bytes[9], 10);
  EXPECT_EQ(shorter.bytes[10], 0);

  const auto longer = ReadBinFile(WriteRaw("long.bin", 1000), 255);
  ASSERT_TRUE(longer.Ok());
  EXPECT_EQ(longer.fit, BinFileFit::kLong);
  EXPECT_EQ(longer.fileLength, 1000u);
  EXPECT_EQ(longer.bytes.size(), 255u);

  const auto empty = ReadBinFile(WriteRaw("empty.bin", 0), 511);
  ASSERT_TRUE(empty.Ok());
  EXPECT_EQ(empty.fit, BinFileFit::kShort);
  EXPECT_EQ(empty.bytes, std::vector<uint8_t>(511, 0));
}

TEST_F(BinFileTest, ErrorsNameTheFileAndReason) {
  const auto missing = ReadBinFile(dir_ / "missing.bin", 255);
  EXPECT_FALSE(missing.Ok());
  EXPECT_THAT(missing.error, HasSubstr("missing.bin"));
  EXPECT_THAT(missing.error, HasSubstr("No such file"));

  const auto directory = ReadBinFile(dir_, 255);
  EXPECT_FALSE(directory.Ok());
  EXPECT_THAT(directory.error, HasSubstr("directory"));
}

// A dump holds the transfer length, a simulated EEPROM's file the whole EEPROM: both are the
// tool's own files and pass without a word; anything else is reported with what was done.
TEST_F(BinFileTest, BothLengthsTheToolWritesAreNormal) {
  struct Case {
    uint64_t length;
    BinFileFit fit;
    const char* notice;
  };
  const Case cases[] = {
      {0, BinFileFit::kShort,
       "x.bin holds 0 bytes, the EEPROM's transfer length is 8191: the "
       "missing bytes are taken as 0"},
      {8190, BinFileFit::kShort,
       "x.bin holds 8190 bytes, the EEPROM's transfer length is 8191: "
       "the missing bytes are taken as 0"},
      {8191, BinFileFit::kExact, nullptr},
      {8192, BinFileFit::kExact, nullptr},
      {8193, BinFileFit::kLong,
       "x.bin holds 8193 bytes, the EEPROM's transfer length is 8191: "
       "the bytes beyond it are ignored"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FitOf(c.length, 8191), c.fit) << c.length;
    const std::optional<std::string> notice = BinFileFitNotice("x.bin", c.length, 8191);
    EXPECT_EQ(notice.has_value(), c.notice != nullptr) << c.length;
    if (notice && c.notice) {
      EXPECT_EQ(*notice, c.notice);
    }
  }
  const auto whole = ReadBinFile(WriteRaw("whole.bin", 256), 255);
  ASSERT_TRUE(whole.Ok());
  EXPECT_EQ(whole.fit, BinFileFit::kExact);
  EXPECT_EQ(whole.fileLength, 256u);
  EXPECT_EQ(whole.bytes.size(), 255u);
}

}  // namespace
}  // namespace veltra::image
