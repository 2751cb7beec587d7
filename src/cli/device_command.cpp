#include "cli/device_command.h"

#include <string>

#include "cli/cli_result.h"
#include "image/operation_texts.h"

namespace veltra::cli {

std::unique_ptr<SimulatedSession> ConnectSimulatedDevice(const CommandLine& line,
                                                         SimulatedSession::ImageFile imageFile,
                                                         const DeviceHook& hook,
                                                         std::string_view prefix, std::ostream& err,
                                                         int& code) {
  std::string error;
  std::unique_ptr<SimulatedSession> session =
      SimulatedSession::Open(line.device, *line.eeprom, imageFile, hook, error);
  if (!session) {
    code = ReportFailure(err, std::string(prefix) + error);
    return nullptr;
  }
  if (!session->Connect()) {
    code = ReportFailure(err, std::string(prefix) + image::text::kCannotFindDevice);
    return nullptr;
  }
  return session;
}

}  // namespace veltra::cli
