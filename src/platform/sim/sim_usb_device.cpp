#include "platform/sim/sim_usb_device.h"

#include <cstdio>

#include "platform/text.h"

namespace veltra::sim {

SimUsbDevice::SimUsbDevice(const DeviceConfig& config, platform::Clock& clock)
    : config_(config),
      path_(config.interfacePath.empty() ? MakeInterfacePath(config) : config.interfacePath),
      chip_(clock, config.part, config.capability, config.timing) {
  if (!config.backingFile.empty()) chip_.Eeprom().LoadFromFile(config.backingFile);
}

std::u16string SimUsbDevice::MakeInterfacePath(const DeviceConfig& config) {
  char ids[32];
  std::snprintf(ids, sizeof ids, "vid_%04x&pid_%04x", config.vid, config.pid);
  return platform::ToUtf16(std::string("\\\\?\\usb#") + ids + "&mi_00#" + config.instance + "#{" +
                           platform::GuidToString(config.interfaceClass) + "}\\global");
}

void SimUsbDevice::SetPlugged(bool plugged) {
  if (plugged == plugged_) return;
  if (plugged) {
    ++instance_;
    chip_.PowerOn();
  } else {
    chip_.Eeprom().EndTransfer();  // power goes: what was written stays in the file
    chip_.Eeprom().Flush();
  }
  plugged_ = plugged;
}

}  // namespace veltra::sim
