// The chip's I2C master and registers, driven through the driver with real vendor packets.
#include <gtest/gtest.h>

#include <numeric>

#include "sim_test_client.h"

namespace veltra::sim {
namespace {

using test::Client;

constexpr int64_t kNsPerBit400k = 2500;

class ChipTest : public ::testing::Test {
 protected:
  SimUsbDevice& Add(EepromPart part, DeviceConfig config = {}) {
    config.part = part;
    device_ = &system_.AddDevice(config);
    client_ = std::make_unique<Client>(system_);
    EXPECT_TRUE(client_->Attach(*device_));
    return *device_;
  }
  std::vector<uint8_t>& Contents() { return device_->Eeprom().Contents(); }

  SimSystem system_;
  SimUsbDevice* device_ = nullptr;
  std::unique_ptr<Client> client_;
};

TEST_F(ChipTest, WritesAndReadsTheEepromThroughTheMaster) {
  Add(EepromPart::k24C64);
  Client& c = *client_;
  std::vector<uint8_t> data(16);
  std::iota(data.begin(), data.end(), 0xC0);
  ASSERT_TRUE(c.SetMasterEnable(true));
  ASSERT_TRUE(c.Command(0xB0, 0xA8, 0x0123, data));
  EXPECT_EQ(c.WaitStatus(), 0x30);
  EXPECT_EQ(std::vector<uint8_t>(Contents().begin() + 0x123, Contents().begin() + 0x133), data);

  system_.Clock().Advance(5'000'000);  // the write cycle
  std::vector<uint8_t> out;
  EXPECT_EQ(c.EepromRead(0xBA, 0xA8, 0x0123, 16, out), 0x3A);
  EXPECT_EQ(out, data);
}

TEST_F(ChipTest, StatusReadsTheCommandUntilTheBusTransactionEnds) {
  SimUsbDevice& device = Add(EepromPart::k24C64);
  ASSERT_TRUE(client_->SetMasterEnable(true));
  ASSERT_TRUE(client_->Command(0xB0, 0xA8, 0, std::vector<uint8_t>(16, 1)));
  // START + (device + 2 address + 16 data) x 9 + STOP = 173 bits at 400 kbit/s, from the end of
  // the request that wrote the command.
  SimChip& chip = device.Chip();
  system_.Clock().Advance(173 * kNsPerBit400k - 1);
  EXPECT_EQ(chip.Register(0x94), 0xB0);
  EXPECT_TRUE(chip.I2cBusy());
  system_.Clock().Advance(1);
  EXPECT_EQ(chip.Register(0x94), 0x30);
  EXPECT_FALSE(chip.I2cBusy());
}

TEST_F(ChipTest, ReadDataArrivesWhenTheReadEnds) {
  SimUsbDevice& device = Add(EepromPart::k24C02);
  Contents()[0x40] = 0x99;
  ASSERT_TRUE(client_->SetMasterEnable(true));
  ASSERT_TRUE(client_->Command(0x9A, 0xA1, 0x40, {}, 1));
  // START + device + address + repeated START + device + 1 data + STOP = 39 bits.
  system_.Clock().Advance(39 * kNsPerBit400k - 1);
  EXPECT_EQ(device.Chip().Register(0x83), 0x00);  // as the command record left it
  EXPECT_EQ(device.Chip().Register(0x94), 0x9A);
  system_.Clock().Advance(1);
  EXPECT_EQ(device.Chip().Register(0x94), 0x1A);
  EXPECT_EQ(device.Chip().Register(0x83), 0x99);
}

TEST_F(ChipTest, NackWhenNoPartAnswersTheDeviceAddress) {
  Add(EepromPart::k24C64);  // answers at 0xA8 only
  ASSERT_TRUE(client_->SetMasterEnable(true));
  ASSERT_TRUE(client_->Command(0xB0, 0xA0, 0, {1, 2}));
  EXPECT_EQ(client_->WaitStatus(), 0x31);
  EXPECT_EQ(Contents()[0], 0xFF);
  std::vector<uint8_t> out;
  EXPECT_EQ(client_->EepromRead(0xBA, 0xA2, 0, 4, out), 0x3B);
}

TEST_F(ChipTest, CommandsRunOnlyWhileTheMasterIsEnabled) {
  SimUsbDevice& device = Add(EepromPart::k24C64);
  ASSERT_TRUE(client_->Command(0xB0, 0xA8, 0, {7}));
  system_.Clock().Advance(1'000'000'000);
  EXPECT_EQ(client_->Register(0x94), 0xB0);  // just stored: busy for ever
  EXPECT_EQ(device.Chip().I2cTransactions(), 0u);
  EXPECT_EQ(Contents()[0], 0xFF);
  // Enabling the master does not run a command written before.
  ASSERT_TRUE(client_->SetMasterEnable(true));
  EXPECT_EQ(client_->Register(0x94), 0xB0);
  ASSERT_TRUE(client_->Command(0xB0, 0xA8, 0, {7}));
  EXPECT_EQ(client_->WaitStatus(), 0x30);
  EXPECT_EQ(Contents()[0], 7);
}

TEST_F(ChipTest, IdleAndOtherValuesAreJustStored) {
  Add(EepromPart::k24C02);
  ASSERT_TRUE(client_->SetMasterEnable(true));
  ASSERT_TRUE(client_->Write(0x94, {0x50}));
  EXPECT_EQ(client_->Register(0x94), 0x50);
  ASSERT_TRUE(client_->Write(0x94, {0x80}));  // not a command
  system_.Clock().Advance(1'000'000);
  EXPECT_EQ(client_->Register(0x94), 0x80);
  EXPECT_EQ(device_->Chip().I2cTransactions(), 0u);
}

TEST_F(ChipTest, OneByteCommandOnATwoBytePartTakesTheFirstDataByteAsAddress) {
  Add(EepromPart::k24C64);
  ASSERT_TRUE(client_->SetMasterEnable(true));
  // The part takes 0x81 (0x12) as its high address byte and the first data byte as the low one.
  ASSERT_TRUE(client_->Command(0x90, 0xA8, 0x12, {0x34, 0xAA, 0xBB}));
  EXPECT_EQ(client_->WaitStatus(), 0x10);
  EXPECT_EQ(Contents()[0x1234], 0xAA);
  EXPECT_EQ(Contents()[0x1235], 0xBB);
  EXPECT_EQ(Contents()[0x12], 0xFF);

  // A 1-byte read gives it only half an address: it reads on from its address counter.
  system_.Clock().Advance(5'000'000);
  Contents()[0x1236] = 0x61;
  Contents()[0x1237] = 0x62;
  std::vector<uint8_t> out;
  EXPECT_EQ(client_->EepromRead(0x9A, 0xA9, 0x00, 2, out), 0x1A);
  EXPECT_EQ(out, (std::vector<uint8_t>{0x61, 0x62}));
}

TEST_F(ChipTest, TwoByteCommandOnAOneBytePartTakesTheLowByteAsData) {
  Add(EepromPart::k24C02);
  ASSERT_TRUE(client_->SetMasterEnable(true));
  ASSERT_TRUE(client_->Command(0xB0, 0xA0, 0x2010, {0x30}));  // 0x82 = 0x20, 0x81 = 0x10
  EXPECT_EQ(client_->WaitStatus(), 0x30);
  EXPECT_EQ(Contents()[0x20], 0x10);
  EXPECT_EQ(Contents()[0x21], 0x30);
}

TEST_F(ChipTest, OneByteCommandsCarryBlockBitsInTheDeviceAddress) {
  Add(EepromPart::k24C16);
  ASSERT_TRUE(client_->SetMasterEnable(true));
  ASSERT_TRUE(client_->Command(0x90, 0xA0 | (0x7F0 >> 7), 0xF0, {0x5A}));
  EXPECT_EQ(client_->WaitStatus(), 0x10);
  EXPECT_EQ(Contents()[0x7F0], 0x5A);
}

TEST_F(ChipTest, EepromNacksDuringItsWriteCycle) {
  Add(EepromPart::k24C02);
  ASSERT_TRUE(client_->SetMasterEnable(true));
  ASSERT_TRUE(client_->Command(0x90, 0xA0, 0, {1}));
  ASSERT_EQ(client_->WaitStatus(), 0x10);
  ASSERT_TRUE(client_->Command(0x90, 0xA0, 1, {2}));
  EXPECT_EQ(client_->WaitStatus(), 0x11);
  EXPECT_EQ(Contents()[1], 0xFF);
  system_.Clock().Advance(5'000'000);
  ASSERT_TRUE(client_->Command(0x90, 0xA0, 1, {2}));
  EXPECT_EQ(client_->WaitStatus(), 0x10);
  EXPECT_EQ(Contents()[1], 2);
}

TEST_F(ChipTest, BitRateSetsTheTransactionTime) {
  DeviceConfig config;
  config.timing.i2cBitRate = 100'000;
  SimUsbDevice& device = Add(EepromPart::k24C64, config);
  ASSERT_TRUE(client_->SetMasterEnable(true));
  ASSERT_TRUE(client_->Command(0xBA, 0xA9, 0, {}, 16));
  // 183 bits at 100 kbit/s: 1.83 ms; four polls of 0.25 ms see it busy.
  for (int poll = 0; poll < 4; ++poll)
    EXPECT_EQ(client_->Register(0x94), 0xBA);
  system_.Clock().Advance(1'830'000 - 4 * 250'000);
  EXPECT_EQ(device.Chip().Register(0x94), 0x3A);
}

TEST_F(ChipTest, CapabilityRegisterIsConfiguredAndReadOnly) {
  DeviceConfig config;
  config.capability = 0x3C;
  Add(EepromPart::k24C64, config);
  EXPECT_EQ(client_->Register(0xD9), 0x3C);
  ASSERT_TRUE(client_->Write(0xD9, {0x00}));
  EXPECT_EQ(client_->Register(0xD9), 0x3C);
  SimSystem other;
  EXPECT_EQ(other.AddDevice().Chip().Register(0xD9), 0x34);  // the default
}

TEST_F(ChipTest, EqualiserWritesAreRecordedInOrder) {
  SimUsbDevice& device = Add(EepromPart::k24C64);
  ASSERT_TRUE(client_->Write(0x46, {0x01}));
  ASSERT_TRUE(client_->Write(0x47, {0x3F}));
  ASSERT_TRUE(client_->Write(0x47, {0x2F}));
  ASSERT_TRUE(client_->Write(0x3E, {1, 2, 3, 4}));  // 0x3E, 0x3F plain; 0x40, 0x41 EQ
  ASSERT_TRUE(client_->Write(0x4A, {9, 9}));        // 0x4B is not an EQ register
  ASSERT_TRUE(client_->Write(0x6F, {5, 6}));
  ASSERT_TRUE(client_->Write(0x77, {7, 8}));
  using W = std::pair<uint8_t, uint8_t>;
  EXPECT_EQ(device.Chip().EqWrites(), (std::vector<W>{{0x46, 0x01},
                                                      {0x47, 0x3F},
                                                      {0x47, 0x2F},
                                                      {0x40, 3},
                                                      {0x41, 4},
                                                      {0x4A, 9},
                                                      {0x70, 6},
                                                      {0x77, 7}}));
  EXPECT_EQ(client_->Register(0x47), 0x2F);  // reads give the last value written
  EXPECT_EQ(client_->Register(0x3E), 1);     // other registers are plain storage
  device.Chip().ClearEqWrites();
  EXPECT_TRUE(device.Chip().EqWrites().empty());
}

TEST_F(ChipTest, ReplugPowersTheChipUpAfreshButKeepsTheEeprom) {
  SimUsbDevice& device = Add(EepromPart::k24C02);
  ASSERT_TRUE(client_->SetMasterEnable(true));
  ASSERT_TRUE(client_->Command(0x90, 0xA0, 0, {0x42}));
  ASSERT_TRUE(client_->Write(0x40, {0x11}));
  system_.Unplug(device);
  system_.Plug(device);
  EXPECT_EQ(device.Chip().Register(0x95), 0x00);
  EXPECT_EQ(device.Chip().Register(0x94), 0x50);
  EXPECT_EQ(device.Chip().Register(0x40), 0x00);
  EXPECT_EQ(device.Chip().Register(0xD9), 0x34);
  EXPECT_EQ(Contents()[0], 0x42);
  EXPECT_EQ(device.Chip().EqWrites().size(), 1u);
}

}  // namespace
}  // namespace veltra::sim
