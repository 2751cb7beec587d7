#include "platform/win32/win32_platform.h"

namespace veltra::win32 {

Win32Platform::Win32Platform(DeviceIoCalls& deviceIo)
    : driver_(deviceIo), platform_{services_, interfaces_, driver_, timers_,
                                   clock_,    debug_,      system_} {}

}  // namespace veltra::win32
