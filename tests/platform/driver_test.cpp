// The simulated vendor driver: control device, attach and detach, vendor request checks.
#include <gtest/gtest.h>

#include "sim_test_client.h"

namespace veltra::sim {
namespace {

namespace pf = veltra::platform;
using test::Client;
using test::NtPath;
using test::PathBytes;

class DriverTest : public ::testing::Test {
 protected:
  SimSystem system_;
  SimUsbDevice& device_ = system_.AddDevice();
  Client client_{system_};
};

TEST_F(DriverTest, AttachTakesTheNtFormPathWithItsTerminator) {
  const std::u16string path = NtPath(device_);
  EXPECT_EQ(path.substr(0, 4), u"\\??\\");
  ASSERT_TRUE(client_.Attach(device_));
  EXPECT_EQ(system_.Driver().BoundDevice(), &device_);
  const RequestRecord attach = system_.RequestLog().back();
  EXPECT_EQ(attach.ioctl, pf::kIoctlAttach);
  EXPECT_EQ(attach.path, path);
  EXPECT_EQ(attach.inputBytes, 2 * (path.size() + 1));
  EXPECT_TRUE(attach.result);
  EXPECT_TRUE(client_.Probe());
}

TEST_F(DriverTest, AttachComparesWithoutRegardToCase) {
  std::u16string path = NtPath(device_);
  for (char16_t& c : path) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  EXPECT_TRUE(client_.AttachPath(path));
}

TEST_F(DriverTest, AttachRefusesOtherFormsAndMalformedInput) {
  EXPECT_FALSE(client_.AttachPath(device_.InterfacePath()));  // "\\?\" form, not NT form
  EXPECT_FALSE(client_.AttachPath(u"\\??\\usb#vid_1234&pid_5678#nothing"));
  EXPECT_FALSE(client_.AttachPath(u""));
  std::vector<uint8_t> bytes = PathBytes(NtPath(device_));
  std::vector<uint8_t> odd(bytes.begin(), bytes.end() - 1);
  EXPECT_FALSE(client_.AttachRaw(odd));
  std::vector<uint8_t> unterminated(bytes.begin(), bytes.end() - 2);
  EXPECT_FALSE(client_.AttachRaw(unterminated));
  EXPECT_FALSE(client_.AttachRaw({}));
  EXPECT_EQ(system_.Driver().BoundDevice(), nullptr);
  EXPECT_TRUE(client_.AttachRaw(bytes));
}

TEST_F(DriverTest, AttachNeedsThePlugIn) {
  system_.Unplug(device_);
  EXPECT_FALSE(client_.Attach(device_));
  system_.Plug(device_);
  EXPECT_TRUE(client_.Attach(device_));
}

TEST_F(DriverTest, RequestsNeedAnAttachedDevice) {
  EXPECT_FALSE(client_.Probe());
  ASSERT_TRUE(client_.Attach(device_));
  EXPECT_TRUE(client_.Probe());
  EXPECT_TRUE(client_.Detach());
  EXPECT_FALSE(client_.Probe());
  EXPECT_EQ(system_.Driver().BoundDevice(), nullptr);
  EXPECT_TRUE(client_.Detach());  // detaching twice is fine
}

TEST_F(DriverTest, WriteAndReadRegisters) {
  ASSERT_TRUE(client_.Attach(device_));
  ASSERT_TRUE(client_.Write(0x10, {1, 2, 3}));
  std::vector<uint8_t> out;
  ASSERT_TRUE(client_.Read(0x0F, 5, out));
  EXPECT_EQ(out, (std::vector<uint8_t>{0, 1, 2, 3, 0}));
  const std::vector<RequestRecord> log = system_.RequestLog();
  const RequestRecord& write = log[log.size() - 2];
  EXPECT_EQ(write.packet.requestCode, pf::kRequestWrite);
  EXPECT_EQ(write.packet.index, 0x10);
  EXPECT_EQ(write.data, (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(log.back().data, out);
  EXPECT_EQ(log.back().inputBytes, 16u);
}

TEST_F(DriverTest, TheBufferBesideThePacketMustBeTheOneItNames) {
  ASSERT_TRUE(client_.Attach(device_));
  std::array<uint8_t, 16> buffer{1, 2, 3};
  std::array<uint8_t, 16> other{};
  pf::VendorPacket packet = Client::Packet(pf::kRequestWrite, 0x10, 3);
  packet.dataAddress = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(other.data()));
  EXPECT_FALSE(client_.SendRaw(pf::EncodeVendorPacket(packet), buffer));
  packet.dataAddress = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(buffer.data()));
  EXPECT_FALSE(client_.SendRaw(pf::EncodeVendorPacket(packet), std::span(buffer).first(15)));
  EXPECT_EQ(device_.Chip().Register(0x10), 0);  // nothing reached the chip
  EXPECT_TRUE(client_.SendRaw(pf::EncodeVendorPacket(packet), buffer));
  EXPECT_EQ(device_.Chip().Register(0x10), 1);
}

TEST_F(DriverTest, PacketMustBeSixteenBytes) {
  ASSERT_TRUE(client_.Attach(device_));
  std::array<uint8_t, 16> buffer{};
  pf::VendorPacket packet = Client::Packet(pf::kRequestRead, 0, 1);
  packet.dataAddress = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(buffer.data()));
  const auto bytes = pf::EncodeVendorPacket(packet);
  std::vector<uint8_t> longer(bytes.begin(), bytes.end());
  longer.push_back(0);
  EXPECT_FALSE(client_.SendRaw(std::span(bytes).first(15), buffer));
  EXPECT_FALSE(client_.SendRaw(longer, buffer));
  EXPECT_TRUE(client_.SendRaw(bytes, buffer));
}

TEST_F(DriverTest, LengthAndRangeChecks) {
  ASSERT_TRUE(client_.Attach(device_));
  std::array<uint8_t, 16> buffer{};
  for (uint8_t code : {pf::kRequestRead, pf::kRequestWrite, pf::kRequestProbe}) {
    EXPECT_FALSE(client_.Send(Client::Packet(code, 0x10, 0), buffer)) << int(code);
    EXPECT_FALSE(client_.Send(Client::Packet(code, 0x10, 17), buffer)) << int(code);
    EXPECT_FALSE(client_.Send(Client::Packet(code, 250, 7), buffer)) << int(code);
    EXPECT_FALSE(client_.Send(Client::Packet(code, 256, 1), buffer)) << int(code);
    EXPECT_TRUE(client_.Send(Client::Packet(code, 249, 7), buffer)) << int(code);
    EXPECT_TRUE(client_.Send(Client::Packet(code, 0, 16), buffer)) << int(code);
  }
  EXPECT_FALSE(client_.Send(Client::Packet(3, 0, 1), buffer));  // no such request
}

TEST_F(DriverTest, ProbeLeavesTheBufferAlone) {
  ASSERT_TRUE(client_.Attach(device_));
  std::array<uint8_t, 16> scratch;
  scratch.fill(0xEE);
  EXPECT_TRUE(client_.Send(Client::Packet(pf::kRequestProbe, 1, 15), scratch));
  EXPECT_EQ(scratch[0], 0xEE);
}

TEST_F(DriverTest, UnplugMakesRequestsFailUntilAttachedAgain) {
  ASSERT_TRUE(client_.Attach(device_));
  system_.Unplug(device_);
  EXPECT_FALSE(client_.Probe());
  EXPECT_FALSE(client_.Write(0x10, {1}));
  EXPECT_EQ(system_.Driver().BoundDevice(), nullptr);
  // A device plugged in again is a new instance: the old binding does not reach it.
  system_.Plug(device_);
  EXPECT_FALSE(client_.Probe());
  ASSERT_TRUE(client_.Attach(device_));
  EXPECT_TRUE(client_.Probe());
}

TEST_F(DriverTest, AnAudioDeviceWithoutAChipBindsButDoesNotAnswer) {
  DeviceConfig config;
  config.instance = "7&22222222&0&0000";
  config.hasChip = false;
  SimUsbDevice& headset = system_.AddDevice(config);
  EXPECT_TRUE(client_.Attach(headset));
  EXPECT_FALSE(client_.Probe());
}

TEST_F(DriverTest, EveryVendorRequestCostsVirtualTime) {
  ASSERT_TRUE(client_.Attach(device_));
  const int64_t before = system_.Clock().NowNs();
  ASSERT_TRUE(client_.Probe());
  ASSERT_TRUE(client_.Write(0x10, {1}));
  EXPECT_EQ(system_.Clock().NowNs() - before, 2 * 250'000);
  EXPECT_EQ(system_.RequestLog().back().timeNs, before + 2 * 250'000);
}

TEST_F(DriverTest, RequestLogCanBeSwitchedOffWhileTheCountGoesOn) {
  ASSERT_TRUE(client_.Attach(device_));
  system_.ClearRequestLog();
  system_.SetRequestLogEnabled(false);
  const uint64_t count = system_.RequestCount();
  ASSERT_TRUE(client_.Probe());
  EXPECT_TRUE(system_.RequestLog().empty());
  EXPECT_EQ(system_.RequestCount(), count + 1);
  system_.SetRequestLogEnabled(true);
  ASSERT_TRUE(client_.Probe());
  ASSERT_EQ(system_.RequestLog().size(), 1u);
  EXPECT_EQ(system_.RequestLog()[0].sequence, count + 2);
  EXPECT_EQ(system_.RequestLog()[0].packet.index, 1);
  EXPECT_EQ(system_.RequestLog()[0].packet.length, 15);
}

TEST(ControlDevice, OpensOnlyWhileTheDriverServiceRuns) {
  SimSystem system;
  uint32_t error = 0;
  EXPECT_FALSE(system.Platform().driver.Open(kControlDevicePath, false, error));
  EXPECT_EQ(error, pf::error::kFileNotFound);
  test::StartDriverService(system);
  auto handle = system.Platform().driver.Open(u"\\\\.\\zr_vender_cmd", false, error);
  EXPECT_TRUE(handle);
  EXPECT_EQ(error, pf::error::kSuccess);
  EXPECT_FALSE(system.Platform().driver.Open(u"\\\\.\\OTHER", true, error));
  EXPECT_EQ(error, pf::error::kFileNotFound);
}

TEST(ControlDevice, OpenWithoutSharingFailsWhileAnotherHandleIsOpen) {
  SimSystem system;
  test::StartDriverService(system);
  pf::ControlDeviceOpener& driver = system.Platform().driver;
  uint32_t error = 0;
  auto shared = driver.Open(kControlDevicePath, true, error);
  ASSERT_TRUE(shared);
  EXPECT_FALSE(driver.Open(kControlDevicePath, false, error));
  EXPECT_EQ(error, pf::error::kSharingViolation);
  auto second = driver.Open(kControlDevicePath, true, error);
  EXPECT_TRUE(second);
  EXPECT_EQ(system.Driver().OpenHandles(), 2u);
  shared.reset();
  second.reset();
  auto exclusive = driver.Open(kControlDevicePath, false, error);
  ASSERT_TRUE(exclusive);
  EXPECT_FALSE(driver.Open(kControlDevicePath, true, error));  // an exclusive one is open
  EXPECT_EQ(error, pf::error::kSharingViolation);
}

TEST(ControlDevice, StoppingTheServiceUnloadsTheDriver) {
  SimSystem system;
  SimUsbDevice& device = system.AddDevice();
  Client client(system);
  ASSERT_TRUE(client.Attach(device));
  uint32_t error = 0;
  auto manager = system.Platform().services.OpenManager(pf::kScManagerAllAccess, error);
  auto service = manager->OpenService(kDriverServiceName, pf::kServiceAllAccess, error);
  ASSERT_EQ(service->Control(pf::kServiceControlStop), pf::error::kSuccess);
  EXPECT_FALSE(client.Probe());
  EXPECT_FALSE(client.Attach(device));
  EXPECT_EQ(system.Driver().OpenHandles(), 0u);
  EXPECT_FALSE(system.Platform().driver.Open(kControlDevicePath, true, error));
  // Loaded again, the driver starts unbound and the old handle stays dead.
  ASSERT_EQ(service->Start(), pf::error::kSuccess);
  EXPECT_FALSE(client.Attach(device));
  Client fresh(system);
  EXPECT_FALSE(fresh.Probe());
  EXPECT_TRUE(fresh.Attach(device));
  EXPECT_TRUE(fresh.Probe());
}

TEST(ControlDevice, AHandleThatOutlivesTheSystemFailsQuietly) {
  std::unique_ptr<pf::ControlDevice> handle;
  {
    SimSystem system;
    test::StartDriverService(system);
    uint32_t error = 0;
    handle = system.Platform().driver.Open(kControlDevicePath, true, error);
    ASSERT_TRUE(handle);
  }
  EXPECT_FALSE(handle->IoControl(pf::kIoctlDetach, {}, {}, {}));
  handle.reset();
}

}  // namespace
}  // namespace veltra::sim
