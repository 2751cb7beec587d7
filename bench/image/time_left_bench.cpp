// How true the time left of the progress window is: every operation of the window (Read, Save,
// Dump, Load, Erase) on every EEPROM type, at 1 ms per vendor request and a 5 ms write cycle, on
// the simulated chip's virtual time. Each operation announces its phases as the window's does;
// at every progress report after the first 10 % of the bytes where the window shows a time left,
// the estimate behind it is compared with the time the operation then really took to its end.
// Prints the worst error of each ("-": the transfer is too short to show one); exits non-zero
// when one is beyond 15 %. The image is padded with pass-through sections as far as the part has
// room, so that a Read lasts long enough to show a time.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "backend/simulated_backend.h"
#include "device/eeprom_types.h"
#include "device/progress_tally.h"
#include "device/write_check.h"
#include "image/eeprom_config.h"
#include "image/factory_image.h"
#include "image/image_layout.h"
#include "image/section.h"
#include "image/section_kinds.h"
#include "platform/sim/sim_system.h"

namespace {

using namespace veltra;

constexpr double kTolerance = 0.15;
constexpr double kFrom = 0.10;
constexpr double kSecondNs = 1e9;

struct Sample {
  int64_t ns;
  uint64_t done;
  uint64_t toDo;
  double nsLeft;  // negative: none given
  bool shown;     // the window shows a figure
};

struct Device {
  explicit Device(const device::EepromType& type) : backend({.eeprom = type}, Setup()) {
    backend.Connect();
    backend.Device().Eeprom().Contents() = *image::BuildFactoryImage(0x5A52, 0x7731, type.size);
    transport.SetTransportEepromSize(type.size);
  }
  static backend::BackendSetup Setup() {
    backend::BackendSetup setup = backend::BackendSetup::ForTests();
    setup.requestLog = false;
    setup.timing.requestCostNs = 1'000'000;
    setup.timing.writeCycleNs = 5'000'000;
    return setup;
  }
  backend::SimulatedBackend backend;
  device::VendorTransport& transport = backend.Transport();
  image::EepromConfig model{transport};
};

// Runs one operation with a tally planned by plan; the worst relative error of the time left
// after the first 10 % of the bytes, or a negative number when the operation failed.
double WorstError(Device& d, const std::function<void(device::ProgressTally&)>& plan,
                  const std::function<bool()>& operation) {
  std::vector<Sample> samples;
  device::ProgressTally tally({}, &d.transport);
  plan(tally);
  d.transport.SetProgress([&](uint32_t done, uint32_t length) {
    tally.Callback()(done, length);
    samples.push_back({d.transport.NowNs(), tally.Done(), tally.ToDo(), tally.NsLeft().value_or(-1),
                       tally.SecondsLeft().has_value()});
  });
  const bool ok = operation();
  d.transport.SetProgress({});
  if (!ok || samples.empty()) return -1;
  const int64_t end = d.transport.NowNs();
  const uint64_t total = samples.back().done;
  // NaN: no figure was shown (the window shows none in the first second of the transfer) or
  // none with a second or more to go (in whole seconds, less than one shows as 1).
  double worst = std::nan("");
  for (const Sample& s : samples) {
    const double real = static_cast<double>(end - s.ns);
    if (s.done < kFrom * static_cast<double>(total) || !s.shown || real < kSecondNs) continue;
    const double error = std::fabs(s.nsLeft - real) / real;
    worst = std::isnan(worst) ? error : std::max(worst, error);
  }
  return worst;
}

// The factory image with the pass-through sections as long as the part has room for, so that
// Connect reads for long enough to show a time left.
void FillPart(Device& d, uint32_t length) {
  d.model.Reload(length);
  uint32_t room = length > 1024 ? length - 1024 : 0;
  for (const uint8_t type :
       {image::section_type::kPassThrough4, image::section_type::kPassThrough5,
        image::section_type::kPassThrough6, image::section_type::kPassThrough8}) {
    const uint32_t bytes = std::min<uint32_t>(room, 4000);
    image::Section* section = d.model.FindSection(type);
    if (section == nullptr || bytes == 0) break;
    section->data.assign(bytes, type);
    section->SetLength(bytes);
    section->SetPresent(true);
    room -= bytes;
  }
  d.model.SetEepromSize(length);
  if (d.model.Pack() == 0) return;
  const std::span<const uint8_t> image = d.model.ImageBuffer().first(length);
  std::copy(image.begin(), image.end(), d.backend.Device().Eeprom().Contents().begin());
}

void WriteAndReadBack(device::ProgressTally& tally, uint64_t bytes) {
  tally.Expect(bytes, device::TransferKind::kWrite);
  tally.Expect(bytes, device::TransferKind::kRead);
}

}  // namespace

int main() {
  bool ok = true;
  std::printf("%-8s %8s %8s %8s %8s %8s   worst error of the time left after 10 %%\n", "type",
              "Read", "Save", "Dump", "Load", "Erase");
  for (const device::EepromType& type : device::kEepromTypes) {
    const uint32_t length = type.transferLength;
    Device d(type);
    FillPart(d, length);
    std::vector<double> errors;
    errors.push_back(WorstError(
        d,
        [&](device::ProgressTally& tally) {
          tally.Expect(image::kHeaderReadLength);
          d.model.SetReadAnnouncer([&tally](uint64_t bytes) { tally.Expect(bytes); });
        },
        [&] {
          const bool read =
              d.model.Reload(length) == image::kSOk && d.model.SetEepromSize(length) == image::kSOk;
          d.model.SetReadAnnouncer({});
          return read;
        }));
    d.model.LoadTailRecords();
    d.model.Pack();
    errors.push_back(WorstError(
        d, [&](device::ProgressTally& tally) { WriteAndReadBack(tally, d.model.WriteLength()); },
        [&] {
          return d.model.WriteToEeprom() == 0 &&
                 device::ReadBack(d.transport, 0,
                                  d.model.ImageBuffer().first(d.model.WriteLength()))
                     .Ok();
        }));
    std::vector<uint8_t> bytes(length);
    errors.push_back(WorstError(
        d, [&](device::ProgressTally& tally) { tally.Expect(length); },
        [&] { return d.transport.EepromTransfer(false, 0, bytes.data(), length) != 0; }));
    errors.push_back(WorstError(
        d, [&](device::ProgressTally& tally) { WriteAndReadBack(tally, length); },
        [&] {
          return d.transport.EepromTransfer(true, 0, bytes.data(), length) != 0 &&
                 device::ReadBack(d.transport, 0, bytes).Ok();
        }));
    const std::vector<uint8_t> zeros(length, 0);
    errors.push_back(WorstError(
        d, [&](device::ProgressTally& tally) { WriteAndReadBack(tally, length); },
        [&] {
          return d.transport.EraseEeprom() != 0 && device::ReadBack(d.transport, 0, zeros).Ok();
        }));

    std::printf("%-8s", std::string(type.name).c_str());
    for (const double error : errors) {
      if (error < 0) {
        std::printf(" %8s", "failed");
      } else if (std::isnan(error)) {
        std::printf(" %8s", "-");
        continue;
      } else {
        std::printf(" %7.1f%%", 100 * error);
      }
      ok &= error >= 0 && error <= kTolerance;
    }
    std::printf("\n");
  }
  return ok ? 0 : 1;
}
