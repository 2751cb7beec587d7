#include "cli/read_command.h"

#include "cli/cli_result.h"
#include "cli/command_options.h"
#include "cli/device_command.h"
#include "cli/image_report.h"
#include "cli/json_report.h"
#include "cli/model_contents.h"
#include "cli/text_report.h"
#include "image/eeprom_config.h"
#include "image/message_sink.h"
#include "image/operation_texts.h"

namespace veltra::cli {
namespace {

constexpr OptionDefinition kOptions[] = {kHelpOption,       kEepromOption, kJsonOption,
                                         kVidOption,        kPidOption,    kSimulatedOption,
                                         kCapabilityOption, kImageOption};

constexpr char kUsage[] =
    "Usage: veltra-cli read --eeprom TYPE [--json] [--vid HEX] [--pid HEX]\n"
    "                       [--simulated] [--capability HEX] [--image FILE.bin]\n"
    "\n"
    "Connects to the device, reads the configuration image out of its\n"
    "EEPROM and prints it as 'show' does, after the chip's variant and flags.\n"
    "\n"
    "Options:\n"
    "  --eeprom TYPE       the EEPROM part, S24C02 .. S24C512 (required)\n"
    "  --json              print one JSON object instead of text\n";

// The model's messages ("EEPROM Empty") as lines on the error stream.
class ErrorStreamSink final : public image::MessageSink {
 public:
  ErrorStreamSink(std::ostream& err, std::string prefix) : err_(err), prefix_(std::move(prefix)) {}
  void ShowMessage(std::string_view text) override {
    err_ << kProgramName << ": " << prefix_ << text << '\n';
  }

 private:
  std::ostream& err_;
  std::string prefix_;
};

}  // namespace

int RunReadCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  return RunReadCommand(args, out, err, {});
}

int RunReadCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                   const DeviceHook& hook) {
  const std::string prefix = std::string(kReadName) + ": ";
  int code = kExitSuccess;
  const std::optional<CommandLine> line = ParseDeviceCommandLine(
      args, kOptions, kUsage, FileOperand::kNone, false, prefix, out, err, code);
  if (!line) return code;

  code = kExitFailure;
  const auto session = ConnectSimulatedDevice(*line, SimulatedSession::ImageFile::kMustExist, hook,
                                              prefix, err, code);
  if (!session) return code;

  const uint32_t length = line->eeprom->transferLength;
  ErrorStreamSink sink(err, prefix);
  image::EepromConfig model(session->Transport(), &sink);
  if (model.Reload(length) < 0) {
    return ReportFailure(err, prefix + TransferFailure(*session, image::text::kReadFailed));
  }
  if (model.SetEepromSize(length) < 0)
    return ReportFailure(err, prefix + image::text::kSizeTooSmall);
  model.LoadTailRecords();

  ImageReport report = BuildImageReport(ModelContents(model), length);
  ChipSummary chip;
  chip.variant = model.GetChipVariant();
  for (int i = 0; i < image::kCapabilityCount; ++i)
    chip.capabilities[static_cast<size_t>(i)] = model.GetCapability(i);
  report.chip = chip;
  if (line->json) {
    WriteJsonReport(out, report);
  } else {
    WriteTextReport(out, report);
  }
  return FinishOutput(out, err, prefix);
}

}  // namespace veltra::cli
