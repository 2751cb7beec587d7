#pragma once

#include <array>
#include <optional>

#include "eq/band.h"
#include "eq/band_coefficients.h"
#include "eq/factory_defaults.h"
#include "image/eeprom_config.h"
#include "image/header_options.h"
#include "image/image_layout.h"

namespace veltra::eq {

// The two equalisers in the image model: the Playback EQ section, tail record 1 and Header byte
// 8 bits 0-1 and byte 9; the Record EQ section, tail record 2 and Header byte 8 bit 6. The EQ
// pages, and anything else that edits an equaliser, load and store through these.

// What the PlayBack EQ Config page edits.
struct PlaybackEqValues {
  std::array<GainRow, kPresetCount> gains = kDefaultPlaybackGains;
  std::array<Band, kBandCount> bands = DefaultBands();
  bool eqDisabled = false;
  bool toneMode = false;
  double toneMaximumDb = 12.0;  // read only in tone mode
};

// What the Record EQ Config page edits.
struct RecordEqValues {
  GainRow gains = kDefaultRecordGains;
  std::array<Band, kBandCount> bands = DefaultBands();
  bool eqDisabled = false;
};

// A page's copy of its tail record: the flag word (0 here, as read after a load) and the band
// table of the factory bands.
image::TailRecord DefaultEqTailRecord();
std::array<Band, kBandCount> BandsOf(const image::TailRecord& record);

// The coefficient words a store would give the bands of the section of this type (Playback EQ
// or Record EQ), tailRecord being the page's copy as StorePlaybackEq and StoreRecordEq take it:
// what the chip is given for them.
std::array<BandWords, kBandCount> BandWordsToStore(const image::EepromConfig& model,
                                                   uint8_t sectionType,
                                                   const std::array<Band, kBandCount>& bands,
                                                   const image::TailRecord& tailRecord);

// What an image holds of the playback equaliser; each part only where the image has it. An
// empty model holds nothing.
struct PlaybackEqImage {
  // The Playback EQ section present with data; the tail record only together with it.
  std::optional<std::array<GainRow, kPresetCount>> gains;
  std::optional<image::TailRecord> tailRecord;
  // The Header with data.
  std::optional<image::PlaybackEqOptions> options;
};
PlaybackEqImage ReadPlaybackEq(const image::EepromConfig& model);

struct RecordEqImage {
  std::optional<GainRow> gains;
  std::optional<image::TailRecord> tailRecord;
  std::optional<bool> enabled;  // Header byte 8 bit 6
};
RecordEqImage ReadRecordEq(const image::EepromConfig& model);

// The words Save stores for a band: a band still as loaded that breaks the band rules (only an
// image can hold one) keeps the words the section holds (held; nullopt: the model has no section
// to keep them from); any other band gets the words of its frequency and bandwidth at 48000 Hz.
BandWords WordsToStore(const Band& band, const Band& loaded, const std::optional<BandWords>& held);
// The words Save would store now for the typed bands, given the page's copy of its tail record:
// what Test sends, so that what is heard is what is saved.
std::array<BandWords, kBandCount> PlaybackWordsToStore(const image::EepromConfig& model,
                                                       const std::array<Band, kBandCount>& bands,
                                                       const image::TailRecord& tailRecord);
std::array<BandWords, kBandCount> RecordWordsToStore(const image::EepromConfig& model,
                                                     const std::array<Band, kBandCount>& bands,
                                                     const image::TailRecord& tailRecord);

// Write the values into the model. tailRecord is the page's copy: on entry its band table is
// what the page last loaded or stored, on return the table stored. A band that is still as
// loaded and breaks the band rules (only an image can hold one) keeps its coefficient words;
// every other band gets the words of its frequency and bandwidth at 48000 Hz.
//
// Playback: EQ disabled with tone mode off leaves the section out of the image; otherwise the
// section is present and carries the four presets and the bands. The Header takes the disabled
// and tone bits and the tone maximum code (0 with tone mode off); its other bits stay.
void StorePlaybackEq(image::EepromConfig& model, const PlaybackEqValues& values,
                     image::TailRecord& tailRecord);
// Record: Header byte 8 bit 6 is set while the EQ is enabled; a disabled EQ leaves the section
// out of the image, an enabled one stores the gains and the bands.
void StoreRecordEq(image::EepromConfig& model, const RecordEqValues& values,
                   image::TailRecord& tailRecord);

}  // namespace veltra::eq
