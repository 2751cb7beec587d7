// Which device a device command reaches: the chip on the vendor driver where the Win32 back end
// is built, the simulated device with --simulated (and only then its own options).
#include <gtest/gtest.h>

#include "cli/cli_result.h"
#include "cli/export_command.h"
#include "cli/read_command.h"
#include "cli_test_support.h"
#include "image/factory_image.h"

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

// No driver here (Wine): the chip cannot be found; the simulator's options are refused unless
// --simulated says the simulator is meant.
TEST(BackEndChoice, WithoutSimulatedTheChipOnTheVendorDriverIsMeant) {
  const Outcome chip = RunCommandAsGiven(RunReadCommand, {"--eeprom", "S24C02"});
  EXPECT_EQ(chip.code, kExitFailure);
  EXPECT_EQ(chip.err, "veltra-cli: read: Cannot find the HID device !!!\n");
  EXPECT_EQ(chip.out, "");

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
