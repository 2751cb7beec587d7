// Device-interface enumeration and arrival/removal notices.
#include <gtest/gtest.h>

#include "platform/sim/sim_window.h"
#include "sim_test_client.h"

namespace veltra::sim {
namespace {

namespace pf = veltra::platform;

std::vector<std::u16string> Paths(pf::DeviceInterfaceSet& set) {
  std::vector<std::u16string> paths;
  for (uint32_t i = 0; set.EnumInterface(i); ++i)
    paths.push_back(set.InterfacePath(i).value_or(u"<none>"));
  return paths;
}

constexpr pf::Guid kOtherClass{0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};

TEST(DeviceInterfaces, InterfacePathCarriesVidPidInstanceAndClass) {
  SimSystem system;
  SimUsbDevice& device = system.AddDevice();
  EXPECT_EQ(device.InterfacePath(),
            u"\\\\?\\usb#vid_5a52&pid_7731&mi_00#7&1a2b3c4d&0&0000#"
            u"{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\global");
  DeviceConfig config;
  config.vid = 0xABCD;
  config.pid = 0x00EF;
  config.instance = "8&2&0&0001";
  EXPECT_EQ(SimUsbDevice::MakeInterfacePath(config),
            u"\\\\?\\usb#vid_abcd&pid_00ef&mi_00#8&2&0&0001#"
            u"{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\global");
  config.interfacePath =
      u"\\\\?\\hdaudio#func_01&ven_10ec#1#{6994ad04-93ef-11d0-a3cc-00a0c9223196}";
  EXPECT_EQ(system.AddDevice(config).InterfacePath(), config.interfacePath);
}

TEST(DeviceInterfaces, EnumerationIsASnapshotOfPluggedDevicesOfTheClass) {
  SimSystem system;
  SimUsbDevice& first = system.AddDevice();
  DeviceConfig other;
  other.vid = 0x046D;
  other.pid = 0x0A44;
  other.instance = "7&99&0&0000";
  SimUsbDevice& headset = system.AddDevice(other);
  DeviceConfig camera;
  camera.interfaceClass = kOtherClass;
  system.AddDevice(camera);

  pf::DeviceInterfaces& interfaces = system.Platform().interfaces;
  auto set = interfaces.GetPresentInterfaces(pf::kKsCategoryAudio);
  ASSERT_TRUE(set);
  system.Unplug(first);  // the snapshot does not change
  EXPECT_EQ(Paths(*set),
            (std::vector<std::u16string>{first.InterfacePath(), headset.InterfacePath()}));
  EXPECT_FALSE(set->InterfacePath(2));
  EXPECT_EQ(Paths(*interfaces.GetPresentInterfaces(pf::kKsCategoryAudio)),
            std::vector<std::u16string>{headset.InterfacePath()});
  EXPECT_EQ(Paths(*interfaces.GetPresentInterfaces(kOtherClass)).size(), 1u);
  EXPECT_TRUE(Paths(*interfaces.GetPresentInterfaces(pf::Guid{})).empty());
}

TEST(DeviceInterfaces, EnumerationFaults) {
  SimSystem system;
  system.AddDevice();
  system.Interfaces().SetEnumerationFails(true);
  EXPECT_FALSE(system.Platform().interfaces.GetPresentInterfaces(pf::kKsCategoryAudio));
  system.Interfaces().SetEnumerationFails(false);
  system.Interfaces().SetDetailFails(true);
  auto set = system.Platform().interfaces.GetPresentInterfaces(pf::kKsCategoryAudio);
  ASSERT_TRUE(set);
  EXPECT_TRUE(set->EnumInterface(0));
  EXPECT_FALSE(set->InterfacePath(0));
}

TEST(DeviceNotices, DeliveredToRegisteredWindowsWithTheHeader) {
  SimSystem system;
  SimWindow window, other, elsewhere;
  pf::DeviceInterfaces& interfaces = system.Platform().interfaces;
  const pf::NotificationHandle handle =
      interfaces.RegisterNotification(window, pf::kKsCategoryAudio);
  EXPECT_NE(handle, 0u);
  EXPECT_NE(interfaces.RegisterNotification(other, pf::kKsCategoryAudio), 0u);
  EXPECT_NE(interfaces.RegisterNotification(elsewhere, kOtherClass), 0u);

  SimUsbDevice& device = system.AddDevice();
  system.Unplug(device);
  system.Unplug(device);  // already out: nothing
  system.Plug(device);

  const std::vector<SimWindow::Notice> notices = window.Notices();
  ASSERT_EQ(notices.size(), 3u);
  EXPECT_EQ(notices[0].event, pf::kDbtDeviceArrival);
  EXPECT_EQ(notices[1].event, pf::kDbtDeviceRemoveComplete);
  EXPECT_EQ(notices[2].event, pf::kDbtDeviceArrival);
  const pf::DeviceBroadcast& header = *notices[1].header;
  EXPECT_EQ(header.deviceType, pf::kDbtDevtypDeviceInterface);
  EXPECT_EQ(header.classGuid, pf::kKsCategoryAudio);
  EXPECT_EQ(header.name, device.InterfacePath());
  EXPECT_EQ(header.size, 28 + 2 * (device.InterfacePath().size() + 1));
  EXPECT_EQ(other.Notices().size(), 3u);
  EXPECT_TRUE(elsewhere.Notices().empty());

  EXPECT_TRUE(interfaces.UnregisterNotification(handle));
  EXPECT_FALSE(interfaces.UnregisterNotification(handle));
  system.Unplug(device);
  EXPECT_EQ(window.Notices().size(), 3u);
  EXPECT_EQ(other.Notices().size(), 4u);
}

TEST(DeviceNotices, RegistrationNeedsALiveWindowAndCanBeMadeToFail) {
  SimSystem system;
  SimWindow window;
  pf::DeviceInterfaces& interfaces = system.Platform().interfaces;
  system.Interfaces().SetRegistrationFails(true);
  EXPECT_EQ(interfaces.RegisterNotification(window, pf::kKsCategoryAudio), 0u);
  system.Interfaces().SetRegistrationFails(false);
  window.SetAlive(false);
  EXPECT_EQ(interfaces.RegisterNotification(window, pf::kKsCategoryAudio), 0u);
  window.SetAlive(true);
  EXPECT_NE(interfaces.RegisterNotification(window, pf::kKsCategoryAudio), 0u);
  EXPECT_EQ(system.Interfaces().RegistrationCount(), 1u);
  window.SetAlive(false);  // destroyed windows get nothing
  system.AddDevice();
  EXPECT_TRUE(window.Notices().empty());
}

TEST(DeviceNotices, ARecipientMayCallBackIntoTheSimulator) {
  SimSystem system;
  SimUsbDevice& device = system.AddDevice();
  test::Client client(system);
  ASSERT_TRUE(client.Attach(device));
  SimWindow window;
  std::vector<bool> probes;
  window.SetNoticeHandler([&](uint32_t, const pf::DeviceBroadcast*) {
    probes.push_back(client.Probe());  // as the device channel does on every notice
  });
  system.Platform().interfaces.RegisterNotification(window, pf::kKsCategoryAudio);
  system.Unplug(device);
  system.Plug(device);
  EXPECT_EQ(probes, (std::vector<bool>{false, false}));
}

}  // namespace
}  // namespace veltra::sim
