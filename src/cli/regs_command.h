#pragma once

#include <ostream>
#include <span>
#include <string>

#include "cli/device_session.h"

namespace veltra::cli {

inline constexpr char kRegsName[] = "regs";
inline constexpr char kRegsSummary[] = "read or write chip registers (at most 16 bytes)";

// veltra-cli regs read REG [LEN] [--json] [device options]: LEN (1..16, default 1) registers
// from REG, printed as hexadecimal bytes on one line. veltra-cli regs write REG BYTE...: up to
// 16 bytes into the registers from REG; prints nothing. REG and BYTE are hexadecimal. --eeprom
// only chooses a simulated device's EEPROM (default S24C64); the EEPROM is not touched.
int RunRegsCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
int RunRegsCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                   const DeviceHook& hook);

}  // namespace veltra::cli
