#include "cli/template_check.h"

namespace veltra::cli {

// The terminal lists the Audio I/O page fills by chip variant: a terminal the variant's list
// lacks has no item to select, so the page would store the other one.
std::string TemplateVariantProblem(const image::Configuration& configuration,
                                   uint8_t capabilityRegister) {
  const int variant = (capabilityRegister >> 4) & 3;
  const image::AudioOptions& audio = configuration.header.audio;
  const std::string chip = "a chip of variant " + std::to_string(variant);
  if (audio.lineIn && variant != 3) {
    return chip + " has no \"LineIn\" input terminal (header.audio.inputTerminal)";
  }
  if (audio.headphone && variant == 2) {
    return chip +
           " has no output terminal: \"Headphone\" cannot be kept (header.audio.outputTerminal)";
  }
  return "";
}

}  // namespace veltra::cli
