#include "image/bin_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
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

TEST_F(BinFileTest, WrittenBytesReadBackAndErrorsNameTheFileAndReason) {
  std::vector<uint8_t> image(511);
  std::iota(image.begin(), image.end(), uint8_t{7});
  const auto path = dir_ / "dump.bin";
  EXPECT_EQ(WriteBinFile(path, image), "");
  EXPECT_EQ(std::filesystem::file_size(path), 511u);
  EXPECT_EQ(ReadBinFile(path, 511).bytes, image);

  const auto missing = ReadBinFile(dir_ / "missing.bin", 255);
  EXPECT_FALSE(missing.Ok());
  EXPECT_THAT(missing.error, HasSubstr("missing.bin"));
  EXPECT_THAT(missing.error, HasSubstr("No such file"));

  const auto directory = ReadBinFile(dir_, 255);
  EXPECT_FALSE(directory.Ok());
  EXPECT_THAT(directory.error, HasSubstr("directory"));

  const std::string failed = WriteBinFile(dir_ / "no" / "such" / "dir.bin", image);
  EXPECT_THAT(failed, HasSubstr("dir.bin"));
  EXPECT_THAT(failed, HasSubstr("No such file"));
}

// A write the file system cuts short (here a file size limit) must not leave a partial dump that
// looks like an image; both the buffered flush at close and a failing fwrite are covered.
TEST_F(BinFileTest, AWriteThatFailsLeavesNoPartialFile) {
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = 100;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);

  const std::vector<uint8_t> small(511, 0x5A);
  const std::vector<uint8_t> large(65535, 0x5A);
  const std::string smallError = WriteBinFile(dir_ / "small.bin", small);
  const std::string largeError = WriteBinFile(dir_ / "large.bin", large);

  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_THAT(smallError, HasSubstr("small.bin"));
  EXPECT_THAT(largeError, HasSubstr("large.bin"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "small.bin"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "large.bin"));
}

}  // namespace
}  // namespace veltra::image
