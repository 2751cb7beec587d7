// Bus time of a Save of the factory image on a 24C64 and a 24C512, writing the whole transfer
// length and writing only the part the image uses, at 1 ms per vendor request and a 5 ms write
// cycle, with what the checks around the write add: the part probe and the check for another
// program's change before it, the read-back after it. The times are the virtual time of the
// simulated chip, which charges every request and every write cycle as a real bus would; the
// run itself takes a moment. A figure, not a test: it exits non-zero only when a Save fails.
#include <cstdio>
#include <functional>
#include <vector>

#include "backend/simulated_backend.h"
#include "device/eeprom_types.h"
#include "device/write_check.h"
#include "image/eeprom_config.h"
#include "image/factory_image.h"
#include "image/image_layout.h"
#include "image/part_probe.h"
#include "platform/sim/sim_system.h"

namespace {

using namespace veltra;

struct Step {
  bool ok = false;
  uint64_t requests = 0;
  double seconds = 0;
};

struct Figures {
  uint32_t bytes = 0;
  Step probe;
  Step check;
  Step write;
  Step readBack;
  bool Saved() const { return probe.ok && check.ok && write.ok && readBack.ok; }
};

Figures Save(sim::EepromPart part, image::WriteExtent extent) {
  const uint32_t size = sim::PartInfo(part).size;
  backend::BackendSetup setup = backend::BackendSetup::ForTests();
  setup.requestLog = false;
  setup.timing.requestCostNs = 1'000'000;
  setup.timing.writeCycleNs = 5'000'000;
  backend::SimulatedBackend backend({.eeprom = device::EepromTypeBySize(size)}, setup);
  Figures figures;
  const auto factory = image::BuildFactoryImage(0x5A52, 0x7731, size);
  if (!factory || !backend.Connect()) return figures;
  backend.Device().Eeprom().Contents() = *factory;

  // Connect reads the image first, as the GUI does before a Save.
  image::EepromConfig model(backend.Transport());
  const uint32_t transferLength = size - 1;
  if (model.Reload(transferLength) != image::kSOk ||
      model.SetEepromSize(transferLength) != image::kSOk)
    return figures;
  model.LoadTailRecords();
  model.SetWriteExtent(extent);

  sim::SimSystem& system = backend.System();
  auto measure = [&](const std::function<bool()>& step) {
    const uint64_t requests = system.RequestCount();
    const int64_t start = system.Clock().NowNs();
    Step s;
    s.ok = step();
    s.requests = system.RequestCount() - requests;
    s.seconds = static_cast<double>(system.Clock().NowNs() - start) * 1e-9;
    return s;
  };
  // The steps of the window's Save, in its order.
  figures.probe = measure([&] {
    return image::ProbeEepromPart(backend.Transport()).outcome ==
           image::PartProbe::Outcome::kNoSmallerPart;
  });
  figures.check =
      measure([&] { return model.CheckEepromUnchanged() == image::EepromCheck::kUnchanged; });
  figures.write = measure([&] { return model.WriteToEeprom() == 0; });
  figures.bytes = model.WriteLength();
  figures.readBack = measure([&] {
    return device::ReadBack(backend.Transport(), 0, model.ImageBuffer().first(figures.bytes)).Ok();
  });
  return figures;
}

void Print(const char* part, const char* extent, const Figures& f) {
  auto line = [&](const char* what, const Step& s) {
    std::printf("  %-26s %6llu requests  %8.3f s  %+6.1f %% of the write\n", what,
                static_cast<unsigned long long>(s.requests), s.seconds,
                100.0 * s.seconds / f.write.seconds);
  };
  std::printf("%s, %s (%u bytes):\n", part, extent, f.bytes);
  std::printf("  %-26s %6llu requests  %8.3f s\n", "write",
              static_cast<unsigned long long>(f.write.requests), f.write.seconds);
  line("read-back after it", f.readBack);
  line("part probe before it", f.probe);
  line("change check before it", f.check);
  const double total = f.probe.seconds + f.check.seconds + f.write.seconds + f.readBack.seconds;
  std::printf("  %-26s %6llu requests  %8.3f s\n", "Save in all",
              static_cast<unsigned long long>(f.probe.requests + f.check.requests +
                                              f.write.requests + f.readBack.requests),
              total);
}

}  // namespace

int main() {
  std::printf(
      "Save of the factory image, 1 ms per request, 5 ms write cycle\n"
      "(virtual time of the simulated chip)\n");
  bool saved = true;
  for (const auto& [part, name] : {std::pair{sim::EepromPart::k24C64, "24C64"},
                                   std::pair{sim::EepromPart::k24C512, "24C512"}}) {
    const Figures whole = Save(part, image::WriteExtent::kWhole);
    const Figures used = Save(part, image::WriteExtent::kUsedOnly);
    Print(name, "whole transfer length", whole);
    Print(name, "used part only", used);
    saved = saved && whole.Saved() && used.Saved();
  }
  return saved ? 0 : 1;
}
