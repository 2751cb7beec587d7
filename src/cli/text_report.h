#pragma once

#include <ostream>

#include "cli/image_report.h"

namespace veltra::cli {

// The report as lines for a person: one block per part of the image, in image order.
void WriteTextReport(std::ostream& out, const ImageReport& report);

}  // namespace veltra::cli
