#include "cli/list_command.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <vector>

#include "backend/simulated_units.h"
#include "cli/cli_result.h"
#include "cli/command_options.h"
#include "cli/device_command.h"
#include "device/channel.h"
#include "image/eeprom_config.h"
#include "platform/guid.h"
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

// The chip variant of the attached device, from its register 0xD9.
std::optional<int> ReadVariant(device::VendorTransport& transport) {
  uint8_t capability = 0;
  if (transport.RegisterAccess(false, image::kCapabilityRegister, &capability, 1) == 0) {
    return std::nullopt;
  }
  return (capability >> 4) & 3;
}

// Every device of the selection's VID/PID (the one of --path alone when given).
std::vector<Listed> ListDevices(const DeviceSelection& selection, std::string& error) {
  std::vector<Listed> listed;
  auto session = DeviceSession::Open(selection, *selection.eeprom,
                                     DeviceSession::ImageFile::kMayBeCreated, {}, error);
  if (!session) return listed;
  device::DeviceChannel& channel = session->Backend().Channel();
  // Opens the driver as every device command does; the devices are then found one by one.
  session->Connect();
  channel.DetachDevice();
  const std::u16string filter = platform::ToUtf16(selection.path);
  channel.SetPathFilter(filter);
  const auto found = channel.ListDevices(selection.vid, selection.pid, platform::kKsCategoryAudio);
  for (const device::DeviceChannel::FoundDevice& device : found) {
    Listed entry{platform::ToUtf8(device.path), device.answers, std::nullopt};
    if (device.answers) {
      channel.SetPathFilter(device.path);
      if (channel.ConnectDevice(selection.vid, selection.pid, nullptr, nullptr, 0, 0) != 0) {
        entry.variant = ReadVariant(session->Transport());
      }
      channel.DetachDevice();
    }
    listed.push_back(std::move(entry));
  }
  channel.SetPathFilter(filter);
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
  if (!base.eeprom) base.eeprom = backend::kDefaultEeprom;
  std::vector<Listed> listed;
  std::string error;
  if (units) {
    for (const backend::SimulatedUnit& unit : backend::FindSimulatedUnits(*units, error)) {
      DeviceSelection selection;
      if (error = backend::UnitOptions(base, unit, selection); !error.empty()) break;
      const std::vector<Listed> one = ListDevices(selection, error);
      if (!error.empty()) break;
      listed.insert(listed.end(), one.begin(), one.end());
    }
  } else {
    listed = ListDevices(base, error);
  }
  if (!error.empty()) return ReportFailure(err, prefix + error);

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
