#include "image/option_rules.h"

#include <string>

#include "image/section_kinds.h"
#include "image/string_descriptor.h"
#include "platform/text.h"

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

// The USB Config page shows a string section's text and stores the descriptor of that text,
// or no section for an empty one; a section kept as bytes of another form changes so.
void SettleString(std::optional<StringSection>& section, int row,
                  std::vector<OptionRuleChange>& changes) {
  const RawSection* raw = section ? std::get_if<RawSection>(&*section) : nullptr;
  if (raw == nullptr) return;
  const std::u16string units = DecodeStringDescriptorUtf16(raw->bytes);
  const std::u16string_view shown = CutUtf16(units, kMaxStringDescriptorUnits);
  const std::string field(kSectionFields[static_cast<size_t>(row)]);
  if (shown.empty()) {
    section.reset();
    changes.push_back({field, "raw bytes", "(none)",
                       "the USB Config page shows no text for them and leaves the section out"});
    return;
  }
  if (EncodeStringDescriptor(shown) == raw->bytes) return;
  const std::string text = platform::ToUtf8(std::u16string(shown));
  section = text;
  changes.push_back({field, "raw bytes", "\"" + text + "\"",
                     "the USB Config page stores the descriptor of the text it shows"});
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

  SettleString(configuration.manufacturer, 2, changes);
  SettleString(configuration.product, 3, changes);
  SettleString(configuration.serial, 4, changes);
  if (configuration.ocString) {
    configuration.ocString.reset();
    changes.push_back({std::string(kSectionFields[8]) + ".present", "true", "false",
                       "the USB Config page never shows the OC string and leaves it out"});
  }
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
