#include "production/template_check.h"

#include <vector>

#include "image/eeprom_config.h"
#include "image/option_rules.h"

namespace veltra::production {
std::optional<image::ChipTraits> ReadChipTraits(device::VendorTransport& transport) {
  image::EepromConfig model(transport);
  if (!model.ProbeChipVariant()) return std::nullopt;
  return model.Chip();
}

std::string TemplateVariantProblem(const image::Configuration& configuration,
                                   const image::ChipTraits& chip) {
  const std::vector<image::OptionRuleChange> changes =
      image::FindOptionRuleChanges(configuration, chip);
  if (changes.empty()) return "";
  const image::OptionRuleChange& first = changes.front();
  return "a chip of variant " + std::to_string(chip.variant) + " would change " + first.field +
         " from " + first.from + " to " + first.to + " (" + first.reason + ")";
}

std::string NormalizeTemplate(image::Configuration& configuration, const image::ChipTraits& chip) {
  return image::SettleOptionRules(configuration, chip).settled
             ? ""
             : "the pages' rules do not settle on this template";
}

}  // namespace veltra::production
