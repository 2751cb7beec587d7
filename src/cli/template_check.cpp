#include "cli/template_check.h"

#include <vector>

#include "image/eeprom_config.h"
#include "image/option_rules.h"

namespace veltra::cli {
namespace {

// A load can enable a rule the previous load's change feeds; a few rounds settle any template.
constexpr int kNormalizeRounds = 4;

}  // namespace

std::optional<image::ChipTraits> ReadChipTraits(device::VendorTransport& transport) {
  image::EepromConfig model(transport);
  if (!model.ProbeChipVariant()) return std::nullopt;
  image::ChipTraits chip;
  chip.variant = model.GetChipVariant();
  for (size_t i = 0; i < chip.capabilities.size(); ++i) {
    chip.capabilities[i] = model.GetCapability(static_cast<int>(i)) != 0;
  }
  return chip;
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
  for (int round = 0; round < kNormalizeRounds; ++round) {
    if (image::ApplyOptionRules(configuration, chip).empty()) return "";
  }
  return image::FindOptionRuleChanges(configuration, chip).empty()
             ? ""
             : "the pages' rules do not settle on this template";
}

}  // namespace veltra::cli
