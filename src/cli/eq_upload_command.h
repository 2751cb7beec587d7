#pragma once

#include <ostream>
#include <span>
#include <string>

#include "cli/device_session.h"

namespace veltra::cli {

inline constexpr char kEqUploadName[] = "eq-upload";
inline constexpr char kEqUploadSummary[] = "send an image's equaliser live to the chip";

// veltra-cli eq-upload playback|record [--preset N] (FILE.bin | FILE.json | --device)
// [--eeprom TYPE] [device options]: what the EQ page's Test button sends for the image's
// equaliser, straight into the chip's EQ registers; the EEPROM is not written. The upload's log
// lines go to out.
int RunEqUploadCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
int RunEqUploadCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                       const DeviceHook& hook);

}  // namespace veltra::cli
