#include "production/unit_programming.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "device/write_check.h"
#include "image/image_layout.h"
#include "image/operation_texts.h"
#include "image/part_probe.h"
#include "image/string_descriptor.h"
#include "production/carried_serial.h"
#include "production/template_check.h"

namespace veltra::production {
namespace {

// Writes are split so an abort takes effect within this many bytes.
constexpr uint32_t kWriteSlice = 1024;

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", value);
  return text;
}

}  // namespace

std::string SerialOf(const image::Configuration& configuration) {
  if (!configuration.serial) return "";
  if (const auto* text = std::get_if<std::string>(&*configuration.serial)) return *text;
  return image::DecodeStringDescriptor(std::get<image::RawSection>(*configuration.serial).bytes);
}

void ProgramUnit(device::VendorTransport& transport, const UnitJob& job, const UnitHooks& hooks,
                 UnitRecord& record, bool& fatal) {
  record.result = kResultRefused;
  const std::optional<image::ChipTraits> chip = ReadChipTraits(transport);
  if (!chip) {
    record.detail = "the chip's variant cannot be read (register 0xD9)";
    return;
  }
  image::Configuration configuration = *job.configuration;
  if (job.normalize) {
    if (std::string problem = NormalizeTemplate(configuration, *chip); !problem.empty()) {
      record.detail = problem;
      return;
    }
  } else if (std::string problem = TemplateVariantProblem(configuration, *chip); !problem.empty()) {
    record.detail = problem + "; --normalize writes what they would store";
    return;
  }
  const image::PartProbe probe = image::ProbeEepromPart(transport, hooks.abort);
  if (probe.cancelled) {
    record.detail = "aborted while the part was checked";
    return;
  }
  if (probe.outcome == image::PartProbe::Outcome::kReadFailed) {
    record.detail = hooks.transferFailure(image::text::kReadFailed);
    return;
  }
  if (probe.outcome == image::PartProbe::Outcome::kSmallerPart) {
    record.detail = image::SmallerPartText(transport.EepromSize(), probe.partSize);
    return;
  }
  // No one at the line to ask: a part that may be smaller is set aside.
  if (probe.outcome == image::PartProbe::Outcome::kRepeats) {
    record.detail = image::RepeatingPartText(transport.EepromSize(), probe.partSize);
    return;
  }

  if (hooks.serialFor) {
    const std::optional<std::string> carried =
        ReadCarriedSerial(transport, job.eeprom.transferLength, probe.header);
    if (!carried) {
      record.detail = hooks.transferFailure(image::text::kReadFailed);
      return;
    }
    std::string error;
    const std::optional<std::string> serial = hooks.serialFor(*carried, error, fatal);
    if (!serial) {
      record.detail = error;
      return;
    }
    configuration.serial = *serial;
  }
  record.serial = SerialOf(configuration);
  const image::PackedConfiguration packed =
      image::PackConfiguration(configuration, job.eeprom.transferLength);
  if (!packed.fits) {
    record.detail = image::text::kSizeNotEnough;
    return;
  }
  const uint32_t length = job.whole
                              ? job.eeprom.transferLength
                              : image::UsedImageLength(packed.total, job.eeprom.transferLength);
  std::vector<uint8_t> image(packed.image.begin(), packed.image.begin() + length);
  record.imageHash = Fnv1a64(image);

  if (hooks.abort && hooks.abort()) {
    record.detail = "aborted before writing";
    return;
  }
  record.result = kResultWriteFailed;
  if (hooks.beforeWrite) hooks.beforeWrite();
  for (uint32_t at = 0; at < length; at += kWriteSlice) {
    if (hooks.abort && hooks.abort()) {
      record.detail = "aborted at " + Hex(at);
      return;
    }
    const uint32_t slice = std::min(kWriteSlice, length - at);
    if (transport.EepromTransfer(true, at, image.data() + at, slice) == 0) {
      record.detail = hooks.transferFailure(image::text::kWriteFailed);
      return;
    }
  }
  if (hooks.storageProblem) {
    if (std::string problem = hooks.storageProblem(); !problem.empty()) {
      record.detail = problem;
      return;
    }
  }
  const device::WriteCheck check = device::ReadBack(transport, 0, image, hooks.abort);
  if (!check.Ok()) {
    record.result = kResultVerifyFailed;
    record.detail = check.cancelled ? "aborted reading back at " + Hex(check.cancelledAt)
                                    : device::DescribeWriteCheck(check, transport, "written");
    return;
  }
  record.result = kResultOk;
  record.detail.clear();
}

}  // namespace veltra::production
