// Replacing a user's file on Windows: old or new contents, never a part, never a stray file,
// never a device destroyed; the image file lock and file stamps the simulated EEPROM relies on.
#include "platform/windows_api.h"

#include <gtest/gtest.h>

#include <process.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "platform/file_replace.h"
#include "platform/file_stamp.h"
#include "platform/windows_text.h"

namespace veltra::platform {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Pattern(size_t length, uint8_t seed) {
  std::vector<uint8_t> bytes(length);
  for (size_t i = 0; i < length; ++i)
    bytes[i] = static_cast<uint8_t>(seed + i * 13);
  return bytes;
}

void WriteRaw(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadRaw(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::set<std::string> Names(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir))
    names.insert(entry.path().filename().string());
  return names;
}

class FileReplaceWin32 : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("veltra-replace-" + std::to_string(::_getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    for (const auto& entry : fs::directory_iterator(dir_))
      ::SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(dir_);
  }
  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

  fs::path dir_;
};

TEST_F(FileReplaceWin32, OldContentsStayUntilCommitThenTheNewOnesAndNoStrayFile) {
  const std::string target = PathOf("image.bin");
  WriteRaw(target, Pattern(300, 1));
  FileReplacement replacement;
  ASSERT_EQ(replacement.Open(target), "");
  EXPECT_FALSE(replacement.IsStream());
  EXPECT_EQ(ReadRaw(target), Pattern(300, 1));
  ASSERT_EQ(replacement.Commit(Pattern(100, 7)), "");
  EXPECT_EQ(ReadRaw(target), Pattern(100, 7));
  EXPECT_EQ(Names(dir_), std::set<std::string>{"image.bin"});
  // The new file is not left hidden like its temporary was.
  EXPECT_EQ(::GetFileAttributesW(fs::path(target).c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
}

TEST_F(FileReplaceWin32, NewFileIsCreatedAndDiscardLeavesNothing) {
  const std::string target = PathOf("new.bin");
  ASSERT_EQ(ReplaceFile(target, Pattern(10, 3)), "");
  EXPECT_EQ(ReadRaw(target), Pattern(10, 3));

  const std::string other = PathOf("discarded.bin");
  {
    FileReplacement replacement;
    ASSERT_EQ(replacement.Open(other), "");
  }
  EXPECT_EQ(Names(dir_), std::set<std::string>{"new.bin"});
}

TEST_F(FileReplaceWin32, RefusalsGiveTheReasonAndLeaveTheTarget) {
  const std::string readOnly = PathOf("ro.bin");
  WriteRaw(readOnly, Pattern(5, 9));
  ASSERT_TRUE(::SetFileAttributesW(fs::path(readOnly).c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(ReplaceFile(readOnly, Pattern(5, 1)), "Permission denied");
  EXPECT_EQ(ReadRaw(readOnly), Pattern(5, 9));

  EXPECT_EQ(ReplaceFile(dir_.string(), Pattern(5, 1)), "Is a directory");
  EXPECT_EQ(ReplaceFile(PathOf("missing\\x.bin"), Pattern(5, 1)), "No such file or directory");
  EXPECT_EQ(Names(dir_), std::set<std::string>{"ro.bin"});
}

TEST_F(FileReplaceWin32, DeviceIsAStreamOnlyWhereAllowed) {
  EXPECT_EQ(ReplaceFile("NUL", Pattern(5, 1)), kNotRegularFile);
  FileReplacement replacement;
  ASSERT_EQ(replacement.Open("NUL", FileReplacement::Streams::kWriteThrough), "");
  EXPECT_TRUE(replacement.IsStream());
  EXPECT_EQ(replacement.Commit(Pattern(5, 1)), "");
}

TEST_F(FileReplaceWin32, TemporaryOfAnEndedWriterIsRemovedOthersStay) {
  const std::string target = PathOf("image.bin");
  WriteRaw(target, Pattern(4, 1));
  // Process ids are multiples of four on Windows: 3 never runs. This process's own stays.
  const std::string stale = ".image.bin.veltra-tmp.3.0";
  const std::string own = ".image.bin.veltra-tmp." + std::to_string(::_getpid()) + ".99";
  const std::string foreign = ".other.bin.veltra-tmp.3.0";
  for (const std::string& name : {stale, own, foreign})
    WriteRaw(dir_ / name, Pattern(1, 0));
  RemoveStaleTemporaries(target);
  EXPECT_EQ(Names(dir_), (std::set<std::string>{"image.bin", own, foreign}));
}

TEST_F(FileReplaceWin32, StampTellsAReplacementFromTheSameFile) {
  const std::string target = PathOf("image.bin");
  WriteRaw(target, Pattern(8, 1));
  const std::optional<FileStamp> before = StampOfPath(target);
  ASSERT_TRUE(before.has_value());
  EXPECT_EQ(before->size, 8u);
  EXPECT_EQ(StampOfPath(target), before);
  ASSERT_EQ(ReplaceFile(target, Pattern(8, 2)), "");
  EXPECT_NE(StampOfPath(target), before);
  EXPECT_FALSE(StampOfPath(PathOf("missing.bin")).has_value());
}

TEST(WindowsErrorReason, KnownErrorsReadAsOnOtherSystemsOthersInTheSystemsWords) {
  EXPECT_EQ(WindowsErrorReason(ERROR_FILE_NOT_FOUND), "No such file or directory");
  EXPECT_EQ(WindowsErrorReason(ERROR_ACCESS_DENIED), "Permission denied");
  const std::string other = WindowsErrorReason(ERROR_SERVICE_DOES_NOT_EXIST);
  EXPECT_FALSE(other.empty());
  EXPECT_NE(other.back(), '.');
  EXPECT_NE(other.back(), '\n');
}

}  // namespace
}  // namespace veltra::platform
