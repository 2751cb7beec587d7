#include "device/transport.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "device/eeprom_types.h"
#include "sim_fixture.h"

namespace veltra::device {
namespace {

using testing::ConnectedChip;
using testing::I2cCommand;
using testing::I2cCommands;

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> out(n);
  for (auto& b : out)
    b = static_cast<uint8_t>(rng());
  return out;
}

class TransportTest : public ConnectedChip {
 protected:
  explicit TransportTest(sim::EepromPart part = sim::EepromPart::k24C64) : ConnectedChip(part) {}

  void UsePart(uint32_t size) { transport_.SetTransportEepromSize(size); }
  uint8_t Register(uint8_t index) { return device_->Chip().Register(index); }
};

class Transport24C02 : public TransportTest {
 protected:
  Transport24C02() : TransportTest(sim::EepromPart::k24C02) {}
};
class Transport24C08 : public TransportTest {
 protected:
  Transport24C08() : TransportTest(sim::EepromPart::k24C08) {}
};
class Transport24C16 : public TransportTest {
 protected:
  Transport24C16() : TransportTest(sim::EepromPart::k24C16) {}
};
class Transport24C32 : public TransportTest {
 protected:
  Transport24C32() : TransportTest(sim::EepromPart::k24C32) {}
};

TEST_F(Transport24C02, WriteStartsWithSingleBytesUpToThePageThenWholePages) {
  UsePart(256);
  const auto data = RandomBytes(20, 1);
  ASSERT_EQ(transport_.EepromTransfer(true, 5, const_cast<uint8_t*>(data.data()), 20), 1);
  const std::vector<I2cCommand> commands = I2cCommands(VendorRequests());
  const std::vector<std::pair<uint8_t, uint8_t>> expected = {{5, 1}, {6, 1},  {7, 1},
                                                             {8, 8}, {16, 8}, {24, 1}};
  ASSERT_EQ(commands.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(commands[i].deviceAddress, 0xA0);
    EXPECT_EQ(commands[i].wordLow, expected[i].first);
    EXPECT_EQ(commands[i].wordHigh, 0);
    EXPECT_EQ(commands[i].count, expected[i].second);
    EXPECT_EQ(commands[i].command, i2c::kWrite1);
  }
  const auto& eeprom = device_->Chip().Eeprom().Contents();
  EXPECT_TRUE(std::equal(data.begin(), data.end(), eeprom.begin() + 5));
}

TEST_F(Transport24C32, WriteOfATwoByteAddressPartUsesBaseA8AndCommandB0) {
  UsePart(4096);
  std::vector<uint8_t> data(40, 0x5A);
  ASSERT_EQ(transport_.EepromTransfer(true, 0, data.data(), 40), 1);
  const auto commands = I2cCommands(VendorRequests());
  ASSERT_EQ(commands.size(), 3u);
  const uint8_t lows[] = {0x00, 0x10, 0x20};
  const uint8_t counts[] = {16, 16, 8};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(commands[i].deviceAddress, 0xA8);
    EXPECT_EQ(commands[i].wordLow, lows[i]);
    EXPECT_EQ(commands[i].wordHigh, 0x00);
    EXPECT_EQ(commands[i].count, counts[i]);
    EXPECT_EQ(commands[i].command, i2c::kWrite2);
  }
}

TEST_F(Transport24C16, ReadPutsAddressBitsIntoTheDeviceAddressByte) {
  UsePart(2048);
  std::vector<uint8_t> buffer(16);
  ASSERT_EQ(transport_.EepromTransfer(false, 0x1F0, buffer.data(), 16), 1);
  const auto commands = I2cCommands(VendorRequests());
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].deviceAddress, 0xA3);
  EXPECT_EQ(commands[0].wordLow, 0xF0);
  EXPECT_EQ(commands[0].wordHigh, 0);
  EXPECT_EQ(commands[0].count, 16);
  EXPECT_EQ(commands[0].command, i2c::kRead1);
}

TEST_F(Transport24C08, ReadAt0x300UsesDeviceAddressA7) {
  UsePart(1024);
  device_->Chip().Eeprom().Contents()[0x300] = 0x42;
  uint8_t byte = 0;
  ASSERT_EQ(transport_.EepromTransfer(false, 0x300, &byte, 1), 1);
  const auto commands = I2cCommands(VendorRequests());
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].deviceAddress, 0xA7);
  EXPECT_EQ(byte, 0x42);
}

TEST_F(Transport24C02, ReadIssuesTheExactRequestSequence) {
  UsePart(256);
  std::vector<uint8_t> buffer(3);
  ASSERT_EQ(transport_.EepromTransfer(false, 0x10, buffer.data(), 3), 1);
  const auto log = VendorRequests();
  // opening (read 0x95, write 0x95), idle, command record, status poll(s), data, closing.
  ASSERT_GE(log.size(), 9u);
  auto is = [](const sim::RequestRecord& r, uint8_t code, uint16_t index, uint16_t length) {
    return r.packet.requestCode == code && r.packet.index == index && r.packet.length == length;
  };
  EXPECT_TRUE(is(log[0], platform::kRequestRead, 0x95, 1));
  EXPECT_TRUE(is(log[1], platform::kRequestWrite, 0x95, 1));
  EXPECT_EQ(log[1].data[0] & 0x80, 0x80);
  EXPECT_TRUE(is(log[2], platform::kRequestWrite, 0x94, 1));
  EXPECT_EQ(log[2].data[0], i2c::kIdle);
  EXPECT_TRUE(is(log[3], platform::kRequestWrite, 0x80, 16));
  EXPECT_TRUE(is(log[4], platform::kRequestWrite, 0x90, 5));
  size_t i = 5;
  while (i < log.size() && is(log[i], platform::kRequestRead, 0x94, 1))
    ++i;
  EXPECT_GE(i - 5, 1u);
  EXPECT_LE(i - 5, 4u);
  ASSERT_EQ(log.size(), i + 3);
  EXPECT_TRUE(is(log[i], platform::kRequestRead, 0x83, 16));
  EXPECT_TRUE(is(log[i + 1], platform::kRequestWrite, 0x94, 1));
  EXPECT_EQ(log[i + 1].data[0], i2c::kIdle);
  EXPECT_TRUE(is(log[i + 2], platform::kRequestWrite, 0x95, 1));
  EXPECT_EQ(log[i + 2].data[0] & 0x80, 0);
}

TEST_F(TransportTest, LengthZeroSendsOnlyOpeningAndClosingAndFails) {
  UsePart(8192);
  uint8_t dummy = 0;
  EXPECT_EQ(transport_.EepromTransfer(false, 0, &dummy, 0), 0);
  EXPECT_EQ(VendorRequests().size(), 4u);
  EXPECT_EQ(Register(0x94), i2c::kIdle);
  EXPECT_EQ(Register(0x95) & 0x80, 0);
}

TEST_F(Transport24C02, RangeChecksRefuseBeforeAnyRequest) {
  UsePart(256);
  std::vector<uint8_t> buffer(257);
  EXPECT_EQ(transport_.EepromTransfer(false, 0, buffer.data(), 257), 0);
  EXPECT_EQ(transport_.EepromTransfer(true, 200, buffer.data(), 57), 0);
  uint8_t big[17] = {};
  EXPECT_EQ(transport_.RegisterAccess(false, 0, big, 17), 0);
  EXPECT_TRUE(system_.RequestLog().empty());
  EXPECT_EQ(transport_.EepromTransfer(false, 0, buffer.data(), 255), 1);
}

TEST_F(TransportTest, NothingIsSentWhenNotAttached) {
  channel_.DetachDevice();
  system_.ClearRequestLog();
  uint8_t byte = 0;
  EXPECT_EQ(transport_.RegisterAccess(false, 0xD9, &byte, 1), 0);
  EXPECT_EQ(transport_.EepromTransfer(false, 0, &byte, 1), 0);
  EXPECT_EQ(transport_.EraseEeprom(), 0);
  EXPECT_TRUE(system_.RequestLog().empty());
}

TEST_F(TransportTest, RegisterAccessWritesAndReadsChipRegisters) {
  uint8_t values[3] = {1, 2, 3};
  ASSERT_EQ(transport_.RegisterAccess(true, 0x10, values, 3), 1);
  uint8_t back[3] = {};
  ASSERT_EQ(transport_.RegisterAccess(false, 0x10, back, 3), 1);
  EXPECT_EQ(std::vector<uint8_t>(back, back + 3), std::vector<uint8_t>(values, values + 3));
  uint8_t capability = 0;
  ASSERT_EQ(transport_.RegisterAccess(false, 0xD9, &capability, 1), 1);
  EXPECT_EQ(capability, 0x34);
  const auto log = VendorRequests();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].packet.writeFlag, 1);
  EXPECT_EQ(log[0].packet.requestCode, platform::kRequestWrite);
  EXPECT_EQ(log[1].packet.writeFlag, 0);
}

// A whole-image round trip on every type, with the part's real write cycle.
class RoundTrip : public ::testing::TestWithParam<sim::EepromPart> {};

TEST_P(RoundTrip, WholeTransferLengthComesBackAndTheLastByteIsUntouched) {
  sim::SimSystem system;
  auto& device = system.AddDevice({.part = GetParam()});
  DeviceChannel channel(system.Platform());
  ASSERT_EQ(channel.OpenDriver(), 1);
  ASSERT_EQ(channel.ConnectDevice(0x5A52, 0x7731, nullptr, nullptr, 0, 0), 1);
  VendorTransport transport(channel);
  const uint32_t size = sim::PartInfo(GetParam()).size;
  transport.SetTransportEepromSize(size);
  system.SetRequestLogEnabled(false);

  const auto image = RandomBytes(size - 1, size);
  ASSERT_EQ(transport.EepromTransfer(true, 0, const_cast<uint8_t*>(image.data()), size - 1), 1);
  system.Clock().Advance(10'000'000);
  std::vector<uint8_t> back(size - 1, 0);
  ASSERT_EQ(transport.EepromTransfer(false, 0, back.data(), size - 1), 1);
  EXPECT_EQ(back, image);
  EXPECT_EQ(device.Chip().Eeprom().Contents().back(), 0xFF);

  system.Clock().Advance(10'000'000);
  ASSERT_EQ(transport.EraseEeprom(), 1);
  const auto& contents = device.Chip().Eeprom().Contents();
  EXPECT_TRUE(std::all_of(contents.begin(), contents.end() - 1, [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(contents.back(), 0xFF);
}

INSTANTIATE_TEST_SUITE_P(AllParts, RoundTrip, ::testing::ValuesIn(sim::kAllEepromParts),
                         [](const auto& info) {
                           return std::string(sim::PartInfo(info.param).name);
                         });

TEST_F(TransportTest, WritesSurviveASlowPartsWriteCycleOnAFastHost) {
  // 0.25 ms per request, tWR 5 ms: four attempts alone would give up inside the write cycle.
  std::vector<uint8_t> data = RandomBytes(64, 7);
  ASSERT_EQ(transport_.EepromTransfer(true, 0, data.data(), 64), 1);
  const auto& eeprom = device_->Chip().Eeprom().Contents();
  EXPECT_TRUE(std::equal(data.begin(), data.end(), eeprom.begin()));
}

TEST_F(TransportTest, AnEepromThatNeverAnswersFailsInBoundedTime) {
  system_.Faults().forceNack = true;
  const int64_t start = system_.Clock().NowNs();
  std::vector<uint8_t> data(32, 1);
  EXPECT_EQ(transport_.EepromTransfer(true, 0, data.data(), 32), 0);
  const int64_t elapsed = system_.Clock().NowNs() - start;
  EXPECT_LT(elapsed, 40'000'000);  // one chunk's 25 ms budget plus the request costs
  EXPECT_EQ(I2cCommands(VendorRequests()).front().wordLow, 0);
  EXPECT_EQ(Register(0x94), i2c::kIdle);
  EXPECT_EQ(Register(0x95) & 0x80, 0);
}

// A read started while the EEPROM still programs the last page of a write: whatever the host's
// speed, the read waits the write cycle out instead of giving up its first chunk.
struct ReadAfterWriteCase {
  sim::EepromPart part;
  int64_t requestCostNs;

  friend void PrintTo(const ReadAfterWriteCase& c, std::ostream* out) {
    *out << sim::PartInfo(c.part).name << " at " << c.requestCostNs << " ns per request";
  }
};

class ReadRightAfterWrite : public ::testing::TestWithParam<ReadAfterWriteCase> {};

TEST_P(ReadRightAfterWrite, WaitsOutTheWriteCycle) {
  const auto [part, requestCostNs] = GetParam();
  sim::SimSystem system;
  auto& device = system.AddDevice(
      {.part = part, .timing = {.requestCostNs = requestCostNs, .writeCycleNs = 5'000'000}});
  DeviceChannel channel(system.Platform());
  ASSERT_EQ(channel.OpenDriver(), 1);
  ASSERT_EQ(channel.ConnectDevice(0x5A52, 0x7731, nullptr, nullptr, 0, 0), 1);
  VendorTransport transport(channel);
  const uint32_t size = sim::PartInfo(part).size;
  transport.SetTransportEepromSize(size);
  system.SetRequestLogEnabled(false);

  auto image = RandomBytes(size - 1, static_cast<uint32_t>(requestCostNs));
  ASSERT_EQ(transport.EepromTransfer(true, 0, image.data(), size - 1), 1);
  std::vector<uint8_t> back(size - 1, 0);
  EXPECT_EQ(transport.EepromTransfer(false, 0, back.data(), size - 1), 1);
  EXPECT_EQ(back, image);

  // However the host's speed lines the two transfers up: a page programmed just now.
  sim::SimEeprom& eeprom = device.Chip().Eeprom();
  const int64_t now = system.Clock().NowNs();
  eeprom.Start(now);
  ASSERT_TRUE(eeprom.WriteByte(eeprom.Info().deviceAddress, now));
  for (int i = 0; i < eeprom.Info().addressBytes; ++i)
    ASSERT_TRUE(eeprom.WriteByte(0x00, now));
  ASSERT_TRUE(eeprom.WriteByte(0x3C, now));
  eeprom.Stop(now);
  ASSERT_TRUE(eeprom.InWriteCycle(system.Clock().NowNs()));
  image[0] = 0x3C;
  std::fill(back.begin(), back.end(), 0);
  EXPECT_EQ(transport.EepromTransfer(false, 0, back.data(), size - 1), 1);
  EXPECT_EQ(back, image);
}

std::vector<ReadAfterWriteCase> ReadAfterWriteCases() {
  std::vector<ReadAfterWriteCase> cases;
  for (sim::EepromPart part : {sim::EepromPart::k24C02, sim::EepromPart::k24C64})
    for (int64_t cost : {100'000, 200'000, 300'000, 400'000, 500'000, 600'000, 800'000, 1'000'000,
                         1'500'000, 2'000'000})
      cases.push_back({part, cost});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(RequestCosts, ReadRightAfterWrite,
                         ::testing::ValuesIn(ReadAfterWriteCases()), [](const auto& info) {
                           return std::string(sim::PartInfo(info.param.part).name) + "_" +
                                  std::to_string(info.param.requestCostNs / 1000) + "us";
                         });

TEST_F(Transport24C02, AReadInsideTheWriteCycleRepeatsItsChunkUntilAcknowledged) {
  UsePart(256);
  device_->Chip().Eeprom().Contents()[0x10] = 0x5C;
  uint8_t one = 0x77;
  ASSERT_EQ(transport_.EepromTransfer(true, 0x20, &one, 1), 1);
  const int64_t cycleEnd = device_->Chip().Eeprom().WriteCycleEndNs();
  ASSERT_GT(cycleEnd, system_.Clock().NowNs());
  system_.ClearRequestLog();

  uint8_t byte = 0;
  ASSERT_EQ(transport_.EepromTransfer(false, 0x10, &byte, 1), 1);
  EXPECT_EQ(byte, 0x5C);
  const auto log = VendorRequests();
  auto is = [](const sim::RequestRecord& r, uint8_t code, uint16_t index, uint16_t length) {
    return r.packet.requestCode == code && r.packet.index == index && r.packet.length == length;
  };
  ASSERT_GE(log.size(), 4u);
  EXPECT_TRUE(is(log[0], platform::kRequestRead, 0x95, 1));
  EXPECT_TRUE(is(log[1], platform::kRequestWrite, 0x95, 1));
  // Each attempt: idle, the same command record, one status poll that reads NACK.
  size_t i = 2;
  int nacked = 0;
  while (i + 3 < log.size() && is(log[i + 3], platform::kRequestRead, 0x94, 1) &&
         (log[i + 3].data[0] & i2c::kStatusNack)) {
    EXPECT_TRUE(is(log[i], platform::kRequestWrite, 0x94, 1));
    EXPECT_EQ(log[i].data[0], i2c::kIdle);
    EXPECT_TRUE(is(log[i + 1], platform::kRequestWrite, 0x80, 16));
    EXPECT_EQ(log[i + 1].data, log[2 + 1].data);
    EXPECT_TRUE(is(log[i + 2], platform::kRequestWrite, 0x90, 5));
    EXPECT_EQ(log[i + 2].data[4], i2c::kRead1);
    EXPECT_LT(log[i + 2].timeNs, cycleEnd);
    ++nacked;
    i += 4;
  }
  EXPECT_GE(nacked, 2);
  // The attempt after the write cycle: acknowledged, data read, then the closing writes.
  ASSERT_EQ(log.size(), i + 7);
  EXPECT_TRUE(is(log[i], platform::kRequestWrite, 0x94, 1));
  EXPECT_TRUE(is(log[i + 1], platform::kRequestWrite, 0x80, 16));
  EXPECT_TRUE(is(log[i + 2], platform::kRequestWrite, 0x90, 5));
  EXPECT_GE(log[i + 2].timeNs, cycleEnd);
  EXPECT_TRUE(is(log[i + 3], platform::kRequestRead, 0x94, 1));
  EXPECT_EQ(log[i + 3].data[0] & (i2c::kStatusNack | i2c::kStatusBusy), 0);
  EXPECT_TRUE(is(log[i + 4], platform::kRequestRead, 0x83, 16));
  EXPECT_TRUE(is(log[i + 5], platform::kRequestWrite, 0x94, 1));
  EXPECT_TRUE(is(log[i + 6], platform::kRequestWrite, 0x95, 1));
}

TEST_F(TransportTest, AReadOfAnAbsentEepromWaitsOnceAndThenFailsSoon) {
  UsePart(8192);
  system_.Faults().forceNack = true;
  const int64_t start = system_.Clock().NowNs();
  std::vector<uint8_t> buffer(8191, 0xEE);
  EXPECT_EQ(transport_.EepromTransfer(false, 0, buffer.data(), 8191), 0);
  const int64_t elapsed = system_.Clock().NowNs() - start;
  const int64_t chunks = (8191 + 15) / 16;
  const int64_t request = sim::ChipTiming{}.requestCostNs;
  // The first chunk waits out what a write cycle could be; the others take one attempt each.
  EXPECT_LT(elapsed, kWriteCycleBudgetNs + 5 * request + chunks * 5 * request);
  const auto log = VendorRequests();
  const auto commands = std::count_if(log.begin(), log.end(), [](const sim::RequestRecord& r) {
    return r.packet.index == 0x90 && r.packet.length == 5;
  });
  EXPECT_GT(commands, chunks + 10);
  EXPECT_LE(commands, chunks - 1 + kMaxChunkAttempts);
  EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b == 0xEE; }));
  EXPECT_EQ(Register(0x94), i2c::kIdle);
  EXPECT_EQ(Register(0x95) & 0x80, 0);
}

// A simulated device that takes no time at all: time never passes while the part refuses every
// byte, so the retries must end by their count too.
class InstantChip : public ConnectedChip {
 protected:
  InstantChip() : ConnectedChip(sim::EepromPart::k24C64, {.requestCostNs = 0, .i2cBitRate = 0}) {}
};

TEST_F(InstantChip, AnEepromThatNeverAnswersStillFailsWhenNoTimePasses) {
  transport_.SetTransportEepromSize(8192);
  system_.Faults().forceNack = true;
  std::vector<uint8_t> data(16, 1);
  EXPECT_EQ(transport_.EepromTransfer(true, 0, data.data(), 16), 0);
  const auto log = VendorRequests();
  EXPECT_EQ(std::count_if(log.begin(), log.end(),
                          [](const sim::RequestRecord& r) {
                            return r.packet.index == 0x90 && r.packet.length == 5;
                          }),
            kMaxChunkAttempts);
}

TEST_F(InstantChip, AReadOfAnEepromThatNeverAnswersEndsWhenNoTimePasses) {
  transport_.SetTransportEepromSize(8192);
  system_.Faults().forceNack = true;
  std::vector<uint8_t> buffer(48);
  EXPECT_EQ(transport_.EepromTransfer(false, 0, buffer.data(), 48), 0);
  const auto log = VendorRequests();
  EXPECT_EQ(std::count_if(log.begin(), log.end(),
                          [](const sim::RequestRecord& r) {
                            return r.packet.index == 0x90 && r.packet.length == 5;
                          }),
            kMaxChunkAttempts + 2);
}

TEST_F(TransportTest, AReadWithAChunkGivenUpFailsAfterFinishingTheWalk) {
  system_.Faults().forceNack = true;
  std::vector<uint8_t> buffer(40, 0xEE);
  EXPECT_EQ(transport_.EepromTransfer(false, 0, buffer.data(), 40), 0);
  EXPECT_EQ(I2cCommands(VendorRequests()).size(), 3u);  // all three chunks were tried
  EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b == 0xEE; }));
  EXPECT_EQ(Register(0x94), i2c::kIdle);
}

TEST_F(TransportTest, StuckBusyGivesUpEveryChunkAndFails) {
  system_.Faults().stuckBusy = true;
  std::vector<uint8_t> buffer(16);
  EXPECT_EQ(transport_.EepromTransfer(false, 0, buffer.data(), 16), 0);
  std::vector<uint8_t> data(16, 3);
  EXPECT_EQ(transport_.EepromTransfer(true, 0, data.data(), 16), 0);
}

// Any single failed request anywhere in a transfer: no hang, nothing outside the requested range
// touched, and a success only when the data really arrived (the opening read, a write's status
// poll and the closing writes may fail without harm).
TEST(TransportFaults, EveryInjectedFailureEndsTheTransferCleanly) {
  for (bool write : {false, true}) {
    for (uint64_t n = 1; n <= 40; ++n) {
      sim::SimSystem system;
      auto& device = system.AddDevice({.part = sim::EepromPart::k24C02});
      auto& contents = device.Chip().Eeprom().Contents();
      std::fill(contents.begin(), contents.end(), 0x11);
      DeviceChannel channel(system.Platform());
      ASSERT_EQ(channel.OpenDriver(), 1);
      ASSERT_EQ(channel.ConnectDevice(0x5A52, 0x7731, nullptr, nullptr, 0, 0), 1);
      VendorTransport transport(channel);
      transport.SetTransportEepromSize(256);
      system.Faults().failRequest = system.RequestCount() + n;
      std::vector<uint8_t> buffer(24, 0x22);
      const int result = transport.EepromTransfer(write, 8, buffer.data(), 24);
      for (size_t a = 0; a < contents.size(); ++a) {
        if (a < 8 || a >= 32) {
          ASSERT_EQ(contents[a], 0x11) << "address " << a;
        }
      }
      if (result == 1) {
        const auto& got =
            write ? std::vector<uint8_t>(contents.begin() + 8, contents.begin() + 32) : buffer;
        EXPECT_EQ(got, std::vector<uint8_t>(24, write ? 0x22 : 0x11)) << write << " " << n;
      }
    }
  }
}

TEST(TransportFaults, RandomFailuresAndUnplugNeverHang) {
  for (uint64_t seed = 1; seed <= 20; ++seed) {
    sim::SimSystem system;
    system.AddDevice({.part = sim::EepromPart::k24C64});
    DeviceChannel channel(system.Platform());
    ASSERT_EQ(channel.OpenDriver(), 1);
    ASSERT_EQ(channel.ConnectDevice(0x5A52, 0x7731, nullptr, nullptr, 0, 0), 1);
    VendorTransport transport(channel);
    transport.SetTransportEepromSize(8192);
    system.Faults().failProbability = 0.01;
    system.Faults().seed = seed;
    std::vector<uint8_t> buffer(1024, 0);
    transport.EepromTransfer(seed % 2 == 0, 0, buffer.data(), 1024);  // either result, no hang
    system.Faults().failProbability = 0;
    system.Faults().unplugAfter = system.RequestCount() + 50 + seed;
    EXPECT_EQ(transport.EepromTransfer(false, 0, buffer.data(), 1024), 0);
  }
}

}  // namespace
}  // namespace veltra::device

namespace veltra::device {
namespace {

// What a failed transfer says, for each way a transfer fails; the text is what veltra-cli
// prints after the tool's own message and the GUI logs.
struct FaultCase {
  const char* name;
  bool write;
  uint32_t address;
  uint32_t length;
  sim::Faults faults;
  uint64_t failRequestAfterStart;  // 0: none
  TransferFault::Kind kind;
  uint32_t chunk;
  std::string text;
};

TEST_F(TransportTest, AFailedTransferNamesItsChunkAndWhy) {
  using Kind = TransferFault::Kind;
  const std::vector<FaultCase> cases = {
      {"write not acknowledged",
       true,
       0x40,
       40,
       {.forceNack = true},
       0,
       Kind::kNotAcknowledged,
       0x40,
       "chunk 0x0040: not acknowledged after 25 attempts in 25 ms"},
      // The read goes on past the chunk it gives up; the first one is reported.
      {"read not acknowledged",
       false,
       0x30,
       40,
       {.forceNack = true},
       0,
       Kind::kNotAcknowledged,
       0x30,
       "chunk 0x0030: not acknowledged after 25 attempts in 25 ms"},
      {"write stays busy",
       true,
       0x100,
       16,
       {.stuckBusy = true},
       0,
       Kind::kBusy,
       0x100,
       "chunk 0x0100: busy after 4 polls"},
      {"read stays busy",
       false,
       0x100,
       16,
       {.stuckBusy = true},
       0,
       Kind::kBusy,
       0x100,
       "chunk 0x0100: busy after 50 polls"},
      // The opening read and write of register 0x95 come first; then the chunk's idle write.
      {"write request fails",
       true,
       0x200,
       16,
       {},
       3,
       Kind::kRequestFailed,
       0x200,
       "chunk 0x0200: request failed"},
      {"read request fails",
       false,
       0x200,
       16,
       {},
       3,
       Kind::kRequestFailed,
       0x200,
       "chunk 0x0200: request failed"},
      {"range beyond the EEPROM",
       false,
       8180,
       20,
       {},
       0,
       Kind::kOutOfRange,
       8180,
       "20 bytes from 0x1FF4 reach beyond the EEPROM's 8192 bytes"},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.name);
    sim::Faults faults = c.faults;
    if (c.failRequestAfterStart != 0)
      faults.failRequest = system_.RequestCount() + c.failRequestAfterStart;
    system_.SetFaults(faults);
    std::vector<uint8_t> buffer(c.length, 0x5A);
    EXPECT_EQ(transport_.EepromTransfer(c.write, c.address, buffer.data(), c.length), 0);
    EXPECT_EQ(transport_.LastFault().kind, c.kind);
    EXPECT_EQ(transport_.LastFault().address, c.chunk);
    EXPECT_EQ(transport_.LastFaultText(), c.text);

    // The next transfer that succeeds leaves no fault behind.
    system_.SetFaults({});
    system_.Clock().Advance(10'000'000);
    ASSERT_EQ(transport_.EepromTransfer(false, 0, buffer.data(), 1), 1);
    EXPECT_EQ(transport_.LastFault().kind, Kind::kNone);
    EXPECT_EQ(transport_.LastFaultText(), "");
  }
}

TEST_F(TransportTest, AFailureWithoutADeviceSaysSo) {
  channel_.DetachDevice();
  uint8_t byte = 0;
  EXPECT_EQ(transport_.EepromTransfer(false, 0, &byte, 1), 0);
  EXPECT_EQ(transport_.LastFaultText(), "no device attached");
  EXPECT_EQ(transport_.EraseEeprom(), 0);
  EXPECT_EQ(transport_.LastFault().kind, TransferFault::Kind::kNotAttached);
}

// Progress comes after every chunk, with the bytes handled so far, on the chunks the protocol
// fixes: single bytes up to the first page boundary, then pages.
TEST_F(Transport24C02, ProgressFollowsTheChunks) {
  UsePart(256);
  std::vector<std::pair<uint32_t, uint32_t>> calls;
  transport_.SetProgress(
      [&calls](uint32_t done, uint32_t length) { calls.emplace_back(done, length); });
  std::vector<uint8_t> data = RandomBytes(40, 3);
  ASSERT_EQ(transport_.EepromTransfer(true, 5, data.data(), 40), 1);
  const std::vector<std::pair<uint32_t, uint32_t>> written = {
      {1, 40}, {2, 40}, {3, 40}, {11, 40}, {19, 40}, {27, 40}, {35, 40}, {40, 40}};
  EXPECT_EQ(calls, written);

  calls.clear();
  system_.Clock().Advance(10'000'000);
  ASSERT_EQ(transport_.EepromTransfer(false, 5, data.data(), 40), 1);
  const std::vector<std::pair<uint32_t, uint32_t>> read = {{16, 40}, {32, 40}, {40, 40}};
  EXPECT_EQ(calls, read);

  // Without a callback nothing is reported, and a refused transfer reports nothing either.
  calls.clear();
  EXPECT_EQ(transport_.EepromTransfer(false, 250, data.data(), 40), 0);
  EXPECT_TRUE(calls.empty());
  transport_.SetProgress({});
  ASSERT_EQ(transport_.EepromTransfer(false, 0, data.data(), 40), 1);
  EXPECT_TRUE(calls.empty());
}

}  // namespace
}  // namespace veltra::device
