#pragma once

#include <ostream>

#include "cli/image_report.h"

namespace veltra::cli {

// The report as one JSON object on one line, for scripts. Absent parts are null; VID, PID,
// coefficient words and MCU info words are hexadecimal strings as the tool shows them.
void WriteJsonReport(std::ostream& out, const ImageReport& report);

}  // namespace veltra::cli
