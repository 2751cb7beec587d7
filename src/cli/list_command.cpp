#include "cli/list_command.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <vector>

#include "backend/simulated_backend.h"
#include "backend/simulated_units.h"
#include "cli/cli_result.h"
#include "cli/command_options.h"
#include "cli/device_command.h"
#include "image/eeprom_config.h"
#include "platform/sim/sim_system.h"
#include "platform/text.h"

namespace veltra::cli {
namespace {

enum ListOptionId : int { kOptionListUnits = 600 };

constexpr OptionDefinition kOptions[] = {
    kHelpOption, kJsonOption, kEepromOption, {"units", 0, true, kOptionListUnits}};

constexpr char kUsage[] =
    "Usage: veltra-cli list [--json] [--simulated [--units DIR]] [device options]\n"
    "\n"
    "Lists every attached device of the VID/PID: its interface path, whether it\n"
    "answers the attach probe, and its chip variant (register 0xD9, bits 5..4).\n"
    "With --simulated --units DIR the simulated units of 'program' are listed.\n"
    "\n"
    "Options:\n"
    "  --json              a JSON array, one object per device\n"
    "  --units DIR         with --simulated: every DIR/*.bin is a unit\n";

struct Listed {
  std::string path;
  bool answers = false;
  std::optional<int> variant;
};

Listed Probe(const DeviceSelection& selection) {
  Listed listed;
  std::string error;
  DeviceSelection options = selection;
  const device::EepromType eeprom = options.eeprom.value_or(device::kEepromTypes[5]);
  auto session =
      DeviceSession::Open(options, eeprom, DeviceSession::ImageFile::kMayBeCreated, {}, error);
  if (!session) return listed;
  if (backend::SimulatedBackend* simulated = session->Backend().Simulated()) {
    listed.path = platform::ToUtf8(simulated->Device().InterfacePath());
  } else {
    listed.path = session->Backend().Description();
  }
  listed.answers = session->Connect();
  uint8_t capability = 0;
  if (listed.answers &&
      session->Transport().RegisterAccess(false, image::kCapabilityRegister, &capability, 1) != 0) {
    listed.variant = (capability >> 4) & 3;
  }
  return listed;
}

}  // namespace

int RunListCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  const std::string prefix = std::string(kListName) + ": ";
  int code = kExitSuccess;
  const std::optional<CommandLine> line =
      ParseDeviceOptions(args, kOptions, kUsage, prefix, out, err, code);
  if (!line) return code;
  if (!line->operands.empty()) {
    return ReportUsageError(err, prefix + "takes no file ('" + line->operands.front() + "')");
  }
  std::optional<std::string> units;
  for (const ParsedOption& option : line->own) {
    if (option.id == kOptionListUnits) units = option.value;
  }
  if (units && !line->device.simulated) {
    return ReportUsageError(err, prefix + "--units needs --simulated");
  }
  DeviceSelection base = line->device;
  // The type only sizes the simulated EEPROM; nothing is transferred.
  if (!base.eeprom) base.eeprom = device::kEepromTypes[5];
  std::vector<Listed> listed;
  if (units) {
    std::string error;
    for (const backend::SimulatedUnit& unit : backend::FindSimulatedUnits(*units, error)) {
      DeviceSelection selection;
      if (error = backend::UnitOptions(base, unit, selection); !error.empty()) break;
      listed.push_back(Probe(selection));
    }
    if (!error.empty()) return ReportFailure(err, prefix + error);
  } else {
    listed.push_back(Probe(base));
  }

  if (line->json) {
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (const Listed& device : listed) {
      nlohmann::ordered_json object;
      object["path"] = device.path;
      object["answers"] = device.answers;
      object["variant"] = device.variant ? nlohmann::ordered_json(*device.variant) : nullptr;
      array.push_back(object);
    }
    out << array.dump(2) << '\n';
  } else {
    for (const Listed& device : listed) {
      out << device.path << "  " << (device.answers ? "answers" : "no answer") << "  variant "
          << (device.variant ? std::to_string(*device.variant) : std::string("?")) << '\n';
    }
  }
  return FinishOutput(out, err, prefix);
}

}  // namespace veltra::cli
