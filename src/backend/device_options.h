#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "device/eeprom_types.h"

// The options that choose the device a front end works on, with one set of names, value rules
// and help lines for the GUI and veltra-cli alike. No toolkit: each front end feeds the values
// its own parser found through SetDeviceOption.
namespace veltra::backend {

// Whether this build reaches real chips through the vendor driver (the Win32 back end). Where it
// does, a device is the chip unless --simulated asks for the simulated one; elsewhere every
// device is simulated.
#ifdef VELTRA_WIN32_BACKEND
inline constexpr bool kHasHardwareBackend = true;
#else
inline constexpr bool kHasHardwareBackend = false;
#endif

// The device a front end works on unless told otherwise: the factory VID and PID, an S24C64 and a
// chip of variant 3 with both EQs.
inline constexpr uint16_t kDefaultVid = 0x5A52;
inline constexpr uint16_t kDefaultPid = 0x7731;
inline constexpr device::EepromType kDefaultEeprom = device::kEepromTypes[5];
inline constexpr uint8_t kDefaultCapability = 0x34;
static_assert(kDefaultEeprom.size == 8192);

struct DeviceOptions {
  // --simulated: the simulated device, not the chip on the vendor driver.
  bool simulated = false;
  uint16_t vid = kDefaultVid;
  uint16_t pid = kDefaultPid;
  // nullopt: not given; the GUI then takes S24C64, veltra-cli's EEPROM commands refuse to run.
  std::optional<device::EepromType> eeprom;
  uint8_t capability = kDefaultCapability;  // chip register 0xD9 of a simulated chip
  int64_t latencyNs = 0;                    // real time every request to a simulated chip takes
  // The .bin file behind a simulated EEPROM; empty: the per-user file of the device.
  std::string imageFile;
  // What a simulated device's interface path names it by; empty: the default device's.
  std::string instance;
  // The interface path of the one device to use (veltra-cli --path); empty: the last device of
  // the VID/PID that answered.
  std::string path;
};

enum class DeviceOption { kVid, kPid, kEeprom, kSimulated, kCapability, kLatency, kImage };

struct DeviceOptionDefinition {
  DeviceOption id;
  const char* name;       // without the leading "--"
  const char* valueName;  // as the help shows the value; null for an option without one
  const char* help;       // one line, with the default where there is one
};

inline constexpr std::array<DeviceOptionDefinition, 7> kDeviceOptions{{
    {DeviceOption::kVid, "vid", "HEX", "vendor ID of the device (default 5A52)"},
    {DeviceOption::kPid, "pid", "HEX", "product ID of the device (default 7731)"},
    {DeviceOption::kEeprom, "eeprom", "TYPE", "the EEPROM part, S24C02 .. S24C512"},
    {DeviceOption::kSimulated, "simulated", nullptr,
     kHasHardwareBackend ? "the simulated device, not the chip on the vendor driver; the three "
                           "options below need it"
                         : "the simulated device, the only one this build reaches"},
    {DeviceOption::kCapability, "capability", "HEX",
     "its chip register 0xD9 (default 34: variant 3, both EQs)"},
    {DeviceOption::kLatency, "latency", "MS",
     "real time each request takes, 0 to 1000 ms (default 0)"},
    {DeviceOption::kImage, "image", "FILE.bin",
     "back its EEPROM with this file, not the per-user one"},
}};

// The table is indexed by DeviceOption.
static_assert([] {
  for (size_t i = 0; i < kDeviceOptions.size(); ++i)
    if (static_cast<size_t>(kDeviceOptions[i].id) != i) return false;
  return true;
}());

inline constexpr double kMaxLatencyMs = 1000.0;

const DeviceOptionDefinition& Definition(DeviceOption id);

// The options that describe only a simulated device: its chip register, its latency, its
// EEPROM's file.
constexpr bool OnlySimulated(DeviceOption id) {
  return id == DeviceOption::kCapability || id == DeviceOption::kLatency ||
         id == DeviceOption::kImage;
}

// Hexadecimal digits with an optional 0x in front, leading zeros allowed, up to maximum; nullopt
// otherwise (blanks included).
std::optional<unsigned> ParseHexValue(std::string_view text, unsigned maximum);

// Takes the option's value into options: "" when it was taken, else the one-line reason it was
// refused ("--vid needs a hexadecimal number from 0 to FFFF, not 'xyz'"). Numbers may carry
// blanks around them and a 0x in front; leading zeros are allowed. --simulated takes no value.
std::string SetDeviceOption(DeviceOption id, std::string_view value, DeviceOptions& options);

// "" when the options a command line gave go together, else the one-line reason. Where the chip
// on the vendor driver is the default, an option of the simulated device alone needs --simulated
// ("--image needs --simulated"): a command meant for the simulator never reaches a real chip.
std::string CheckGivenDeviceOptions(std::span<const DeviceOption> given,
                                    bool hardwareBackend = kHasHardwareBackend);

// "S24C02, S24C04, ..., S24C512".
std::string EepromTypeNames();

// The help lines of the options, "  --vid HEX" padded to the column, then the help text; the
// EEPROM line gets eepromNote after it (" (required)", " (default S24C64)").
std::string DeviceOptionsHelp(size_t column, std::string_view eepromNote);

}  // namespace veltra::backend
