// Pack and unpack of a full 24C512 image, and a whole Reload of it through the simulated chip.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <numeric>
#include <vector>

#include "backend/simulated_backend.h"
#include "device/eeprom_types.h"
#include "image/eeprom_config.h"
#include "image/image_layout.h"
#include "platform/sim/sim_system.h"

namespace veltra::image {
namespace {

constexpr uint32_t kTransferLength = 65535;

// Every section present, as long as the entries can describe: the last encoding-A section has to
// start at or below 32767.
struct FullImage {
  FullImage() {
    const uint32_t lengths[12] = {16383, 37, 64, 64, 64, 4095, 4095, 4095, 64, 3000, 84, 66};
    for (int index = 0; index < 12; ++index) {
      data[index].resize(lengths[index]);
      std::iota(data[index].begin(), data[index].end(), static_cast<uint8_t>(index * 17));
      sections.push_back({index, data[index]});
    }
    header = {0, 0, 0x52, 0x5A, 0x31, 0x77, 0xE0, 0x04, 0x41, 0, 0x80};
    tail1.fill(0x11);
    tail2.fill(0x22);
  }
  PackInput Input() const { return {sections, header, &tail1, &tail2}; }

  std::vector<uint8_t> data[12];
  std::vector<PackSection> sections;
  std::vector<uint8_t> header;
  TailRecord tail1;
  TailRecord tail2;
};

void BM_Pack24C512(benchmark::State& state) {
  const FullImage full;
  std::vector<uint8_t> image(kTransferLength);
  for (auto _ : state) {
    const PackResult result = PackImage(full.Input(), kTransferLength, image);
    benchmark::DoNotOptimize(result.total);
    if (!result.fits) state.SkipWithError("image does not fit");
  }
  state.SetBytesProcessed(state.iterations() * kTransferLength);
}
BENCHMARK(BM_Pack24C512);

void BM_Unpack24C512(benchmark::State& state) {
  const FullImage full;
  std::vector<uint8_t> image(kTransferLength);
  PackImage(full.Input(), kTransferLength, image);
  for (auto _ : state) {
    const ImageContents contents = ReadImage(image, kTransferLength);
    benchmark::DoNotOptimize(contents.total);
  }
  state.SetBytesProcessed(state.iterations() * kTransferLength);
}
BENCHMARK(BM_Unpack24C512);

// Real time per Reload of the full image; "requests" is the number of vendor requests one
// Reload sends, "virtual_ms" the time it takes on the simulated bus.
void BM_Reload24C512ThroughSimulatedChip(benchmark::State& state) {
  backend::BackendSetup setup = backend::BackendSetup::ForTests();
  setup.requestLog = false;
  backend::SimulatedBackend backend({.eeprom = device::FindEepromType("S24C512")}, setup);
  sim::SimSystem& system = backend.System();
  sim::SimUsbDevice& device = backend.Device();
  device::VendorTransport& transport = backend.Transport();
  if (!backend.Connect()) {
    state.SkipWithError("no simulated device");
    return;
  }
  const FullImage full;
  std::vector<uint8_t> image(kTransferLength);
  PackImage(full.Input(), kTransferLength, image);
  std::copy(image.begin(), image.end(), device.Eeprom().Contents().begin());

  EepromConfig config(transport);
  uint64_t requests = 0;
  int64_t virtualNs = 0;
  for (auto _ : state) {
    const uint64_t before = system.RequestCount();
    const int64_t start = system.Clock().NowNs();
    if (config.Reload(kTransferLength) != kSOk) state.SkipWithError("Reload failed");
    requests = system.RequestCount() - before;
    virtualNs = system.Clock().NowNs() - start;
  }
  state.counters["requests"] = static_cast<double>(requests);
  state.counters["virtual_ms"] = static_cast<double>(virtualNs) / 1e6;
}
BENCHMARK(BM_Reload24C512ThroughSimulatedChip)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace veltra::image
