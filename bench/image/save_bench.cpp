// Bus time of a Save of the factory image on a 24C512, writing the whole transfer length and
// writing only the part the image uses, at 1 ms per vendor request and a 5 ms write cycle.
// The times are the virtual time of the simulated chip, which charges every request and every
// write cycle as a real bus would; the run itself takes a moment. A figure, not a test: it
// exits non-zero only when a Save fails.
#include <cstdio>
#include <vector>

#include "backend/simulated_backend.h"
#include "device/eeprom_types.h"
#include "image/eeprom_config.h"
#include "image/factory_image.h"
#include "image/image_layout.h"
#include "platform/sim/sim_system.h"

namespace {

using namespace veltra;

struct Figures {
  bool saved = false;
  uint32_t bytes = 0;
  uint64_t requests = 0;
  double seconds = 0;
};

Figures Save(image::WriteExtent extent) {
  constexpr uint32_t kSize = 65536;
  backend::BackendSetup setup = backend::BackendSetup::ForTests();
  setup.requestLog = false;
  setup.timing.requestCostNs = 1'000'000;
  setup.timing.writeCycleNs = 5'000'000;
  backend::SimulatedBackend backend({.eeprom = device::FindEepromType("S24C512")}, setup);
  Figures figures;
  const auto factory = image::BuildFactoryImage(0x5A52, 0x7731, kSize);
  if (!factory || !backend.Connect()) return figures;
  backend.Device().Eeprom().Contents() = *factory;

  // Connect reads the image first, as the GUI does before a Save.
  image::EepromConfig model(backend.Transport());
  const uint32_t transferLength = kSize - 1;
  if (model.Reload(transferLength) != image::kSOk ||
      model.SetEepromSize(transferLength) != image::kSOk)
    return figures;
  model.LoadTailRecords();
  model.SetWriteExtent(extent);

  sim::SimSystem& system = backend.System();
  const uint64_t requests = system.RequestCount();
  const int64_t start = system.Clock().NowNs();
  figures.saved = model.WriteToEeprom() == 0;
  figures.requests = system.RequestCount() - requests;
  figures.seconds = static_cast<double>(system.Clock().NowNs() - start) * 1e-9;
  figures.bytes = extent == image::WriteExtent::kUsedOnly
                      ? image::UsedImageLength(model.Total(), transferLength)
                      : transferLength;
  return figures;
}

void Print(const char* what, const Figures& f) {
  std::printf("%-22s %6u bytes  %6llu requests  %8.3f s bus time\n", what, f.bytes,
              static_cast<unsigned long long>(f.requests), f.seconds);
}

}  // namespace

int main() {
  std::printf(
      "Save of the factory image on a 24C512, 1 ms per request, 5 ms write cycle\n"
      "(virtual time of the simulated chip)\n");
  const Figures whole = Save(image::WriteExtent::kWhole);
  const Figures used = Save(image::WriteExtent::kUsedOnly);
  Print("whole transfer length", whole);
  Print("used part only", used);
  if (whole.saved && used.saved && used.seconds > 0)
    std::printf("used-only Save takes %.1f %% of the time\n", 100.0 * used.seconds / whole.seconds);
  return whole.saved && used.saved ? 0 : 1;
}
