#include "image/option_rules.h"

#include <string>

namespace veltra::image {
namespace {

std::string ValueText(const AudioControlField& field, bool value) {
  const char* word = value ? field.on : field.off;
  if (word != nullptr) return word;
  return value ? "true" : "false";
}

void Note(std::vector<OptionRuleChange>& changes, AudioControl control, bool from, bool to,
          std::string reason) {
  const AudioControlField& field = FieldOf(control);
  changes.push_back({std::string("header.audio.") + field.name, ValueText(field, from),
                     ValueText(field, to), std::move(reason)});
}

}  // namespace

std::vector<OptionRuleChange> ApplyOptionRules(Configuration& configuration,
                                               const ChipTraits& chip) {
  std::vector<OptionRuleChange> changes;
  AudioOptions& o = configuration.header.audio;
  const std::string variant = "a variant-" + std::to_string(chip.variant) + " chip";
  // A terminal the variant's list lacks is shown unselected and stored as the first item.
  const TerminalItems terminals = TerminalItemsOf(chip.variant);
  if (o.headphone && terminals.output.size() < 2) {
    o.headphone = false;
    Note(changes, AudioControl::kOutputTerminal, true, false,
         "the Audio I/O page stores speaker, as " + variant + " has no Headphone terminal");
  }
  if (o.lineIn && terminals.input.size() < 2) {
    o.lineIn = false;
    Note(changes, AudioControl::kInputTerminal, true, false,
         "the Audio I/O page stores micIn, as " + variant + " has no LineIn terminal");
  }
  AudioRuleState state;
  state.options = o;
  state.volumeDisabled = !configuration.audioIo.has_value();
  AudioIoRules rules(chip, state);
  rules.All();
  for (const AudioRuleChange& change : state.changes) {
    const bool to = state.options.*FieldOf(change.control).option;
    Note(changes, change.control, !to, to, change.reason);
  }
  o = state.options;
  return changes;
}

std::vector<OptionRuleChange> FindOptionRuleChanges(const Configuration& configuration,
                                                    const ChipTraits& chip) {
  Configuration copy = configuration;
  return ApplyOptionRules(copy, chip);
}

OptionRuleSettling SettleOptionRules(Configuration& configuration, const ChipTraits& chip) {
  // Each load settles at least one rule's input; a few loads settle any configuration.
  constexpr int kLoads = 4;
  OptionRuleSettling settling;
  for (int load = 0; load < kLoads && !settling.settled; ++load) {
    std::vector<OptionRuleChange> changed = ApplyOptionRules(configuration, chip);
    settling.settled = changed.empty();
    for (OptionRuleChange& change : changed)
      settling.changes.push_back(std::move(change));
  }
  if (!settling.settled) settling.settled = FindOptionRuleChanges(configuration, chip).empty();
  return settling;
}

}  // namespace veltra::image
