#pragma once

#include <cstdint>
#include <string>

#include "platform/guid.h"

namespace veltra::platform {

// The broadcast header of a device-change notice. classGuid and name mean something only when
// deviceType is kDbtDevtypDeviceInterface (DEV_BROADCAST_DEVICEINTERFACE).
struct DeviceBroadcast {
  uint32_t size = 0;
  uint32_t deviceType = 0;
  Guid classGuid{};
  std::u16string name;
};

}  // namespace veltra::platform
