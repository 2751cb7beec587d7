// The long soak run: random operations with random faults through the real main window on the
// simulated device.
//
//   soak_runner [--seed S] [--seeds K] [--operations N] [--part 24C64]
//       K runs of N operations, with seeds S, S+1, ...; prints each run's figures and their sum.
//       Exits 1 at the first check that fails, naming the seed and the operation.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <QApplication>

#include "soak.h"

using namespace veltra::app::testing;

int main(int argc, char** argv) {
  uint64_t seed = 1;
  uint64_t seeds = 1;
  uint64_t operations = 1000;
  veltra::sim::EepromPart part = veltra::sim::EepromPart::k24C64;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    const std::string value = argv[i + 1];
    if (arg == "--seed") {
      seed = std::stoull(value);
    } else if (arg == "--seeds") {
      seeds = std::stoull(value);
    } else if (arg == "--operations") {
      operations = std::stoull(value);
    } else if (arg == "--part" && veltra::sim::PartFromName(value)) {
      part = *veltra::sim::PartFromName(value);
    } else {
      std::fprintf(stderr,
                   "usage: soak_runner [--seed S] [--seeds K] [--operations N] [--part 24C64]\n");
      return 64;
    }
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);

  SoakFigures sum;
  const auto start = std::chrono::steady_clock::now();
  for (uint64_t run = 0; run < seeds; ++run) {
    SoakOptions options;
    options.seed = seed + run;
    options.part = part;
    Soak soak(options);
    const bool ok = soak.Run(operations);
    const SoakFigures& f = soak.Figures();
    std::printf(
        "seed %llu: %llu operations, %llu with a fault, %llu failures reported, %llu "
        "succeeded, %llu failed writes checked, %.1f s virtual\n",
        static_cast<unsigned long long>(options.seed),
        static_cast<unsigned long long>(f.operations), static_cast<unsigned long long>(f.withFault),
        static_cast<unsigned long long>(f.reported), static_cast<unsigned long long>(f.succeeded),
        static_cast<unsigned long long>(f.cutsChecked), f.virtualNs * 1e-9);
    std::fflush(stdout);
    if (!ok) {
      std::printf("FAILED: %s\n", soak.Problem().c_str());
      return 1;
    }
    sum.operations += f.operations;
    sum.withFault += f.withFault;
    sum.reported += f.reported;
    sum.succeeded += f.succeeded;
    sum.cutsChecked += f.cutsChecked;
    sum.virtualNs += f.virtualNs;
    for (const auto& [kind, n] : f.byKind)
      sum.byKind[kind] += n;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("\nall: %llu operations (", static_cast<unsigned long long>(sum.operations));
  const char* separator = "";
  for (const auto& [kind, n] : sum.byKind) {
    std::printf("%s%s %llu", separator, kind.c_str(), static_cast<unsigned long long>(n));
    separator = ", ";
  }
  std::printf(
      "), %llu with a fault, %llu failures reported, %llu succeeded, %llu failed writes "
      "checked, 0 mismatches; %.1f s virtual, %.0f s real\n",
      static_cast<unsigned long long>(sum.withFault), static_cast<unsigned long long>(sum.reported),
      static_cast<unsigned long long>(sum.succeeded),
      static_cast<unsigned long long>(sum.cutsChecked), sum.virtualNs * 1e-9, seconds);
  return 0;
}
