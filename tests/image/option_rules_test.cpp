#include "image/option_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace veltra::image {
namespace {

std::vector<std::string> Lines(const std::vector<OptionRuleChange>& changes) {
  std::vector<std::string> lines;
  for (const OptionRuleChange& c : changes)
    lines.push_back(c.field + ": " + c.from + " -> " + c.to + ": " + c.reason);
  return lines;
}

ChipTraits Variant(int variant) {
  ChipTraits chip;
  chip.variant = variant;
  return chip;
}

TEST(OptionRulesTest, TheAudioPagesLoadRulesInTheirOrder) {
  struct Case {
    const char* name;
    void (*set)(AudioOptions&);
    int variant;
    std::vector<std::string> expected;
    std::vector<std::string> nextLoad = {};
  };
  const Case cases[] = {
      {"DSP clears I2S; a slave without MCLK is left alone then",
       [](AudioOptions& o) { o.playbackDsp = o.playbackI2s = o.playbackI2sSlave = true; },
       3,
       {"header.audio.playbackI2s: true -> false: the Audio I/O page turns this off, as Playback "
        "DSP is on"}},
      // The record mode rule runs before the playback rule: it does not see the new value.
      {"a playback slave without MCLK",
       [](AudioOptions& o) { o.playbackI2sSlave = true; },
       0,
       {"header.audio.playbackAsynchronous: false -> true: the Audio I/O page turns this on, as "
        "Playback I2S is slave without MCLK"},
       {"header.audio.recordMode: synchronous -> asynchronous: the Audio I/O page sets this to "
        "asynchronous, as Playback Asynchronous Mode is on"}},
      {"nothing on a variant without playback",
       [](AudioOptions& o) { o.playbackDsp = o.playbackI2s = true; },
       2,
       {}},
      {"record DSP and the record mode",
       [](AudioOptions& o) { o.recordDsp = o.recordI2s = o.spdifIn = true; },
       3,
       {"header.audio.recordMode: synchronous -> asynchronous: the Audio I/O page sets this to "
        "asynchronous, as SPDIF In is on",
        "header.audio.recordI2s: true -> false: the Audio I/O page turns this off, as Record DSP "
        "is on"}},
      {"record rule not on variant 1; the terminals",
       [](AudioOptions& o) { o.recordDsp = o.recordI2s = o.lineIn = o.headphone = true; },
       1,
       {"header.audio.inputTerminal: lineIn -> micIn: the Audio I/O page stores micIn, as a "
        "variant-1 chip has no LineIn terminal"}},
      {"no headphone on variant 2",
       [](AudioOptions& o) { o.headphone = true; },
       2,
       {"header.audio.outputTerminal: headphone -> speaker: the Audio I/O page stores speaker, "
        "as a variant-2 chip has no Headphone terminal"}},
  };
  for (const Case& c : cases) {
    Configuration configuration;
    c.set(configuration.header.audio);
    const Configuration before = configuration;
    EXPECT_EQ(Lines(FindOptionRuleChanges(configuration, Variant(c.variant))), c.expected)
        << c.name;
    EXPECT_EQ(configuration, before) << c.name;
    EXPECT_EQ(Lines(ApplyOptionRules(configuration, Variant(c.variant))), c.expected) << c.name;
    // A load after a Save of the page's result may change more.
    EXPECT_EQ(Lines(FindOptionRuleChanges(configuration, Variant(c.variant))), c.nextLoad)
        << c.name;
  }
}

}  // namespace
}  // namespace veltra::image
