#include "cli/regs_command.h"

#include <charconv>
#include <cstdio>
#include <string_view>
#include <vector>

#include "backend/device_options.h"
#include "cli/cli_result.h"
#include "cli/command_options.h"
#include "cli/device_command.h"
#include "device/transport.h"
#include "document/configuration_json.h"
#include "platform/byte_text.h"

namespace veltra::cli {
namespace {

constexpr OptionDefinition kOptions[] = {kHelpOption, kJsonOption};

constexpr char kUsage[] =
    "Usage: veltra-cli regs read REG [LEN] [--json] [device options] [--trace FILE]\n"
    "       veltra-cli regs write REG BYTE... [device options] [--trace FILE]\n"
    "\n"
    "Reads LEN chip registers from REG (1 to 16, default 1) and prints them as\n"
    "hexadecimal bytes, or writes the BYTEs into the registers from REG (1 to 16\n"
    "bytes). REG and BYTE are hexadecimal (D9, 0xD9). A register access moves at\n"
    "most 16 bytes; the EEPROM is not touched, so --eeprom only chooses a simulated\n"
    "device's EEPROM (default S24C64).\n"
    "\n"
    "Options:\n"
    "  --json              read: print one JSON object instead of text\n";

std::optional<unsigned> ParseCount(std::string_view text) {
  unsigned value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
  return value;
}

std::string RegisterText(unsigned reg) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%02X", reg);
  return text;
}

struct Access {
  bool write = false;
  uint16_t reg = 0;
  std::vector<uint8_t> bytes;  // write: the bytes; read: LEN zeros
};

// The operands after the command word, checked against the transport's own limits; "" or the
// reason they are wrong.
std::string ParseAccess(const std::vector<std::string>& operands, Access& access) {
  const std::string max = std::to_string(device::kMaxRegisterAccess);
  if (operands.empty()) return "needs 'read REG [LEN]' or 'write REG BYTE...'";
  const std::string& verb = operands[0];
  if (verb != "read" && verb != "write") return "unknown action '" + verb + "' (read or write)";
  access.write = verb == "write";
  if (operands.size() < 2) return verb + " needs the register REG";
  const auto reg = backend::ParseHexValue(operands[1], 0xFFFF);
  if (!reg) return "REG is not a hexadecimal register number up to FFFF: '" + operands[1] + "'";
  access.reg = static_cast<uint16_t>(*reg);
  if (!access.write) {
    if (operands.size() > 3) return "read takes REG and at most LEN";
    unsigned length = 1;
    if (operands.size() == 3) {
      const auto count = ParseCount(operands[2]);
      if (!count || *count < 1 || *count > device::kMaxRegisterAccess) {
        return "LEN must be 1 to " + max + " (a register access moves at most " + max +
               " bytes), not '" + operands[2] + "'";
      }
      length = *count;
    }
    access.bytes.assign(length, 0);
    return {};
  }
  if (operands.size() < 3) return "write needs at least one BYTE";
  if (operands.size() - 2 > device::kMaxRegisterAccess) {
    return "write takes at most " + max + " bytes (a register access moves at most " + max +
           "), not " + std::to_string(operands.size() - 2);
  }
  for (size_t i = 2; i < operands.size(); ++i) {
    const auto byte = backend::ParseHexValue(operands[i], 0xFF);
    if (!byte) return "BYTE is not a hexadecimal byte: '" + operands[i] + "'";
    access.bytes.push_back(static_cast<uint8_t>(*byte));
  }
  return {};
}

}  // namespace

int RunRegsCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  return RunRegsCommand(args, out, err, {});
}

int RunRegsCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                   const DeviceHook& hook) {
  const std::string prefix = std::string(kRegsName) + ": ";
  int code = kExitSuccess;
  std::optional<CommandLine> line =
      ParseDeviceOptions(args, kOptions, kUsage, prefix, out, err, code);
  if (!line) return code;
  Access access;
  if (const std::string misuse = ParseAccess(line->operands, access); !misuse.empty()) {
    return ReportUsageError(err, prefix + misuse);
  }
  if (access.write && line->json)
    return ReportUsageError(err, prefix + "write prints nothing: no --json");
  if (!line->eeprom) {
    line->eeprom = backend::kDefaultEeprom;
    line->device.eeprom = line->eeprom;
  }

  code = kExitFailure;
  const auto session =
      ConnectToDevice(*line, DeviceSession::ImageFile::kMayBeCreated, hook, prefix, err, code);
  if (!session) return code;
  const auto length = static_cast<uint32_t>(access.bytes.size());
  if (session->Transport().RegisterAccess(access.write, access.reg, access.bytes.data(), length) ==
      0) {
    return session->Finish(ReportFailure(
        err, prefix + (access.write ? "Fail to write " : "Fail to read ") + std::to_string(length) +
                 (length == 1 ? " register at " : " registers at ") + RegisterText(access.reg) +
                 ": request failed"));
  }
  if (access.write) return session->Finish(kExitSuccess);
  if (line->json) {
    const document::Json json = {{"register", access.reg}, {"data", access.bytes}};
    out << document::JsonLine(json) << '\n';
  } else {
    for (size_t i = 0; i < access.bytes.size(); ++i)
      out << (i == 0 ? "" : " ") << platform::HexText(access.bytes[i], 2);
    out << '\n';
  }
  return session->Finish(FinishOutput(out, err, prefix));
}

}  // namespace veltra::cli
