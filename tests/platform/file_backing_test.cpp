// EEPROM contents backed by a .bin file.
#include <gtest/gtest.h>
#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>

#include "platform/sim/eeprom_file.h"
#include "sim_test_client.h"

namespace veltra::sim {
namespace {

namespace fs = std::filesystem;

class FileBacking : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("veltra-sim-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    path_ = (dir_ / "eeprom.bin").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  static void WriteFile(const std::string& path, std::vector<uint8_t> bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  static std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  SimUsbDevice& Add(EepromPart part = EepromPart::k24C02) {
    DeviceConfig config;
    config.part = part;
    config.backingFile = path_;
    return system_->AddDevice(config);
  }
  // One byte into a 24C02 through the chip's I2C master, as a transfer does it; the master stays
  // enabled until EndTransfer.
  void WriteByte(SimUsbDevice& device, uint8_t address, uint8_t value) {
    if (!client_) {
      client_ = std::make_unique<test::Client>(*system_);
      ASSERT_TRUE(client_->Attach(device));
    }
    ASSERT_TRUE(client_->SetMasterEnable(true));
    ASSERT_TRUE(client_->Command(0x90, 0xA0, address, {value}));
    ASSERT_EQ(client_->WaitStatus(), 0x10);
    system_->Clock().Advance(5'000'000);
  }
  void EndTransfer() { ASSERT_TRUE(client_->SetMasterEnable(false)); }

  fs::path dir_;
  std::string path_;
  std::unique_ptr<SimSystem> system_ = std::make_unique<SimSystem>();
  std::unique_ptr<test::Client> client_;
};

// The rule of FILE -> EEPROM and of veltra-cli show: what a short file does not reach is 0.
TEST_F(FileBacking, AShortFileReadsAsCompletedWithZeros) {
  WriteFile(path_, {1, 2, 3});
  SimUsbDevice& device = Add();
  const auto& c = device.Eeprom().Contents();
  EXPECT_EQ(c[0], 1);
  EXPECT_EQ(c[2], 3);
  EXPECT_EQ(c[3], 0);
  EXPECT_EQ(c[255], 0);
  EXPECT_EQ(device.Eeprom().LoadedFileSize(), 3u);
  EXPECT_TRUE(device.Eeprom().IsFileBacked());
  EXPECT_EQ(device.Eeprom().LastError(), "");
  EXPECT_EQ(ReadFile(path_).size(), 3u);  // reading changes nothing
  WriteByte(device, 5, 0x55);
  EndTransfer();
  std::vector<uint8_t> expected(256, 0);
  expected[0] = 1, expected[1] = 2, expected[2] = 3, expected[5] = 0x55;
  EXPECT_EQ(ReadFile(path_), expected);  // a short file grows to the part size
}

TEST_F(FileBacking, ALongerFileIsRefusedAndLeftAlone) {
  const std::vector<uint8_t> original(257, 0x11);
  WriteFile(path_, original);
  SimUsbDevice& device = Add();
  EXPECT_FALSE(device.Eeprom().IsFileBacked());
  const std::string error = device.Eeprom().LastError();
  EXPECT_NE(error.find(path_), std::string::npos) << error;
  EXPECT_NE(error.find("257"), std::string::npos) << error;
  EXPECT_NE(error.find("24C02"), std::string::npos) << error;
  EXPECT_EQ(device.Eeprom().Contents(), std::vector<uint8_t>(256, 0xFF));
  WriteByte(device, 0, 0);
  EndTransfer();
  // The write is kept in memory, and is no storage failure.
  EXPECT_EQ(device.Eeprom().Contents()[0], 0);
  EXPECT_EQ(device.Eeprom().LastError(), "");
  system_.reset();
  EXPECT_EQ(ReadFile(path_), original);
}

TEST_F(FileBacking, TheDumpFormatOfSizeLessOneIsKept) {
  WriteFile(path_, std::vector<uint8_t>(255, 0x22));
  SimUsbDevice& device = Add();
  EXPECT_EQ(device.Eeprom().Contents()[254], 0x22);
  EXPECT_EQ(device.Eeprom().Contents()[255], 0);
  WriteByte(device, 254, 0x33);
  EndTransfer();
  const std::vector<uint8_t> file = ReadFile(path_);
  ASSERT_EQ(file.size(), 255u);
  EXPECT_EQ(file[254], 0x33);
}

TEST_F(FileBacking, AFullSizeFileStaysFullSize) {
  WriteFile(path_, std::vector<uint8_t>(8192, 0x44));
  SimUsbDevice& device = Add(EepromPart::k24C64);
  EXPECT_EQ(device.Eeprom().Contents()[8191], 0x44);
  device.Eeprom().Contents()[8191] = 0x45;  // not a write: no flush by itself
  EXPECT_TRUE(device.Eeprom().Flush());
  EXPECT_EQ(ReadFile(path_)[8191], 0x44);
  test::Client client(*system_);
  ASSERT_TRUE(client.Attach(device));
  ASSERT_TRUE(client.SetMasterEnable(true));
  ASSERT_TRUE(client.Command(0xB0, 0xA8, 0x1000, {9}));
  ASSERT_EQ(client.WaitStatus(), 0x30);
  ASSERT_TRUE(client.SetMasterEnable(false));
  const std::vector<uint8_t> file = ReadFile(path_);
  ASSERT_EQ(file.size(), 8192u);
  EXPECT_EQ(file[0x1000], 9);
  EXPECT_EQ(file[8191], 0x45);
}

TEST_F(FileBacking, AMissingFileIsCreatedByTheFirstCompletedWrite) {
  SimUsbDevice& device = Add();
  EXPECT_TRUE(device.Eeprom().IsFileBacked());
  EXPECT_FALSE(fs::exists(path_));
  test::Client client(*system_);
  ASSERT_TRUE(client.Attach(device));
  ASSERT_TRUE(client.SetMasterEnable(true));
  ASSERT_TRUE(client.SetMasterEnable(false));  // a transfer without writes
  EXPECT_FALSE(fs::exists(path_));
  WriteByte(device, 7, 0x77);
  EXPECT_FALSE(fs::exists(path_));  // not before the master is disabled
  EndTransfer();
  const std::vector<uint8_t> file = ReadFile(path_);
  ASSERT_EQ(file.size(), 256u);
  EXPECT_EQ(file[7], 0x77);
}

TEST_F(FileBacking, WrittenThroughATemporaryFileRenamedOverTheImage) {
  WriteFile(path_, std::vector<uint8_t>(256, 0));
  const fs::path link = dir_ / "old-image.bin";
  fs::create_hard_link(path_, link);  // follows the old file, not the name
  SimUsbDevice& device = Add();
  WriteByte(device, 0, 0x99);
  EndTransfer();
  EXPECT_EQ(ReadFile(path_)[0], 0x99);
  EXPECT_EQ(ReadFile(link.string())[0], 0x00);  // the old file was replaced, not rewritten
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2);
}

// Symbolic links and permission bits are POSIX matters; Windows' read-only attribute is
// checked with the Windows file replacement.
#ifndef _WIN32

// An image in a shared folder: another account may have put links where the temporary names
// go. Writing the image must neither follow them nor leave the image behind as a link.
TEST_F(FileBacking, LinksPlantedBesideTheImageAreNotFollowed) {
  const fs::path victim = dir_ / "victim";
  WriteFile(victim.string(), {7, 7, 7});
  constexpr int kPlanted = 20;
  for (int n = 0; n < kPlanted; ++n) {
    fs::create_symlink(victim, dir_ / (".eeprom.bin.veltra-tmp." + std::to_string(::getpid()) +
                                       "." + std::to_string(n)));
  }
  SimUsbDevice& device = Add();
  WriteByte(device, 0, 0x5A);
  EndTransfer();
  EXPECT_EQ(device.Eeprom().LastError(), "");
  EXPECT_EQ(ReadFile(victim.string()), (std::vector<uint8_t>{7, 7, 7}));
  EXPECT_FALSE(fs::is_symlink(path_));
  EXPECT_EQ(ReadFile(path_).at(0), 0x5A);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), kPlanted + 2);
}

#endif  // !_WIN32

TEST_F(FileBacking, NothingWrittenNothingFlushed) {
  WriteFile(path_, {1});
  SimUsbDevice& device = Add();
  WriteFile(path_, {2});  // someone else changes the file meanwhile
  test::Client client(*system_);
  ASSERT_TRUE(client.Attach(device));
  ASSERT_TRUE(client.SetMasterEnable(true));
  ASSERT_TRUE(client.Write(0x40, {1}));
  ASSERT_TRUE(client.SetMasterEnable(false));
  system_.reset();
  EXPECT_EQ(ReadFile(path_), std::vector<uint8_t>{2});
}

TEST_F(FileBacking, DestructionAndUnplugFlush) {
  SimUsbDevice& device = Add();
  WriteByte(device, 1, 0x11);
  system_->Unplug(device);
  EXPECT_EQ(ReadFile(path_).at(1), 0x11);
  system_->Plug(device);
  client_.reset();
  WriteByte(device, 2, 0x22);  // the master stays enabled: written at destruction
  EXPECT_EQ(ReadFile(path_).at(2), 0xFF);
  client_.reset();
  system_.reset();
  EXPECT_EQ(ReadFile(path_).at(2), 0x22);
}

TEST_F(FileBacking, WriteErrorsAreReportedNotPrinted) {
  path_ = (dir_ / "no-such-dir" / "eeprom.bin").string();
  SimUsbDevice& device = Add();
  EXPECT_TRUE(device.Eeprom().IsFileBacked());
  WriteByte(device, 0, 1);
  EndTransfer();
  const std::string error = device.Eeprom().LastError();
  EXPECT_NE(error.find("cannot write EEPROM image " + path_), std::string::npos) << error;
  // The write is dropped: the part is as erased as the missing file.
  EXPECT_FALSE(device.Eeprom().Dirty());
  EXPECT_EQ(device.Eeprom().Contents().at(0), 0xFF);
  fs::create_directories(dir_ / "no-such-dir");
  WriteByte(device, 0, 2);
  EndTransfer();
  EXPECT_EQ(device.Eeprom().LastError(), "");
  EXPECT_EQ(ReadFile(path_).at(0), 2);
}

#ifndef _WIN32

// Seen before: a read-only image was overwritten and made world-readable, a linked one replaced
// by a regular file.
TEST_F(FileBacking, AReadOnlyImageIsNotWrittenAndALinkedOneStaysALink) {
  const std::vector<uint8_t> original(256, 0x10);
  WriteFile(path_, original);
  ASSERT_EQ(::chmod(path_.c_str(), 0440), 0);
  SimUsbDevice& device = Add();
  WriteByte(device, 0, 0x99);
  EndTransfer();
  EXPECT_EQ(device.Eeprom().LastError(),
            "cannot write EEPROM image " + path_ + ": Permission denied");
  EXPECT_EQ(ReadFile(path_), original);
  EXPECT_EQ(device.Eeprom().Contents(), original);  // what the next read sees
  EXPECT_EQ(fs::status(path_).permissions(), fs::perms(0440));

  ASSERT_EQ(::chmod(path_.c_str(), 0600), 0);
  const std::string link = (dir_ / "link.bin").string();
  fs::create_symlink("eeprom.bin", link);
  path_ = link;
  client_.reset();
  system_ = std::make_unique<SimSystem>();
  SimUsbDevice& linked = Add();
  WriteByte(linked, 1, 0x77);
  EndTransfer();
  EXPECT_EQ(linked.Eeprom().LastError(), "");
  EXPECT_TRUE(fs::is_symlink(link));
  const std::vector<uint8_t> file = ReadFile((dir_ / "eeprom.bin").string());
  EXPECT_EQ(file.at(1), 0x77);
  EXPECT_EQ(fs::status(dir_ / "eeprom.bin").permissions(), fs::perms(0600));
}

#endif  // !_WIN32

TEST_F(FileBacking, AnUnreadableImageIsRefused) {
  fs::create_directories(path_);  // a directory where the image should be
  SimUsbDevice& device = Add();
  EXPECT_FALSE(device.Eeprom().IsFileBacked());
  EXPECT_NE(device.Eeprom().LastError().find("cannot read EEPROM image " + path_),
            std::string::npos);
}

}  // namespace
}  // namespace veltra::sim
