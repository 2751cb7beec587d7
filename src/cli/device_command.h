#pragma once

#include <memory>
#include <ostream>
#include <string_view>

#include "cli/command_options.h"
#include "cli/simulated_session.h"

namespace veltra::cli {

// Opens the command line's simulated device and connects to it, as the GUI's Connect does.
// Null when that fails; the reason is then on err and code holds the exit code.
std::unique_ptr<SimulatedSession> ConnectSimulatedDevice(const CommandLine& line,
                                                         SimulatedSession::ImageFile imageFile,
                                                         const DeviceHook& hook,
                                                         std::string_view prefix, std::ostream& err,
                                                         int& code);

}  // namespace veltra::cli
