// Which device a device command reaches: the chip on the vendor driver where the Win32 back end
// is built, the simulated device with --simulated (and only then its own options).
#include <gtest/gtest.h>

#include "cli/cli_result.h"
#include "cli/export_command.h"
#include "cli/read_command.h"
#include "cli_test_support.h"
#include "image/factory_image.h"
#ifdef VELTRA_WIN32_BACKEND
#include "platform/windows_api.h"
#endif

namespace veltra::cli {
namespace {

using testing::Outcome;
using testing::RunCommandAsGiven;
using testing::TempDir;

// A simulated EEPROM file holding the factory image.
std::string FactoryImageFile(const TempDir& dir) {
  const std::string path = dir.File("e.bin");
  testing::WriteFile(path, *image::BuildFactoryImage(0x5A52, 0x7731, 256));
  return path;
}

TEST(BackEndChoice, SimulatedReadsTheSimulatorWithItsOwnOptions) {
  TempDir dir;
  const Outcome o = RunCommandAsGiven(
      RunReadCommand, {"--simulated", "--eeprom", "S24C02", "--image", FactoryImageFile(dir)});
  EXPECT_EQ(o.code, kExitSuccess) << o.err;
  EXPECT_NE(o.out.find("\"Veltra Audio\""), std::string::npos);
}

#ifdef VELTRA_WIN32_BACKEND

// Whether the vendor driver's service exists now, asked of the service manager itself.
bool DriverServiceInstalled() {
  SC_HANDLE manager = ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr) return false;
  SC_HANDLE service = ::OpenServiceW(manager, L"ZR_VENDER_CMD", SERVICE_QUERY_CONFIG);
  if (service != nullptr) ::CloseServiceHandle(service);
  ::CloseServiceHandle(manager);
  return service != nullptr;
}

// No driver here (Wine): the chip cannot be found, and the service the command installed on the
// way is gone again; the simulator's options are refused unless --simulated says the simulator
// is meant.
TEST(BackEndChoice, WithoutSimulatedTheChipOnTheVendorDriverIsMeant) {
  ASSERT_FALSE(DriverServiceInstalled());
  const Outcome chip = RunCommandAsGiven(RunReadCommand, {"--eeprom", "S24C02"});
  EXPECT_EQ(chip.code, kExitFailure);
  EXPECT_EQ(chip.err, "veltra-cli: read: Cannot find the HID device !!!\n");
  EXPECT_EQ(chip.out, "");
  EXPECT_FALSE(DriverServiceInstalled());

  const Outcome image =
      RunCommandAsGiven(RunReadCommand, {"--eeprom", "S24C02", "--image", "x.bin"});
  EXPECT_EQ(image.code, kExitUsage);
  EXPECT_EQ(image.err, "veltra-cli: read: --image needs --simulated\n");
  const Outcome capability =
      RunCommandAsGiven(RunReadCommand, {"--eeprom", "S24C02", "--capability", "30"});
  EXPECT_EQ(capability.code, kExitUsage);
  EXPECT_EQ(capability.err, "veltra-cli: read: --capability needs --simulated\n");
  const Outcome latency = RunCommandAsGiven(
      RunExportCommand, {"--device", "--eeprom", "S24C02", "--latency", "5", "-o", "x.json"});
  EXPECT_EQ(latency.code, kExitUsage);
  EXPECT_EQ(latency.err, "veltra-cli: export: --latency needs --simulated\n");
}

#else

TEST(BackEndChoice, WithoutAHardwareBackEndEveryCommandIsSimulated) {
  TempDir dir;
  const Outcome o =
      RunCommandAsGiven(RunReadCommand, {"--eeprom", "S24C02", "--image", FactoryImageFile(dir)});
  EXPECT_EQ(o.code, kExitSuccess) << o.err;
}

#endif

}  // namespace
}  // namespace veltra::cli
