#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "image/audio_io_section.h"
#include "image/eq_sections.h"
#include "image/header_options.h"
#include "image/image_layout.h"

namespace veltra::image {

// Everything a configuration image holds, decoded where the tool knows the layout and its
// values are ones the pages can write; every other section is kept as its stored bytes. Packing
// a configuration gives the image the tool's packer makes, and decoding a packed image gives
// the same configuration back, so an image survives any trip through this form unchanged.

// A section kept as stored.
struct RawSection {
  std::vector<uint8_t> bytes;

  friend bool operator==(const RawSection&, const RawSection&) = default;
};

// Header bytes 2..10, every bit of them.
struct HeaderSettings {
  uint16_t vid = 0;
  uint16_t pid = 0;
  UsbOptions usb;  // powerRange 0..7; the USB Config page has items for 0..4
  AudioOptions audio;
  bool playbackEqDisabled = false;  // byte 8 bit 0
  bool toneMode = false;            // byte 8 bit 1
  uint8_t toneMaximumCode = 0;      // byte 9 as stored
  bool recordEqEnabled = false;     // byte 8 bit 6
  uint8_t jumpToSramBits = 0;       // byte 8 bits 5-4: 3 on, 0 off, 1 and 2 half set
  bool lyncHeadset = false;         // byte 8 bit 7
  bool byte6Bit2 = false;           // the Audio I/O page writes 0 there; kept as read
  bool byte8Bit3 = false;           // no owner; kept as read

  friend bool operator==(const HeaderSettings&, const HeaderSettings&) = default;
};

// A string section: the text of a well-formed descriptor, or the stored bytes of one that is
// not (wrong bLength or type, an odd length, a zero unit, a broken surrogate pair, no text).
using StringSection = std::variant<std::string, RawSection>;

struct VolumeSetting {
  int maximumDb = 0;
  int minimumDb = 0;
  int initialDb = 0;
  bool initialMute = false;

  friend bool operator==(const VolumeSetting&, const VolumeSetting&) = default;
};
using VolumeSettingsList = std::array<VolumeSetting, kVolumeRecordCount>;  // in record order

// The volume groups' field names, in record order.
inline constexpr std::array<const char*, kVolumeRecordCount> kVolumeSettingNames{
    "playback", "lineInRecording", "micInRecording", "stereoMixerIn", "lineInAa", "micInAa"};

// The Audio I/O section: whole-dB volumes that fit their groups, or the stored bytes of a
// section the page could not show (another length, fractions of a dB, values outside a group).
using AudioIoContent = std::variant<VolumeSettingsList, RawSection>;

struct EqBand {
  // The band's entry in the EQ's tail record; nullopt when the image stores no tail record for
  // the EQ (no room after the sections). A stored record gets 0 Hz for a band without one.
  std::optional<BandTableEntry> table;
  // The stored coefficient words, kept only where they are not the words of the band's table
  // entry at 48000 Hz, or the band breaks the band check, or has no table entry. nullopt: the
  // words are computed from the entry when packing.
  std::optional<BandRecord> words;

  friend bool operator==(const EqBand&, const EqBand&) = default;
};
using EqBands = std::array<EqBand, kEqBandCount>;

// One of the two EQ sections with its tail record.
struct EqSection {
  // Gain codes 0..48: the four presets "00", "01", "10", "11" of the playback EQ, or the one
  // row of the record EQ. Empty when the section is kept raw.
  std::vector<GainRow> gains;
  EqBands bands{};
  // Set when the section is not the EQ layout the page writes (another length, gain codes above
  // 48): its stored bytes, kept as they are. Its bands then have table entries only.
  std::optional<RawSection> raw;

  friend bool operator==(const EqSection&, const EqSection&) = default;
};

// Where each section stands in the configuration document, by directory slot (the table's
// rows): the document, show --json's layout, the configuration check and diff name it so.
inline constexpr std::array<std::string_view, kDirectorySlotCount> kSectionFields{
    "mcu",
    "audioIo",
    "strings.manufacturer",
    "strings.product",
    "strings.serial",
    "rawSections.passThrough4",
    "rawSections.passThrough5",
    "rawSections.passThrough6",
    "rawSections.ocString",
    "rawSections.passThrough8",
    "playbackEq",
    "recordEq",
};
// The document's parts that hold an image, in their order: the Header, then the sections'.
inline constexpr std::array<std::string_view, 7> kImageParts{
    "header", "strings", "audioIo", "playbackEq", "recordEq", "mcu", "rawSections"};
// A field's name in its part ("strings.serial" -> "serial"; "mcu" -> "mcu"), and its part
// ("strings.serial" -> "strings").
constexpr std::string_view FieldName(std::string_view path) {
  return path.substr(path.rfind('.') + 1);
}
constexpr std::string_view GroupName(std::string_view path) {
  return path.substr(0, path.find('.'));
}

// nullopt everywhere below: the section is not in the image (its present bit is clear).
struct Configuration {
  HeaderSettings header;
  std::optional<RawSection> mcuFirmware;
  std::optional<AudioIoContent> audioIo;
  std::optional<StringSection> manufacturer;
  std::optional<StringSection> product;
  std::optional<StringSection> serial;
  std::optional<RawSection> passThrough4;
  std::optional<RawSection> passThrough5;
  std::optional<RawSection> passThrough6;
  std::optional<RawSection> ocString;
  std::optional<RawSection> passThrough8;
  std::optional<EqSection> playbackEq;
  std::optional<EqSection> recordEq;

  friend bool operator==(const Configuration&, const Configuration&) = default;
};

// The configuration of an image read from a file or the device; nullopt without the magic.
// Sections the reader found beyond the image's end read as their zero bytes, as ReadImage gives
// them.
std::optional<Configuration> DecodeConfiguration(const ImageContents& contents);

// The first value that the pages would refuse to write, or that no section can carry, named by
// its field ("audioIo.playback.initialDb") with the reason. Raw sections are taken as they are,
// up to the length their directory entry can hold.
struct ConfigurationProblem {
  std::string field;
  std::string reason;
};
std::optional<ConfigurationProblem> CheckConfiguration(const Configuration& configuration);

struct PackedConfiguration {
  // False when the sections do not fit the transfer length; the image is then not to be used.
  bool fits = false;
  std::vector<uint8_t> image;  // transfer length bytes
  uint32_t total = 0;          // bytes of section data
  // Whether each EQ's tail record (its band table) found room after the sections.
  bool tailRecord1Stored = false;
  bool tailRecord2Stored = false;
};

// Whether the EQ is present and any of its bands has a table entry; packing stores a tail
// record only for such an EQ.
bool HoldsBandTable(const std::optional<EqSection>& eq);

// Lays the configuration out with the tool's packer for an EEPROM of this transfer length.
// Expects a configuration CheckConfiguration accepts; any other still packs without reading or
// writing outside a buffer, values held to the fields that carry them.
PackedConfiguration PackConfiguration(const Configuration& configuration, uint32_t transferLength);

// The Header section's 11 bytes, magic included.
std::array<uint8_t, kHeaderLength> EncodeHeaderSettings(const HeaderSettings& header);
HeaderSettings DecodeHeaderSettings(std::span<const uint8_t, kHeaderLength> header);

// The word the band's table entry gives at 48000 Hz, as the EQ pages compute it.
BandRecord BandWordsOf(const BandTableEntry& entry);

// The Audio I/O section as the chip reads it, whether the configuration keeps it decoded or raw.
// nullopt for raw bytes of no volume layout.
std::optional<AudioIoSection> StoredAudioIoOf(const AudioIoContent& content);

// An EQ section as the chip reads it, whether the configuration keeps it decoded or raw: its gain
// rows and every band's words. nullopt for raw bytes shorter than the EQ layout.
struct StoredEq {
  std::vector<GainRow> gains;
  BandRecords words{};
};
std::optional<StoredEq> StoredEqOf(const EqSection& eq, bool playback);

}  // namespace veltra::image
