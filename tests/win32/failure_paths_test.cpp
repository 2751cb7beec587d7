// The Win32 back end where no vendor driver is installed (as under Wine): the real service
// manager, system information and device-interface enumeration, and what the device channel
// makes of their failures.
#include <gtest/gtest.h>

#include <string>

#include "device/channel.h"
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

TEST(Win32FailurePaths, WithoutTheDriverFileOpenDriverFailsAndNothingStaysInstalled) {
  RealBackEnd backEnd;
  device::DeviceChannel channel(backEnd.platform);
  EXPECT_EQ(channel.OpenDriver(), 0);
  EXPECT_FALSE(channel.IsDriverOpen());
  // The file the service was pointed at: beside the program, 32-bit on a 32-bit Windows.
  const std::u16string expected =
      OwnDirectory() + (channel.Is64BitWindows() ? u"ZRVC64.sys" : u"ZRVC.sys");
  EXPECT_EQ(channel.DriverPath(), expected);
  for (const auto& line : backEnd.debug.Lines()) std::printf("debug: %s\n", line.c_str());
  std::printf("installed after open: %d\n", ServiceInstalled());

  EXPECT_EQ(channel.ConnectDevice(0x5A52, 0x7731, nullptr, nullptr, 0x464, 0x465), 0);
  EXPECT_FALSE(channel.IsAttached());
  channel.CloseDriver();
  EXPECT_FALSE(ServiceInstalled());
}

}  // namespace
}  // namespace veltra::win32
