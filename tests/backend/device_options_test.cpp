#include "backend/device_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace veltra::backend {
namespace {

// One rule for every front end: the values the GUI and veltra-cli take and the ones they refuse.
TEST(DeviceOptions, ValuesTakenAndRefused) {
  const struct {
    DeviceOption option;
    std::string value;
    bool taken;
  } cases[] = {
      {DeviceOption::kVid, "5A52", true},
      {DeviceOption::kVid, "0x5a52", true},
      {DeviceOption::kVid, "00005A52", true},  // leading zeros: the value is what counts
      {DeviceOption::kVid, " 5A52 ", true},
      {DeviceOption::kVid, "0", true},
      {DeviceOption::kVid, "FFFF", true},
      {DeviceOption::kVid, "10000", false},
      {DeviceOption::kVid, "12345", false},
      {DeviceOption::kVid, "", false},
      {DeviceOption::kVid, "0x", false},
      {DeviceOption::kVid, "-1", false},
      {DeviceOption::kVid, "5A52h", false},
      {DeviceOption::kVid, "99999999999999999999999", false},
      {DeviceOption::kPid, "7731", true},
      {DeviceOption::kPid, "xyz", false},
      {DeviceOption::kCapability, "34", true},
      {DeviceOption::kCapability, "0xFF", true},
      {DeviceOption::kCapability, "100", false},
      {DeviceOption::kEeprom, "S24C02", true},
      {DeviceOption::kEeprom, "24c512", true},
      {DeviceOption::kEeprom, "S24C1024", false},
      {DeviceOption::kEeprom, "", false},
      {DeviceOption::kLatency, "0", true},
      {DeviceOption::kLatency, "0.1", true},
      {DeviceOption::kLatency, "1000", true},
      {DeviceOption::kLatency, "1000.5", false},
      {DeviceOption::kLatency, "-1", false},
      {DeviceOption::kLatency, "nan", false},
      {DeviceOption::kLatency, "inf", false},
      {DeviceOption::kLatency, "1e300", false},
      {DeviceOption::kLatency, "0.1ms", false},
      {DeviceOption::kImage, "eeprom.bin", true},
      {DeviceOption::kImage, "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(Definition(c.option).name) + " '" + c.value + "'");
    DeviceOptions options;
    const DeviceOptions before = options;
    const std::string refusal = SetDeviceOption(c.option, c.value, options);
    EXPECT_EQ(refusal.empty(), c.taken) << refusal;
    if (!c.taken) {
      // One line that names the option; nothing taken.
      EXPECT_EQ(refusal.find('\n'), std::string::npos);
      EXPECT_NE(refusal.find(Definition(c.option).name), std::string::npos) << refusal;
      EXPECT_EQ(options.vid, before.vid);
      EXPECT_EQ(options.latencyNs, before.latencyNs);
      EXPECT_FALSE(options.eeprom.has_value());
    }
  }
}

TEST(DeviceOptions, ValuesLandInTheirFields) {
  DeviceOptions options;
  EXPECT_EQ(SetDeviceOption(DeviceOption::kVid, "00005A53", options), "");
  EXPECT_EQ(SetDeviceOption(DeviceOption::kPid, "0x00ff", options), "");
  EXPECT_EQ(SetDeviceOption(DeviceOption::kCapability, "14", options), "");
  EXPECT_EQ(SetDeviceOption(DeviceOption::kEeprom, "24c16", options), "");
  EXPECT_EQ(SetDeviceOption(DeviceOption::kLatency, "0.25", options), "");
  EXPECT_EQ(SetDeviceOption(DeviceOption::kImage, "a b.bin", options), "");
  EXPECT_EQ(options.vid, 0x5A53);
  EXPECT_EQ(options.pid, 0x00FF);
  EXPECT_EQ(options.capability, 0x14);
  ASSERT_TRUE(options.eeprom.has_value());
  EXPECT_EQ(options.eeprom->name, "S24C16");
  EXPECT_EQ(options.latencyNs, 250'000);
  EXPECT_EQ(options.imageFile, "a b.bin");
  EXPECT_EQ(SetDeviceOption(DeviceOption::kVid, "12345", options),
            "--vid needs a hexadecimal number from 0 to FFFF, not '12345'");
}

TEST(DeviceOptions, SimulatedIsAFlag) {
  DeviceOptions options;
  EXPECT_FALSE(options.simulated);
  EXPECT_EQ(Definition(DeviceOption::kSimulated).valueName, nullptr);
  EXPECT_EQ(SetDeviceOption(DeviceOption::kSimulated, "", options), "");
  EXPECT_TRUE(options.simulated);
}

// Where the chip on the vendor driver is the default, the simulated device's own options are
// refused without --simulated, wherever it stands; a build without that back end takes them.
TEST(DeviceOptions, SimulatorOnlyOptionsNeedSimulatedWhereAChipIsTheDefault) {
  using O = DeviceOption;
  const struct {
    std::vector<DeviceOption> given;
    const char* withHardware;
  } cases[] = {
      {{}, ""},
      {{O::kVid, O::kPid, O::kEeprom}, ""},
      {{O::kImage}, "--image needs --simulated"},
      {{O::kCapability}, "--capability needs --simulated"},
      {{O::kLatency}, "--latency needs --simulated"},
      {{O::kEeprom, O::kLatency, O::kImage}, "--latency needs --simulated"},
      {{O::kImage, O::kSimulated}, ""},
      {{O::kSimulated, O::kCapability, O::kLatency, O::kImage}, ""},
      {{O::kSimulated}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.withHardware);
    EXPECT_EQ(CheckGivenDeviceOptions(c.given, true), c.withHardware);
    EXPECT_EQ(CheckGivenDeviceOptions(c.given, false), "");
  }
}

TEST(DeviceOptions, HelpHasOneAlignedLinePerOption) {
  const std::string help = DeviceOptionsHelp(22, " (required)");
  size_t lines = 0;
  for (size_t start = 0; start < help.size();) {
    const size_t end = help.find('\n', start);
    const std::string line = help.substr(start, end - start);
    EXPECT_EQ(line.rfind("  --", 0), 0u) << line;
    EXPECT_NE(line[22], ' ') << line;
    EXPECT_EQ(line[21], ' ') << line;
    start = end + 1;
    ++lines;
  }
  EXPECT_EQ(lines, kDeviceOptions.size());
  EXPECT_NE(help.find("--eeprom TYPE       the EEPROM part, S24C02 .. S24C512 (required)\n"),
            std::string::npos)
      << help;
}

}  // namespace
}  // namespace veltra::backend
