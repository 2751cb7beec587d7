#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/sim/device_config.h"
#include "platform/sim/sim_chip.h"

namespace veltra::sim {

// A USB audio device that can be plugged in and out. Every plug-in makes a new device instance:
// a driver bound to the previous instance no longer reaches it. The chip and EEPROM accessors
// are unlocked: use them while no requests run (tests do), or through SimSystem's lock.
class SimUsbDevice {
 public:
  // Loads config.backingFile when given; a refused file leaves the EEPROM erased and unbacked,
  // with the reason in Eeprom().LastError().
  SimUsbDevice(const DeviceConfig& config, platform::Clock& clock);

  const DeviceConfig& Config() const { return config_; }
  const std::u16string& InterfacePath() const { return path_; }
  SimChip& Chip() { return chip_; }
  SimEeprom& Eeprom() { return chip_.Eeprom(); }
  bool IsPlugged() const { return plugged_; }
  uint64_t Instance() const { return instance_; }

  static std::u16string MakeInterfacePath(const DeviceConfig& config);

 private:
  friend class SimSystem;
  void SetPlugged(bool plugged);

  DeviceConfig config_;
  std::u16string path_;
  SimChip chip_;
  std::atomic<bool> plugged_ = false;
  std::atomic<uint64_t> instance_ = 0;
};

using DeviceList = std::vector<std::unique_ptr<SimUsbDevice>>;

}  // namespace veltra::sim
