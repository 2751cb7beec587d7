// How true the time left of the progress window is: every operation of the window (Read, Save,
// Dump, Load, Erase) on every EEPROM type, at 1 ms per vendor request and a 5 ms write cycle, on
// the simulated chip's virtual time. Each operation announces its phases as the window's does;
// at every progress report after the first 10 % of the bytes, the time left the tally gives is
// compared with the time the operation then really took to its end. Prints the worst error of
// each; exits non-zero when one is beyond 15 %.
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
#include "platform/sim/sim_system.h"

namespace {

using namespace veltra;

constexpr double kTolerance = 0.15;
constexpr double kFrom = 0.10;

struct Sample {
  int64_t ns;
  uint64_t done;
  uint64_t toDo;
  double nsLeft;  // negative: none given
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
    samples.push_back(
        {d.transport.NowNs(), tally.Done(), tally.ToDo(), tally.NsLeft().value_or(-1)});
  });
  const bool ok = operation();
  d.transport.SetProgress({});
  if (!ok || samples.empty()) return -1;
  const int64_t end = d.transport.NowNs();
  const uint64_t total = samples.back().done;
  double worst = 0;
  for (const Sample& s : samples) {
    if (s.done < kFrom * static_cast<double>(total) || s.done >= total) continue;
    const double real = static_cast<double>(end - s.ns);
    // A figure missing after the first 10 % is as bad as a wrong one.
    const double error = s.nsLeft < 0 ? 1 : std::fabs(s.nsLeft - real) / real;
    worst = std::max(worst, error);
  }
  return worst;
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
      } else {
        std::printf(" %7.1f%%", 100 * error);
      }
      ok &= error >= 0 && error <= kTolerance;
    }
    std::printf("\n");
  }
  return ok ? 0 : 1;
}
