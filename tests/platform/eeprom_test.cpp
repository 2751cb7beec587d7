// The 24Cxx parts on the bus: addressing, page writes, the write cycle, sequential reads.
#include <gtest/gtest.h>

#include <numeric>
#include <set>

#include "platform/sim/sim_eeprom.h"

namespace veltra::sim {
namespace {

constexpr int64_t kTwr = SimEeprom::kDefaultWriteCycleNs;

// Bus helpers on a part, at a fixed moment (the write cycle is what moves time here).
struct Bus {
  SimEeprom& part;
  int64_t t = 0;

  bool Address(uint8_t device, uint32_t word) {
    part.Start(t);
    if (!part.WriteByte(device & 0xFE, t)) return false;
    if (part.Info().addressBytes == 2 && !part.WriteByte(static_cast<uint8_t>(word >> 8), t))
      return false;
    return part.WriteByte(static_cast<uint8_t>(word), t);
  }
  // Writes at word address through the given device address byte; STOP programs the page.
  bool Write(uint8_t device, uint32_t word, const std::vector<uint8_t>& data) {
    bool ok = Address(device, word);
    for (uint8_t b : data)
      ok = ok && part.WriteByte(b, t);
    part.Stop(t);
    return ok;
  }
  std::vector<uint8_t> Read(uint8_t device, uint32_t word, size_t count) {
    std::vector<uint8_t> out;
    if (!Address(device, word)) return out;
    part.Start(t);
    if (!part.WriteByte(device | 1, t)) return out;
    for (size_t i = 0; i < count; ++i)
      out.push_back(part.ReadByte(t));
    part.Stop(t);
    return out;
  }
  // Device address and block bits for a linear address, as a 1-byte part wants them.
  uint8_t DeviceFor(uint32_t address) const {
    const EepromPartInfo& info = part.Info();
    if (info.addressBytes == 2) return info.deviceAddress;
    return static_cast<uint8_t>(info.deviceAddress | ((address >> 7) & 0x0E));
  }
};

TEST(EepromPartTable, NineParts) {
  const uint32_t sizes[] = {256, 512, 1024, 2048, 4096, 8192, 16384, 32768, 65536};
  const uint32_t pages[] = {8, 16, 16, 16, 32, 32, 64, 64, 128};
  for (size_t i = 0; i < kAllEepromParts.size(); ++i) {
    const EepromPartInfo& info = PartInfo(kAllEepromParts[i]);
    EXPECT_EQ(info.size, sizes[i]) << info.name;
    EXPECT_EQ(info.pageSize, pages[i]) << info.name;
    EXPECT_EQ(info.addressBytes, sizes[i] >= 4096 ? 2 : 1) << info.name;
    EXPECT_EQ(info.deviceAddress, sizes[i] >= 4096 ? 0xA8 : 0xA0) << info.name;
    EXPECT_EQ(PartFromSize(sizes[i]), kAllEepromParts[i]);
  }
  EXPECT_EQ(PartFromName("24C64"), EepromPart::k24C64);
  EXPECT_EQ(PartFromName("s24c512"), EepromPart::k24C512);
  EXPECT_EQ(PartFromName("S24C02"), EepromPart::k24C02);
  EXPECT_FALSE(PartFromName("24C03"));
  EXPECT_FALSE(PartFromName(""));
  EXPECT_FALSE(PartFromSize(4095));
}

class EveryPart : public ::testing::TestWithParam<EepromPart> {
 protected:
  SimEeprom part{GetParam()};
  Bus bus{part};
  const EepromPartInfo& info = part.Info();
};

TEST_P(EveryPart, ErasedToFF) {
  EXPECT_EQ(part.Contents().size(), info.size);
  EXPECT_TRUE(std::all_of(part.Contents().begin(), part.Contents().end(),
                          [](uint8_t b) { return b == 0xFF; }));
}

TEST_P(EveryPart, AnswersItsDeviceAddressesOnly) {
  std::set<int> expected;
  if (info.addressBytes == 2) {
    expected = {0xA8};
  } else {
    for (int block = 0; block < (1 << info.blockBits); ++block)
      expected.insert(0xA0 | block << 1);
  }
  for (int device = 0; device < 256; device += 2) {
    part.Start(0);
    const bool ack = part.WriteByte(static_cast<uint8_t>(device), 0);
    part.Stop(0);
    EXPECT_EQ(ack, expected.count(device) == 1) << info.name << " device 0x" << std::hex << device;
    EXPECT_EQ(part.Answers(static_cast<uint8_t>(device | 1)), expected.count(device) == 1);
  }
}

TEST_P(EveryPart, BlockBitsAndWordAddressReachEveryByte) {
  // One byte in each 256-byte block, and the last byte, through the part's own addressing.
  for (uint32_t address = 0x12; address < info.size; address += 256) {
    ASSERT_TRUE(bus.Write(bus.DeviceFor(address), address, {static_cast<uint8_t>(address >> 8)}));
    bus.t += kTwr;
  }
  ASSERT_TRUE(bus.Write(bus.DeviceFor(info.size - 1), info.size - 1, {0x5A}));
  bus.t += kTwr;
  for (uint32_t address = 0; address < info.size; ++address) {
    const int expected = address == info.size - 1   ? 0x5A
                         : (address & 0xFF) == 0x12 ? static_cast<int>(address >> 8)
                                                    : 0xFF;
    ASSERT_EQ(part.Contents()[address], expected) << info.name << " at " << address;
  }
  EXPECT_EQ(bus.Read(bus.DeviceFor(0x112 % info.size), 0x112 % info.size, 1).at(0),
            part.Contents()[0x112 % info.size]);
}

TEST_P(EveryPart, WriteWrapsInsideItsPage) {
  const uint32_t page = info.pageSize;
  const uint32_t start = page + page - 2;  // two bytes before the end of the second page
  std::vector<uint8_t> data(page + 2);
  std::iota(data.begin(), data.end(), 1);
  ASSERT_TRUE(bus.Write(bus.DeviceFor(start), start, data));
  // Bytes 1, 2 went to the page's last two bytes, 3.. to its start; the last two bytes
  // (page + 1, page + 2) came round again over 1 and 2.
  std::vector<uint8_t> expected(page);
  for (uint32_t i = 0; i < data.size(); ++i)
    expected[(page - 2 + i) % page] = data[i];
  const auto& c = part.Contents();
  EXPECT_EQ(std::vector<uint8_t>(c.begin() + page, c.begin() + 2 * page), expected) << info.name;
  EXPECT_EQ(c[page - 1], 0xFF);
  EXPECT_EQ(c[2 * page], 0xFF);
  EXPECT_EQ(part.CompletedWrites(), 1u);
}

TEST_P(EveryPart, SequentialReadRollsOverAtTheEndOfTheArray) {
  auto& c = part.Contents();
  c[info.size - 2] = 0x11;
  c[info.size - 1] = 0x22;
  c[0] = 0x33;
  c[1] = 0x44;
  EXPECT_EQ(bus.Read(bus.DeviceFor(info.size - 2), info.size - 2, 4),
            (std::vector<uint8_t>{0x11, 0x22, 0x33, 0x44}))
      << info.name;
  EXPECT_EQ(part.AddressCounter(), 2u);
}

TEST_P(EveryPart, WriteCycleNacksEverythingUntilItEnds) {
  ASSERT_TRUE(bus.Write(info.deviceAddress, 0, {0xAB}));
  EXPECT_EQ(part.WriteCycleEndNs(), kTwr);
  for (int64_t t : {int64_t{0}, int64_t{1}, kTwr - 1}) {
    EXPECT_TRUE(part.InWriteCycle(t));
    part.Start(t);
    EXPECT_FALSE(part.WriteByte(info.deviceAddress, t)) << "at " << t;
    EXPECT_FALSE(part.WriteByte(info.deviceAddress | 1, t));
    part.Stop(t);
  }
  bus.t = kTwr;
  EXPECT_EQ(bus.Read(info.deviceAddress, 0, 1), std::vector<uint8_t>{0xAB});
}

TEST_P(EveryPart, AddressOnlyWriteStartsNoWriteCycle) {
  ASSERT_TRUE(bus.Address(info.deviceAddress, 5));
  part.Stop(0);
  EXPECT_FALSE(part.InWriteCycle(1));
  EXPECT_EQ(part.CompletedWrites(), 0u);
  // ...but it set the address counter: a current-address read starts there.
  part.Start(1);
  ASSERT_TRUE(part.WriteByte(info.deviceAddress | 1, 1));
  part.Contents()[5] = 0x55;
  EXPECT_EQ(part.ReadByte(1), 0x55);
}

TEST_P(EveryPart, RepeatedStartDropsThePendingPage) {
  ASSERT_TRUE(bus.Address(info.deviceAddress, 3));
  ASSERT_TRUE(part.WriteByte(0x77, 0));
  part.Start(0);  // repeated START instead of STOP
  part.Stop(0);
  EXPECT_EQ(part.Contents()[3], 0xFF);
  EXPECT_FALSE(part.InWriteCycle(1));
}

INSTANTIATE_TEST_SUITE_P(Parts, EveryPart, ::testing::ValuesIn(kAllEepromParts),
                         [](const auto& p) { return std::string("S") + PartInfo(p.param).name; });

TEST(Eeprom, TwoByteAddressBitsAboveTheArrayAreIgnored) {
  SimEeprom part(EepromPart::k24C32);
  Bus bus{part};
  ASSERT_TRUE(bus.Write(0xA8, 0xF005, {0x42}));
  EXPECT_EQ(part.Contents()[0x005], 0x42);
}

TEST(Eeprom, PowerCycleEndsTheWriteCycle) {
  SimEeprom part(EepromPart::k24C02);
  Bus bus{part};
  ASSERT_TRUE(bus.Write(0xA0, 0, {1}));
  part.PowerCycle();
  EXPECT_FALSE(part.InWriteCycle(0));
}

TEST(Eeprom, WriteCycleLengthIsConfigurable) {
  SimEeprom part(EepromPart::k24C02, 10'000'000);
  Bus bus{part, 100};
  ASSERT_TRUE(bus.Write(0xA0, 0, {1}));
  EXPECT_EQ(part.WriteCycleEndNs(), 10'000'100);
}

}  // namespace
}  // namespace veltra::sim
