// One EEPROM image file shared by several tools (the GUI and veltra-cli each run their own
// simulated machine on it): every transfer sees what the others wrote, and no two interleave.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "device/channel.h"
#include "device/transport.h"
#include "platform/sim/image_file_lock.h"
#include "platform/sim/sim_system.h"

namespace veltra {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr uint32_t kSize = 8192;  // 24C64

std::vector<uint8_t> ReadRaw(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteRaw(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

// One tool: its own simulated machine with the device on the shared file, connected.
class Tool {
 public:
  explicit Tool(const fs::path& image, int64_t realLatencyNs = 0) {
    sim::DeviceConfig config;
    config.part = sim::EepromPart::k24C64;
    config.backingFile = image.string();
    config.timing.realLatencyNs = realLatencyNs;
    device_ = &system_.AddDevice(config);
    EXPECT_EQ(channel_.OpenDriver(), 1);
    EXPECT_EQ(channel_.ConnectDevice(config.vid, config.pid, nullptr, nullptr, 0, 0), 1);
    transport_.SetTransportEepromSize(kSize);
  }
  ~Tool() {
    channel_.DetachDevice();
    channel_.CloseDriver();
  }

  bool Write(uint32_t address, std::vector<uint8_t> bytes) {
    return transport_.EepromTransfer(true, address, bytes.data(),
                                     static_cast<uint32_t>(bytes.size())) == 1;
  }
  std::vector<uint8_t> Read(uint32_t address, uint32_t length) {
    std::vector<uint8_t> bytes(length);
    if (transport_.EepromTransfer(false, address, bytes.data(), length) != 1) bytes.clear();
    return bytes;
  }
  bool Erase() { return transport_.EraseEeprom() == 1; }
  // Past the write cycle of the last write: a read starting inside it is not acknowledged.
  void Idle() { system_.Clock().Advance(10'000'000); }
  std::string Problem() {
    const auto lock = system_.Lock();
    return device_->Eeprom().LastError();
  }
  bool InTransfer() {
    const auto lock = system_.Lock();
    return device_->Eeprom().InTransfer();
  }
  void SetLockTimeout(std::chrono::milliseconds timeout) {
    const auto lock = system_.Lock();
    device_->Eeprom().SetLockTimeout(timeout);
  }

 private:
  sim::SimSystem system_;
  sim::SimUsbDevice* device_ = nullptr;
  device::DeviceChannel channel_{system_.Platform()};
  device::VendorTransport transport_{channel_};
};

class SharedImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "veltra-shared-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    image_ = dir_ / "eeprom.bin";
    std::vector<uint8_t> bytes(kSize);
    for (uint32_t i = 0; i < kSize; ++i)
      bytes[i] = static_cast<uint8_t>(i * 7 + 1);
    WriteRaw(image_, bytes);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path dir_;
  fs::path image_;
};

// What the GUI saw: after 'veltra-cli erase' its Refresh still read the old image, and its next
// Save wrote the old image back around what it changed.
TEST_F(SharedImageTest, EveryTransferSeesWhatAnotherToolWrote) {
  Tool gui(image_);
  const std::vector<uint8_t> before = gui.Read(0, 64);
  ASSERT_EQ(before.size(), 64u);
  EXPECT_EQ(before[1], 8);

  {
    Tool cli(image_);
    ASSERT_TRUE(cli.Erase());
  }
  EXPECT_EQ(gui.Read(0, 64), std::vector<uint8_t>(64, 0));

  ASSERT_TRUE(gui.Write(100, {0xAA, 0xBB}));
  std::vector<uint8_t> expected(kSize, 0);
  expected[100] = 0xAA;
  expected[101] = 0xBB;
  expected[kSize - 1] = static_cast<uint8_t>((kSize - 1) * 7 + 1);  // never transferred
  EXPECT_EQ(ReadRaw(image_), expected);

  {
    Tool cli(image_);
    EXPECT_EQ(cli.Read(98, 6), (std::vector<uint8_t>{0, 0, 0xAA, 0xBB, 0, 0}));
    ASSERT_TRUE(cli.Write(0, {'Z', 'R'}));
  }
  gui.Idle();
  EXPECT_EQ(gui.Read(0, 3), (std::vector<uint8_t>{'Z', 'R', 0}));
  EXPECT_EQ(gui.Problem(), "");
}

// Two tools writing different parts at the same time: without the lock the later flush would
// write its stale copy of the other's part back.
TEST_F(SharedImageTest, TwoWritersAreSerialisedAndBothWritesStay) {
  Tool slow(image_, 1'000'000);  // 1 ms of real time per request: the transfer takes a while
  Tool quick(image_);
  std::atomic<bool> slowDone{false};
  std::thread writer([&] {
    EXPECT_TRUE(slow.Write(0, std::vector<uint8_t>(256, 0x11)));
    slowDone = true;
  });
  while (!slow.InTransfer() && !slowDone)
    std::this_thread::sleep_for(1ms);
  ASSERT_FALSE(slowDone) << "the slow transfer ended before the quick one could start";
  EXPECT_TRUE(quick.Write(4096, std::vector<uint8_t>(16, 0x22)));
  writer.join();

  const std::vector<uint8_t> file = ReadRaw(image_);
  ASSERT_EQ(file.size(), kSize);
  EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + 256),
            std::vector<uint8_t>(256, 0x11));
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 4096, file.begin() + 4112),
            std::vector<uint8_t>(16, 0x22));
}

// A tool that holds the file for too long makes the transfer fail with a reason, in bounded
// time; a holder that is killed holds nothing.
TEST_F(SharedImageTest, AHeldFileFailsInBoundedTimeAndAKilledHolderHoldsNothing) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t holder = ::fork();
  if (holder == 0) {
    sim::ImageFileLock lock;
    const bool held = lock.Acquire(image_.string(), 1000ms).empty();
    const char answer = held ? '1' : '0';
    (void)::write(ready[1], &answer, 1);
    for (;;)
      ::pause();
  }
  ASSERT_GT(holder, 0);
  char answer = 0;
  ASSERT_EQ(::read(ready[0], &answer, 1), 1);
  ::close(ready[0]);
  ::close(ready[1]);
  ASSERT_EQ(answer, '1');

  Tool tool(image_);
  tool.SetLockTimeout(300ms);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(tool.Read(0, 16).empty());
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, 300ms);
  EXPECT_LT(waited, 5s);
  EXPECT_EQ(tool.Problem(), "cannot use EEPROM image " + image_.string() +
                                ": another program is using it (waited 0.3 s)");
  EXPECT_FALSE(tool.Write(0, {1}));

  ::kill(holder, SIGKILL);
  ASSERT_EQ(::waitpid(holder, nullptr, 0), holder);
  EXPECT_TRUE(tool.Write(0, {0x5A}));
  EXPECT_EQ(tool.Problem(), "");
  EXPECT_EQ(ReadRaw(image_).at(0), 0x5A);
}

TEST_F(SharedImageTest, AFileThatBecameUnusableRefusesTheTransfer) {
  Tool tool(image_);
  ASSERT_EQ(tool.Read(0, 2).size(), 2u);
  WriteRaw(image_, std::vector<uint8_t>(kSize + 1, 0x33));
  EXPECT_TRUE(tool.Read(0, 2).empty());
  EXPECT_EQ(tool.Problem(), "EEPROM image " + image_.string() +
                                " refused: 8193 bytes is more than the 8192 bytes of a 24C64");
  EXPECT_FALSE(tool.Write(0, {1}));
  EXPECT_EQ(ReadRaw(image_), std::vector<uint8_t>(kSize + 1, 0x33));

  WriteRaw(image_, std::vector<uint8_t>(kSize - 1, 0x44));
  EXPECT_EQ(tool.Read(0, 2), (std::vector<uint8_t>{0x44, 0x44}));
  EXPECT_EQ(tool.Problem(), "");
}

}  // namespace
}  // namespace veltra
