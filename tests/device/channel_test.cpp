#include "device/channel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/sim_system.h"
#include "platform/text.h"
#include "platform/win32_codes.h"

namespace veltra::device {
namespace {

namespace pf = veltra::platform;

constexpr uint32_t kArrival = 0x464;
constexpr uint32_t kRemoval = 0x465;

// An owner window that records what it is sent and, like the main window, hands device-change
// notices straight to the channel.
class RecordingWindow : public pf::Window {
 public:
  bool IsWindow() const override { return alive; }
  bool PostMessage(uint32_t message, uintptr_t, intptr_t) override {
    posted.push_back(message);
    return true;
  }
  void DeliverDeviceChange(uint32_t event, const pf::DeviceBroadcast* header) override {
    ++notices;
    if (channel != nullptr) channel->OnDeviceChange(event, header);
  }

  bool alive = true;
  DeviceChannel* channel = nullptr;
  std::vector<uint32_t> posted;
  int notices = 0;
};

class ChannelTest : public ::testing::Test {
 protected:
  std::vector<sim::RequestRecord> Ioctls(uint32_t code) const {
    std::vector<sim::RequestRecord> out;
    for (const auto& r : system_.RequestLog())
      if (r.ioctl == code) out.push_back(r);
    return out;
  }

  sim::SimSystem system_;
  DeviceChannel channel_{system_.Platform()};
};

TEST(ParseVidPid, ReadsTaggedHexFromInterfacePaths) {
  struct Case {
    std::u16string path;
    uint16_t vid;
    uint16_t pid;
    int found;
  };
  const Case cases[] = {
      {u"\\\\?\\usb#vid_1234&pid_5678&mi_00#x", 0x1234, 0x5678, 3},
      {u"\\\\?\\USB#VID_ABCD&PID_ef01#x", 0xABCD, 0xEF01, 3},
      {u"\\\\?\\usb#vid_1234&mi_00#x", 0x1234, 0xFFFF, 1},  // no PID_: stays at the preset
      {u"\\\\?\\usb#pid_1234&vid_12", 0xFFFF, 0x1234, 2},   // fewer than 4 characters after VID_
      {u"vid_12g4&pid_0001", 0x0012, 0x0001, 3},            // digits up to the first non-hex
      {u"hdaudio#func_01&ven_10ec&dev_0257", 0xFFFF, 0xFFFF, 0},
  };
  for (const auto& c : cases) {
    uint16_t vid = 0xFFFF;
    uint16_t pid = 0xFFFF;
    EXPECT_EQ(DeviceChannel::ParseVidPid(c.path, vid, pid), c.found) << pf::ToUtf8(c.path);
    EXPECT_EQ(vid, c.vid) << pf::ToUtf8(c.path);
    EXPECT_EQ(pid, c.pid) << pf::ToUtf8(c.path);
  }
}

TEST_F(ChannelTest, OpenDriverInstallsAndStartsTheDemandStartService) {
  ASSERT_EQ(channel_.OpenDriver(), 1);
  EXPECT_TRUE(channel_.IsDriverOpen());
  EXPECT_EQ(channel_.DriverPath(), u"C:\\Program Files\\Veltra\\ZRVC64.sys");
  const auto service = system_.Services().Find(kServiceName);
  ASSERT_TRUE(service.has_value());
  EXPECT_TRUE(service->running);
  EXPECT_EQ(service->config.type, pf::kServiceKernelDriver);
  EXPECT_EQ(service->config.startType, pf::kServiceDemandStart);
  EXPECT_EQ(service->config.displayName, kServiceName);

  EXPECT_EQ(channel_.CloseDriver(), 1);
  EXPECT_FALSE(channel_.IsDriverOpen());
  EXPECT_FALSE(system_.Services().Find(kServiceName).has_value());  // ours, so removed again
}

TEST_F(ChannelTest, ThirtyTwoBitWindowsUsesThe32BitDriverFile) {
  system_.System().SetWow64({.functionPresent = false});
  ASSERT_EQ(channel_.OpenDriver(), 1);
  EXPECT_EQ(channel_.DriverPath(), u"C:\\Program Files\\Veltra\\ZRVC.sys");
}

TEST_F(ChannelTest, MissingDriverFileFailsOpenAndEveryConnect) {
  system_.Services().RemoveDriverBinary(u"C:\\Program Files\\Veltra\\ZRVC64.sys");
  system_.AddDevice({});
  EXPECT_EQ(channel_.OpenDriver(), 0);
  system_.ClearRequestLog();
  RecordingWindow window;
  EXPECT_EQ(channel_.ConnectDevice(0x5A52, 0x7731, &window, nullptr, kArrival, kRemoval), 0);
  EXPECT_TRUE(system_.RequestLog().empty());
  EXPECT_TRUE(window.posted.empty());
}

TEST_F(ChannelTest, ServiceInstalledByOthersToStartAutomaticallyIsLeftInstalled) {
  pf::ServiceConfig config;
  config.name = kServiceName;
  config.displayName = kServiceName;
  config.type = pf::kServiceKernelDriver;
  config.startType = 2;  // SERVICE_AUTO_START
  config.binaryPath = u"C:\\Windows\\System32\\drivers\\ZRVC64.sys";
  system_.Services().AddDriverBinary(config.binaryPath);
  system_.Services().Install(config, /*running=*/true);

  ASSERT_EQ(channel_.OpenDriver(), 1);  // the control device opens as it stands
  EXPECT_EQ(channel_.CloseDriver(), 1);
  const auto service = system_.Services().Find(kServiceName);
  ASSERT_TRUE(service.has_value());
  EXPECT_FALSE(service->running);  // the stop is sent whoever installed it
}

TEST_F(ChannelTest, ConnectAttachesWithTheNtFormPathAndProbesRegisterZero) {
  auto& device = system_.AddDevice({});
  ASSERT_EQ(channel_.OpenDriver(), 1);
  system_.ClearRequestLog();
  ASSERT_EQ(channel_.ConnectDevice(0x5A52, 0x7731, nullptr, nullptr, 0, 0), 1);

  std::u16string nt = device.InterfacePath();
  nt[1] = u'?';
  ASSERT_EQ(nt.substr(0, 4), u"\\??\\");
  EXPECT_EQ(channel_.MatchedDevicePath(), nt);

  const auto& log = system_.RequestLog();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[0].ioctl, pf::kIoctlAttach);
  EXPECT_EQ(log[0].path, nt);
  EXPECT_EQ(log[0].inputBytes, (nt.size() + 1) * 2);
  EXPECT_EQ(log[1].ioctl, pf::kIoctlVendorRequest);
  EXPECT_EQ(log[1].packet.requestCode, pf::kRequestRead);
  EXPECT_EQ(log[1].packet.writeFlag, 0);
  EXPECT_EQ(log[1].packet.index, 0);
  EXPECT_EQ(log[1].packet.length, 16);
  EXPECT_EQ(log[2].ioctl, pf::kIoctlDetach);
  EXPECT_EQ(log[3].ioctl, pf::kIoctlAttach);  // the final attach to the matched device
  EXPECT_EQ(log[3].path, nt);
  EXPECT_TRUE(channel_.IsAttached());
  EXPECT_EQ(channel_.ProbeDevice(), 1);
}

TEST_F(ChannelTest, OnlyMatchingDevicesAreAttachedAndTheLastAnsweringOneIsKept) {
  system_.AddDevice({.vid = 0x046D, .pid = 0x0A44, .instance = "7&aaaa&0&0000"});
  system_.AddDevice({.interfacePath = u"\\\\?\\hdaudio#func_01&ven_10ec&dev_0257#4&1&0&0001#"
                                      u"{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\global",
                     .hasChip = false});
  system_.AddDevice({.instance = "7&1111&0&0000"});
  auto& second = system_.AddDevice({.instance = "7&2222&0&0000"});
  ASSERT_EQ(channel_.OpenDriver(), 1);
  system_.ClearRequestLog();
  ASSERT_EQ(channel_.FindAndProbeDevice(0x5A52, 0x7731, pf::kKsCategoryAudio), 2);
  std::u16string nt = second.InterfacePath();
  nt[1] = u'?';
  EXPECT_EQ(channel_.MatchedDevicePath(), nt);
  EXPECT_EQ(Ioctls(pf::kIoctlAttach).size(), 2u);  // the other vendor's device is never touched
  EXPECT_EQ(Ioctls(pf::kIoctlDetach).size(), 2u);
}

TEST_F(ChannelTest, ListingNamesEveryMatchingDeviceAndAPathFilterKeepsOne) {
  auto& first = system_.AddDevice({.instance = "7&1111&0&0000"});
  system_.AddDevice({.instance = "7&2222&0&0000", .hasChip = false});
  auto& third = system_.AddDevice({.instance = "7&3333&0&0000"});
  ASSERT_EQ(channel_.OpenDriver(), 1);
  const auto found = channel_.ListDevices(0x5A52, 0x7731, pf::kKsCategoryAudio);
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0].path, first.InterfacePath());
  EXPECT_EQ((std::vector<bool>{found[0].answers, found[1].answers, found[2].answers}),
            (std::vector<bool>{true, false, true}));
  // Either form and any case names the device; the last answering one is no longer taken.
  std::u16string wanted = first.InterfacePath();
  wanted[1] = u'?';
  wanted[4] = u'U';
  channel_.SetPathFilter(wanted);
  ASSERT_EQ(channel_.ConnectDevice(0x5A52, 0x7731, nullptr, nullptr, 0, 0), 1);
  EXPECT_EQ(channel_.MatchedDevicePath().substr(4), first.InterfacePath().substr(4));
  channel_.SetPathFilter(u"\\\\?\\usb#vid_5a52&pid_7731&mi_00#none");
  EXPECT_EQ(channel_.ConnectDevice(0x5A52, 0x7731, nullptr, nullptr, 0, 0), 0);
  channel_.SetPathFilter({});
  ASSERT_EQ(channel_.ConnectDevice(0x5A52, 0x7731, nullptr, nullptr, 0, 0), 1);
  EXPECT_EQ(channel_.MatchedDevicePath().substr(4), third.InterfacePath().substr(4));
}

TEST_F(ChannelTest, ConnectBeforeOpenDriverDoesNothing) {
  system_.AddDevice({});
  RecordingWindow window;
  EXPECT_EQ(channel_.ConnectDevice(0x5A52, 0x7731, &window, nullptr, kArrival, kRemoval), 0);
  EXPECT_TRUE(system_.RequestLog().empty());
  EXPECT_TRUE(window.posted.empty());
  EXPECT_FALSE(channel_.IsMonitoring());
}

TEST_F(ChannelTest, ArrivalGoesToTheWindowOrElseTheCallbackAndReconnectingIsSilent) {
  system_.AddDevice({});
  ASSERT_EQ(channel_.OpenDriver(), 1);
  RecordingWindow window;
  std::vector<uint32_t> called;
  auto callback = [&](uint32_t message, uintptr_t, intptr_t) { called.push_back(message); };

  ASSERT_EQ(channel_.ConnectDevice(0x5A52, 0x7731, &window, callback, kArrival, kRemoval), 1);
  EXPECT_EQ(window.posted, std::vector<uint32_t>{kArrival});
  EXPECT_TRUE(called.empty());

  // Connecting again while the device is still there posts nothing.
  ASSERT_EQ(channel_.ConnectDevice(0x5A52, 0x7731, &window, callback, kArrival, kRemoval), 1);
  EXPECT_EQ(window.posted.size(), 1u);

  channel_.DetachDevice();
  window.alive = false;  // no live window: the callback gets it
  ASSERT_EQ(channel_.ConnectDevice(0x5A52, 0x7731, &window, callback, kArrival, kRemoval), 1);
  EXPECT_EQ(called, std::vector<uint32_t>{kArrival});

  channel_.DetachDevice();
  ASSERT_EQ(channel_.ConnectDevice(0x5A52, 0x7731, nullptr, nullptr, kArrival, kRemoval), 1);
  EXPECT_EQ(called.size(), 1u);  // neither: nothing is sent
}

// An owner reacting to the arrival by connecting anew hands the channel another callback while
// its own is still running: the running one must stay alive until it returns.
TEST_F(ChannelTest, ACallbackThatReconnectsFromInsideItselfKeepsRunningSafely) {
  system_.AddDevice({});
  ASSERT_EQ(channel_.OpenDriver(), 1);
  std::vector<uint32_t> called;
  const std::string owner(64, 'o');  // too big for the function's inline storage
  auto callback = [&, owner](uint32_t message, uintptr_t, intptr_t) {
    if (message == kArrival && called.empty()) {
      channel_.DetachDevice();
      channel_.ConnectDevice(
          0x5A52, 0x7731, nullptr, [](uint32_t, uintptr_t, intptr_t) {}, kArrival, kRemoval);
    }
    called.push_back(message + static_cast<uint32_t>(owner.size()));
  };
  ASSERT_EQ(channel_.ConnectDevice(0x5A52, 0x7731, nullptr, callback, kArrival, kRemoval), 1);
  EXPECT_EQ(called, std::vector<uint32_t>{kArrival + 64});
  EXPECT_TRUE(channel_.IsAttached());
}

TEST_F(ChannelTest, UnplugWhileAttachedPostsRemovalAndReplugPostsArrival) {
  auto& device = system_.AddDevice({});
  ASSERT_EQ(channel_.OpenDriver(), 1);
  RecordingWindow window;
  window.channel = &channel_;
  ASSERT_EQ(channel_.ConnectDevice(0x5A52, 0x7731, &window, nullptr, kArrival, kRemoval), 1);
  ASSERT_TRUE(channel_.HasNotification());
  window.posted.clear();

  system_.Unplug(device);
  EXPECT_GE(window.notices, 1);
  EXPECT_EQ(window.posted, std::vector<uint32_t>{kRemoval});
  EXPECT_FALSE(channel_.IsAttached());
  EXPECT_TRUE(channel_.IsMonitoring());  // a later arrival is still noticed

  system_.Plug(device);
  EXPECT_EQ(window.posted, (std::vector<uint32_t>{kRemoval, kArrival}));
  EXPECT_TRUE(channel_.IsAttached());
  EXPECT_EQ(channel_.ProbeDevice(), 1);
}

TEST_F(ChannelTest, NoticesForOtherClassesOrDeviceTypesAreIgnored) {
  auto& device = system_.AddDevice({});
  ASSERT_EQ(channel_.OpenDriver(), 1);
  RecordingWindow window;
  ASSERT_EQ(channel_.ConnectDevice(0x5A52, 0x7731, &window, nullptr, kArrival, kRemoval), 1);
  system_.Unplug(device);  // the window does not forward: the channel has not looked yet
  system_.ClearRequestLog();
  window.posted.clear();

  pf::DeviceBroadcast volume{.size = 12, .deviceType = pf::kDbtDevtypVolume};
  channel_.OnDeviceChange(pf::kDbtDeviceRemoveComplete, &volume);
  pf::DeviceBroadcast otherClass{
      .size = 32,
      .deviceType = pf::kDbtDevtypDeviceInterface,
      .classGuid = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}}};
  channel_.OnDeviceChange(pf::kDbtDeviceRemoveComplete, &otherClass);
  channel_.OnDeviceChange(pf::kDbtDevNodesChanged, nullptr);
  EXPECT_TRUE(system_.RequestLog().empty());
  EXPECT_TRUE(window.posted.empty());
}

TEST_F(ChannelTest, WithoutNotificationsTheTwoSecondTimerRechecks) {
  auto& device = system_.AddDevice({});
  ASSERT_EQ(channel_.OpenDriver(), 1);
  std::vector<uint32_t> called;
  ASSERT_EQ(channel_.ConnectDevice(
                0x5A52, 0x7731, nullptr,
                [&](uint32_t message, uintptr_t, intptr_t) { called.push_back(message); }, kArrival,
                kRemoval),
            1);
  ASSERT_FALSE(channel_.HasNotification());
  called.clear();

  system_.Unplug(device);
  channel_.OnDeviceChange(pf::kDbtDeviceRemoveComplete, nullptr);
  ASSERT_NE(channel_.PendingTimer(), 0u);
  system_.Clock().Advance(1'999'000'000);
  system_.RunDueTimers();
  EXPECT_TRUE(called.empty());
  system_.Clock().Advance(1'000'000);
  system_.RunDueTimers();
  EXPECT_EQ(called, std::vector<uint32_t>{kRemoval});
  EXPECT_EQ(channel_.PendingTimer(), 0u);
}

TEST_F(ChannelTest, DetachCancelsAPendingRecheckSoNothingReattachesAfterwards) {
  system_.AddDevice({});
  ASSERT_EQ(channel_.OpenDriver(), 1);
  std::vector<uint32_t> called;
  ASSERT_EQ(channel_.ConnectDevice(
                0x5A52, 0x7731, nullptr,
                [&](uint32_t message, uintptr_t, intptr_t) { called.push_back(message); }, kArrival,
                kRemoval),
            1);
  called.clear();
  channel_.OnDeviceChange(pf::kDbtDevNodesChanged, nullptr);
  ASSERT_NE(channel_.PendingTimer(), 0u);

  EXPECT_EQ(channel_.DetachDevice(), 1);
  EXPECT_EQ(channel_.PendingTimer(), 0u);
  system_.ClearRequestLog();
  system_.Clock().Advance(5'000'000'000);
  system_.RunDueTimers();
  EXPECT_FALSE(channel_.IsAttached());
  EXPECT_TRUE(Ioctls(pf::kIoctlAttach).empty());
  EXPECT_TRUE(called.empty());
}

TEST_F(ChannelTest, DetachStopsMonitoringAndRefusesWithoutHandle) {
  EXPECT_EQ(channel_.DetachDevice(), 0);
  system_.AddDevice({});
  ASSERT_EQ(channel_.OpenDriver(), 1);
  ASSERT_EQ(channel_.ConnectDevice(0x5A52, 0x7731, nullptr, nullptr, 0, 0), 1);
  EXPECT_EQ(channel_.DetachDevice(), 1);
  EXPECT_FALSE(channel_.IsAttached());
  EXPECT_FALSE(channel_.IsMonitoring());
  EXPECT_EQ(channel_.ProbeDevice(), 0);
}

}  // namespace
}  // namespace veltra::device
