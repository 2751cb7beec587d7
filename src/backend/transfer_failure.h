#pragma once

#include <string>
#include <string_view>

#include "backend/device_backend.h"

namespace veltra::backend {

// The one-line reason of a failed EEPROM transfer, the operation's text given ("Fail to write
// EEPROM"): the EEPROM's file when that is what failed, as the user can act on it, else what the
// bus said ("...: chunk 0x1230: not acknowledged after 6 attempts in 25 ms").
std::string TransferFailureText(DeviceBackend& backend, std::string_view text);

}  // namespace veltra::backend
