// What the Win32 back end hands DeviceIoControl, seen through its system-call seam and carried
// to the simulated driver: the same codes, packets, buffer sizes and data as the simulator logs
// for the same operations, byte for byte.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "device/channel.h"
#include "device/transport.h"
#include "platform/sim/sim_system.h"
#include "platform/vendor_packet.h"
#include "platform/win32/win32_control_device.h"
#include "recording_device_io.h"

namespace veltra::win32 {
namespace {

namespace pf = veltra::platform;
using test::IoCall;
using test::RecordingDeviceIo;

constexpr std::array<uint8_t, 8> kChunk{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};

sim::DeviceConfig Config() {
  sim::DeviceConfig config;
  config.part = sim::EepromPart::k24C02;
  config.capability = 0x34;
  return config;
}

// A register read, a register write and one EEPROM chunk (8 bytes at the page boundary 8 of a
// 24C02: one write command).
void RunOperations(device::VendorTransport& transport, uint8_t& capability) {
  capability = 0;
  ASSERT_EQ(transport.RegisterAccess(false, 0xD9, &capability, 1), 1);
  uint8_t words[3] = {0x01, 0x02, 0x03};
  ASSERT_EQ(transport.RegisterAccess(true, 0x40, words, 3), 1);
  std::array<uint8_t, 8> chunk = kChunk;
  transport.SetTransportEepromSize(256);
  ASSERT_EQ(transport.EepromTransfer(true, 8, chunk.data(), 8), 1);
}

std::array<uint8_t, 12> PacketHead(const IoCall& call) {
  std::array<uint8_t, 12> head{};
  std::copy(call.input.begin(), call.input.begin() + 12, head.begin());
  return head;
}

class Win32Requests : public ::testing::Test {
 protected:
  void SetUp() override {
    system_.AddDevice(Config());
    ASSERT_EQ(channel_.OpenDriver(), 1);
    ASSERT_EQ(channel_.ConnectDevice(0x5A52, 0x7731, nullptr, nullptr, 0, 0), 1);
    io_.calls.clear();
  }

  sim::SimSystem system_;
  RecordingDeviceIo io_{&system_.Driver()};
  Win32ControlDeviceOpener opener_{io_};
  // The simulated machine, but the control device is the Win32 one.
  pf::Platform platform_{system_.Services(), system_.Interfaces(), opener_,
                         system_.Timers(),   system_.Clock(),      system_.Debug(),
                         system_.System()};
  device::DeviceChannel channel_{platform_};
  device::VendorTransport transport_{channel_};
};

TEST_F(Win32Requests, ControlDeviceIsOpenedAsTheDriverExpects) {
  ASSERT_FALSE(io_.opens.empty());
  EXPECT_EQ(io_.opens.front().path, L"\\\\.\\ZR_VENDER_CMD");
  EXPECT_EQ(io_.opens.front().access, 0xC0000000u);  // GENERIC_READ | GENERIC_WRITE
  EXPECT_EQ(io_.opens.front().share, 0u);
}

TEST_F(Win32Requests, RegisterReadRegisterWriteAndEepromChunkMatchTheSimulatorsLog) {
  sim::SimSystem reference;
  reference.AddDevice(Config());
  device::DeviceChannel referenceChannel(reference.Platform());
  device::VendorTransport referenceTransport(referenceChannel);
  ASSERT_EQ(referenceChannel.OpenDriver(), 1);
  ASSERT_EQ(referenceChannel.ConnectDevice(0x5A52, 0x7731, nullptr, nullptr, 0, 0), 1);
  reference.ClearRequestLog();
  uint8_t expectedCapability = 0;
  RunOperations(referenceTransport, expectedCapability);
  const std::vector<sim::RequestRecord> log = reference.RequestLog();

  uint8_t capability = 0;
  RunOperations(transport_, capability);
  // The driver wrote the register's value through the packet's address into the tool's buffer.
  EXPECT_EQ(capability, 0x34);
  EXPECT_EQ(capability, expectedCapability);

  ASSERT_EQ(io_.calls.size(), log.size());
  for (size_t i = 0; i < log.size(); ++i) {
    SCOPED_TRACE(i);
    const IoCall& call = io_.calls[i];
    const sim::RequestRecord& record = log[i];
    EXPECT_EQ(call.code, record.ioctl);
    EXPECT_EQ(call.input.size(), record.inputBytes);
    EXPECT_FALSE(call.outputGiven);
    EXPECT_EQ(call.outputBytes, 0u);
    ASSERT_EQ(call.input.size(), 16u);
    // All but the data address, which names each process's own buffer.
    const std::array<uint8_t, 16> expected = pf::EncodeVendorPacket(record.packet);
    EXPECT_TRUE(std::equal(expected.begin(), expected.begin() + 12, call.input.begin()));
    EXPECT_EQ(call.data, record.data);
  }
}

TEST_F(Win32Requests, ExactPacketsOfARegisterReadAndWrite) {
  uint8_t capability = 0;
  RunOperations(transport_, capability);
  ASSERT_GE(io_.calls.size(), 2u);
  for (const IoCall& call : io_.calls) {
    EXPECT_EQ(call.code, 0x222148u);
    ASSERT_EQ(call.input.size(), 16u);
    EXPECT_NE(call.input[12] | call.input[13] | call.input[14] | call.input[15], 0);
  }
  EXPECT_EQ(PacketHead(io_.calls[0]),
            (std::array<uint8_t, 12>{0, 0, 2, 0, 0, 0, 0xD9, 0, 1, 0, 0, 0}));
  EXPECT_EQ(io_.calls[0].data, std::vector<uint8_t>{0x34});
  EXPECT_EQ(PacketHead(io_.calls[1]),
            (std::array<uint8_t, 12>{0, 0, 1, 1, 0, 0, 0x40, 0, 3, 0, 0, 0}));
  EXPECT_EQ(io_.calls[1].data, (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(Win32Requests, EepromChunkIsOneCommandRecordInTwoRegisterWrites) {
  uint8_t capability = 0;
  RunOperations(transport_, capability);
  std::vector<const IoCall*> record;
  for (const IoCall& call : io_.calls) {
    const auto head = PacketHead(call);
    if (head[2] == 1 && (head[6] == 0x80 || head[6] == 0x90)) record.push_back(&call);
  }
  ASSERT_EQ(record.size(), 2u);
  EXPECT_EQ(PacketHead(*record[0]),
            (std::array<uint8_t, 12>{0, 0, 1, 1, 0, 0, 0x80, 0, 16, 0, 0, 0}));
  // Device address 0xA0 (a 24C02), word address 8, then the chunk; the rest of the data
  // registers carry no meaning and are 0 in a fresh record.
  EXPECT_EQ(record[0]->data, (std::vector<uint8_t>{0xA0, 0x08, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55,
                                                   0x66, 0x77, 0x88, 0, 0, 0, 0, 0}));
  EXPECT_EQ(PacketHead(*record[1]),
            (std::array<uint8_t, 12>{0, 0, 1, 1, 0, 0, 0x90, 0, 5, 0, 0, 0}));
  // Registers 0x90..0x92 (data), the byte count and the write command that starts it.
  EXPECT_EQ(record[1]->data, (std::vector<uint8_t>{0, 0, 0, 8, 0x90}));
}

TEST_F(Win32Requests, AttachAndDetachCarryThePathAndNothingElse) {
  ASSERT_EQ(channel_.DetachDevice(), 1);
  ASSERT_EQ(channel_.ConnectDevice(0x5A52, 0x7731, nullptr, nullptr, 0, 0), 1);
  std::u16string ntPath = system_.Devices().front()->InterfacePath();
  ntPath[1] = u'?';
  std::vector<uint8_t> pathBytes;
  for (const char16_t c : ntPath) {
    pathBytes.push_back(static_cast<uint8_t>(c));
    pathBytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  pathBytes.insert(pathBytes.end(), {0, 0});
  size_t attaches = 0;
  size_t detaches = 0;
  for (const IoCall& call : io_.calls) {
    EXPECT_FALSE(call.outputGiven);
    if (call.code == 0x152008) {
      ++attaches;
      EXPECT_EQ(call.input, pathBytes);
    } else if (call.code == 0x15200C) {
      ++detaches;
      EXPECT_TRUE(call.input.empty());
    }
  }
  EXPECT_EQ(detaches, 2u);  // the disconnect and the one after the probe
  EXPECT_EQ(attaches, 2u);  // the probe's and the lasting one
}

TEST(Win32ControlDevice, VendorRequestWhosePacketDoesNotNameItsBufferIsNeverSent) {
  RecordingDeviceIo io(nullptr, true);
  Win32ControlDeviceOpener opener(io);
  uint32_t error = 0;
  const auto device = opener.Open(u"\\\\.\\ZR_VENDER_CMD", false, error);
  ASSERT_NE(device, nullptr);
  std::array<uint8_t, 16> buffer{};
  std::array<uint8_t, 16> other{};
  pf::VendorPacket packet;
  packet.requestCode = pf::kRequestRead;
  packet.length = 16;

  packet.dataAddress = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(other.data()));
  EXPECT_FALSE(
      device->IoControl(pf::kIoctlVendorRequest, pf::EncodeVendorPacket(packet), {}, buffer));
  packet.dataAddress = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(buffer.data()));
  EXPECT_FALSE(device->IoControl(pf::kIoctlVendorRequest, pf::EncodeVendorPacket(packet), {},
                                 std::span(buffer).first(15)));
  const auto bytes = pf::EncodeVendorPacket(packet);
  EXPECT_FALSE(device->IoControl(pf::kIoctlVendorRequest, std::span(bytes).first(15), {}, buffer));
  EXPECT_TRUE(io.calls.empty());

  EXPECT_TRUE(device->IoControl(pf::kIoctlVendorRequest, bytes, {}, buffer));
  ASSERT_EQ(io.calls.size(), 1u);
  EXPECT_EQ(io.calls[0].input, std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

}  // namespace
}  // namespace veltra::win32
