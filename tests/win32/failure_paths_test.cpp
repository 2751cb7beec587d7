// The Win32 back end where no vendor driver is installed (as under Wine): the real service
// manager, system information and device-interface enumeration, and what the device channel
// makes of their failures.
#include <gtest/gtest.h>

#include <string>

#include "device/channel.h"
#include "device/transport.h"
#include "platform/sim/capturing_debug_output.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32_codes.h"
#include "platform/windows_api.h"
#include "recording_device_io.h"

namespace veltra::win32 {
namespace {

namespace pf = veltra::platform;

// The real back end with the debugger output kept for the test.
struct RealBackEnd {
  explicit RealBackEnd(DeviceIoCalls& deviceIo = SystemDeviceIoCalls()) : driver(deviceIo) {}

  Win32ServiceControl services;
  Win32DeviceInterfaces interfaces;
  Win32ControlDeviceOpener driver;
  Win32Timers timers;
  Win32Clock clock;
  sim::CapturingDebugOutput debug;
  Win32SystemInfo system;
  pf::Platform platform{services, interfaces, driver, timers, clock, debug, system};
};

// Whether the driver's service exists now, by asking the service manager directly.
bool ServiceInstalled() {
  SC_HANDLE manager = ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr) return false;
  SC_HANDLE service = ::OpenServiceW(manager, L"ZR_VENDER_CMD", SERVICE_QUERY_CONFIG);
  if (service != nullptr) ::CloseServiceHandle(service);
  ::CloseServiceHandle(manager);
  return service != nullptr;
}

std::u16string OwnDirectory() {
  wchar_t name[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, name, MAX_PATH);
  std::u16string path(name, name + length);
  return path.substr(0, path.rfind(u'\\') + 1);
}

// No control device and no driver file: the service is created but cannot start, so
// OpenDriver fails before its second open (the debugger line belongs to a started service
// whose device still cannot be opened); Connect then finds nothing, and CloseDriver removes
// the demand-start service again.
TEST(Win32FailurePaths, WithoutTheDriverFileOpenDriverFailsAndNothingStaysInstalled) {
  ASSERT_FALSE(ServiceInstalled());
  test::RecordingDeviceIo io;
  RealBackEnd backEnd;
  device::DeviceChannel channel(backEnd.platform);
  EXPECT_EQ(channel.OpenDriver(), 0);
  EXPECT_FALSE(channel.IsDriverOpen());
  EXPECT_FALSE(channel.HasDriverHandle());
  // The file the service was pointed at: beside the program; Wine's 32-bit prefix is a 32-bit
  // Windows (GetSystemWow64DirectoryW answers ERROR_CALL_NOT_IMPLEMENTED).
  EXPECT_EQ(channel.Is64BitWindows(), 0);
  EXPECT_EQ(channel.DriverPath(), OwnDirectory() + u"ZRVC.sys");
  EXPECT_TRUE(ServiceInstalled());
  EXPECT_EQ(backEnd.debug.Count("Driver Handle invalid!!"), 0u);

  uint32_t posted = 0;
  EXPECT_EQ(
      channel.ConnectDevice(
          0x5A52, 0x7731, nullptr,
          [&posted](uint32_t message, uintptr_t, intptr_t) { posted = message; }, 0x464, 0x465),
      0);
  EXPECT_FALSE(channel.IsAttached());
  EXPECT_EQ(posted, 0u);
  EXPECT_EQ(channel.CloseDriver(), 1);
  EXPECT_FALSE(ServiceInstalled());
  // Closing again finds no service to remove.
  EXPECT_EQ(channel.CloseDriver(), 0);
}

// The driver answers (a stand-in), but no audio interface of the system carries the VID/PID:
// the real SetupAPI walk finds nothing to attach, so nothing reaches the driver but the
// control device's open, and Connect fails as "Cannot find the HID device !!!" reports.
TEST(Win32FailurePaths, NoMatchingInterfaceAttachesNothing) {
  test::RecordingDeviceIo io(nullptr, true);
  RealBackEnd backEnd(io);
  device::DeviceChannel channel(backEnd.platform);
  ASSERT_EQ(channel.OpenDriver(), 1);
  EXPECT_EQ(io.opens.size(), 1u);
  EXPECT_EQ(channel.ConnectDevice(0x5A52, 0x7731, nullptr, nullptr, 0x464, 0x465), 0);
  EXPECT_FALSE(channel.IsAttached());
  EXPECT_TRUE(channel.MatchedDevicePath().empty());
  EXPECT_TRUE(io.calls.empty());
  // A vendor request is refused unattached, as on any back end.
  device::VendorTransport transport(channel);
  uint8_t value = 0;
  EXPECT_EQ(transport.RegisterAccess(false, 0xD9, &value, 1), 0);
  EXPECT_TRUE(io.calls.empty());
}

}  // namespace
}  // namespace veltra::win32
