#include <benchmark/benchmark.h>

#include "eq/band_coefficients.h"
#include "eq/factory_defaults.h"

namespace veltra::eq {
namespace {

// One store or Test computes five bands; reported per band.
void BM_CalcBandCoefficients(benchmark::State& state) {
  const auto bands = DefaultBands();
  for (auto _ : state) {
    for (const Band& band : bands) {
      benchmark::DoNotOptimize(
          CalcBandCoefficients(kEqSampleRate, band.centreHz, band.bandwidthHz));
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(bands.size()));
  state.counters["ns_per_band"] =
      benchmark::Counter(static_cast<double>(state.iterations() * bands.size()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_CalcBandCoefficients);

// Non-finite inputs take the guarded conversion path.
void BM_CalcBandCoefficientsOutOfRange(benchmark::State& state) {
  int32_t bw = 100;
  for (auto _ : state) {
    benchmark::DoNotOptimize(bw);
    benchmark::DoNotOptimize(CalcBandCoefficients(kEqSampleRate, 100, bw));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CalcBandCoefficientsOutOfRange);

}  // namespace
}  // namespace veltra::eq
