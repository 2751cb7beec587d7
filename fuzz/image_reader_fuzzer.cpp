// The input is an image as a .bin file holds it: the transfer length of bytes from address 0.
// The pure reader takes it whole; what it finds is packed again and run through the section
// codecs. Inputs that fit a small EEPROM are also read by EepromConfig through the simulated chip.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "backend/simulated_backend.h"
#include "device/eeprom_types.h"
#include "device/transport.h"
#include "image/audio_io_section.h"
#include "image/eeprom_config.h"
#include "image/eq_sections.h"
#include "image/image_layout.h"
#include "image/mcu_info.h"
#include "image/string_descriptor.h"
#include "platform/sim/sim_system.h"

namespace {

using namespace veltra;

backend::BackendSetup Setup() {
  backend::BackendSetup setup = backend::BackendSetup::ForTests();
  setup.requestLog = false;
  return setup;
}

// Built once per EEPROM size: a connected chip whose contents each input replaces.
struct SimulatedEeprom {
  explicit SimulatedEeprom(sim::EepromPart part)
      : backend({.eeprom = device::EepromTypeBySize(sim::PartInfo(part).size)}, Setup()),
        size(sim::PartInfo(part).size) {
    connected = backend.Connect();
  }
  backend::SimulatedBackend backend;
  sim::SimUsbDevice& device = backend.Device();
  device::VendorTransport& transport = backend.Transport();
  uint32_t size;
  bool connected = false;
};

// Reading the model through the bus costs a few requests per 16 bytes; larger parts would slow
// the run without reaching new code.
constexpr std::array<sim::EepromPart, 4> kModelParts{
    sim::EepromPart::k24C02, sim::EepromPart::k24C04, sim::EepromPart::k24C08,
    sim::EepromPart::k24C16};

SimulatedEeprom* ChipFor(size_t imageLength) {
  static std::array<std::unique_ptr<SimulatedEeprom>, kModelParts.size()> chips;
  for (size_t i = 0; i < kModelParts.size(); ++i) {
    if (imageLength + 1 > sim::PartInfo(kModelParts[i]).size) continue;
    if (!chips[i]) chips[i] = std::make_unique<SimulatedEeprom>(kModelParts[i]);
    return chips[i]->connected ? chips[i].get() : nullptr;
  }
  return nullptr;
}

void DecodeSections(const image::ImageContents& contents) {
  for (int index = 2; index <= 4; ++index) {
    if (const auto& s = contents.sections[static_cast<size_t>(index)]) {
      image::DecodeStringDescriptor(s->data);
    }
  }
  if (const auto& s = contents.sections[image::section_index::kAudioIo]) {
    image::DecodeAudioIoSection(s->data);
  }
  if (const auto& s = contents.sections[image::section_index::kPlaybackEq]) {
    image::DecodePlaybackEqSection(s->data);
  }
  if (const auto& s = contents.sections[image::section_index::kRecordEq]) {
    image::DecodeRecordEqSection(s->data);
  }
  if (const auto& s = contents.sections[image::section_index::kMcu]) {
    image::ReadMcuInfo(s->data, image::McuWordOrder::kEeprom);
  }
  if (contents.tailRecords.first) image::DecodeBandTable(*contents.tailRecords.first);
}

void RepackPure(const image::ImageContents& contents, uint32_t transferLength) {
  std::vector<image::PackSection> sections;
  for (int index = 0; index < static_cast<int>(image::kDirectorySlotCount); ++index) {
    if (const auto& s = contents.sections[static_cast<size_t>(index)]) {
      sections.push_back({index, s->data});
    }
  }
  const image::TailRecord* tail1 =
      contents.tailRecords.first ? &*contents.tailRecords.first : nullptr;
  const image::TailRecord* tail2 =
      contents.tailRecords.second ? &*contents.tailRecords.second : nullptr;
  std::vector<uint8_t> packed(transferLength);
  image::PackImage({sections, contents.header, tail1, tail2}, transferLength, packed);
}

void ReadThroughModel(std::span<const uint8_t> bytes) {
  SimulatedEeprom* chip = ChipFor(bytes.size());
  if (chip == nullptr) return;
  auto& eeprom = chip->device.Eeprom().Contents();
  std::fill(eeprom.begin(), eeprom.end(), uint8_t{0xFF});
  std::copy(bytes.begin(), bytes.end(), eeprom.begin());
  const uint32_t transferLength = chip->size - 1;
  image::EepromConfig config(chip->transport);
  if (config.Reload(transferLength) != image::kSOk) return;
  const bool fits = config.SetEepromSize(transferLength) == image::kSOk;
  config.LoadTailRecords();
  image::TailRecord record{};
  config.GetTailRecord(record.data(), static_cast<uint32_t>(record.size()),
                       image::section_index::kPlaybackEq);
  config.Pack();
  if (fits) config.Pack();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  const auto transferLength = static_cast<uint32_t>(std::min<size_t>(size, 65535));
  const image::ImageContents contents = image::ReadImage(bytes, transferLength);
  if (contents.hasMagic) {
    DecodeSections(contents);
    RepackPure(contents, transferLength);
  }
  ReadThroughModel(bytes);
  return 0;
}
