#pragma once

#include <string>
#include <vector>

#include "image/audio_io_rules.h"
#include "image/configuration.h"

namespace veltra::image {

// A field the pages change when they load a configuration: named as in the configuration
// document ("header.audio.playbackI2s"), its value before and after, and the rule's reason.
struct OptionRuleChange {
  std::string field;
  std::string from;
  std::string to;
  std::string reason;
};

// What the pages would change, in the order they change it, on loading this configuration
// for a chip of this variant; empty when the next Save writes the configuration as it is.
std::vector<OptionRuleChange> FindOptionRuleChanges(const Configuration& configuration,
                                                    const ChipTraits& chip);

// Changes the configuration as the pages do on load; returns what changed.
std::vector<OptionRuleChange> ApplyOptionRules(Configuration& configuration,
                                               const ChipTraits& chip);

// Loads again while a load changes something, as a load's change can feed a rule of the next:
// every change, in order, and whether the configuration settled within a few loads.
struct OptionRuleSettling {
  std::vector<OptionRuleChange> changes;
  bool settled = false;
};
OptionRuleSettling SettleOptionRules(Configuration& configuration, const ChipTraits& chip);

}  // namespace veltra::image
