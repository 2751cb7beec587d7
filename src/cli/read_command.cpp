#include "cli/read_command.h"

#include "cli/cli_result.h"
#include "cli/command_options.h"
#include "cli/device_command.h"
#include "cli/image_json.h"
#include "cli/text_report.h"
#include "image/eeprom_config.h"
#include "image/message_sink.h"
#include "image/model_contents.h"
#include "image/operation_texts.h"

namespace veltra::cli {
namespace {

constexpr OptionDefinition kOptions[] = {kHelpOption, kJsonOption};

constexpr char kUsage[] =
    "Usage: veltra-cli read --eeprom TYPE [--json] [device options] [--trace FILE]\n"
    "\n"
    "Connects to the device, reads the configuration image out of its\n"
    "EEPROM and prints it as 'show' does, after the chip's variant and flags.\n"
    "\n"
    "Options:\n"
    "  --json              print one JSON object instead of text: the document\n"
    "                      'export' writes, with \"layout\" and \"chip\"\n";

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
  const auto session =
      ConnectToDevice(*line, DeviceSession::ImageFile::kMustExist, hook, prefix, err, code);
  if (!session) return code;

  const uint32_t length = line->eeprom->transferLength;
  ErrorStreamSink sink(err, prefix);
  image::EepromConfig model(session->Transport(), &sink);
  int32_t reloaded = 0;
  {
    const auto progress = session->Progress("reading EEPROM");
    reloaded = model.Reload(length);
  }
  if (reloaded < 0) {
    return session->Finish(
        ReportFailure(err, prefix + TransferFailure(*session, image::text::kReadFailed)));
  }
  if (model.SetEepromSize(length) < 0)
    return session->Finish(ReportFailure(err, prefix + image::text::kSizeTooSmall));
  model.LoadTailRecords();

  const image::ImageContents contents = image::ModelContents(model);
  const image::ChipTraits chip = model.Chip();
  if (line->json) {
    out << ImageJsonLine(contents, *line->eeprom, chip);
  } else {
    WriteTextReport(out, contents, length, chip);
  }
  return session->Finish(FinishOutput(out, err, prefix));
}

}  // namespace veltra::cli
