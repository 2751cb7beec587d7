// Units per minute on a production line: the factory template programmed into simulated 24C64
// units, each on an erased EEPROM, at 1 ms per vendor request with the 5 ms write cycle, the
// used part and the whole transfer length. The figures are the units' virtual bus time: every
// step of 'program' from attach to the read-back. Exits non-zero when a unit fails.
#include <cstdio>
#include <optional>
#include <string>

#include "backend/simulated_backend.h"
#include "device/eeprom_types.h"
#include "image/configuration.h"
#include "image/factory_image.h"
#include "platform/sim/sim_system.h"
#include "production/unit_programming.h"

namespace {

using namespace veltra;

struct Figures {
  bool ok = false;
  double seconds = 0;
  uint64_t requests = 0;
};

Figures ProgramOneUnit(const image::Configuration& configuration, const device::EepromType& eeprom,
                       bool whole) {
  backend::BackendSetup setup = backend::BackendSetup::ForTests();
  setup.requestLog = false;
  setup.timing.requestCostNs = 1'000'000;
  setup.timing.writeCycleNs = 5'000'000;
  backend::SimulatedBackend unit({.eeprom = eeprom}, setup);
  sim::SimSystem& system = unit.System();
  const int64_t start = system.Clock().NowNs();
  Figures figures;
  if (!unit.Connect()) return figures;
  device::VendorTransport& transport = unit.Transport();
  production::UnitHooks hooks;
  hooks.serialFor = [](const std::string&, std::string&, bool&) {
    return std::optional<std::string>("VT-000001");
  };
  hooks.transferFailure = [&transport](std::string_view text) {
    return std::string(text) + ": " + transport.LastFaultText();
  };
  production::UnitRecord record;
  bool fatal = false;
  production::ProgramUnit(transport, {&configuration, eeprom, whole}, hooks, record, fatal);
  figures.ok = record.result == "ok";
  if (!figures.ok)
    std::printf("  unit failed: %s %s\n", record.result.c_str(), record.detail.c_str());
  figures.seconds = static_cast<double>(system.Clock().NowNs() - start) * 1e-9;
  figures.requests = system.RequestCount();
  return figures;
}

}  // namespace

int main() {
  const device::EepromType eeprom = *device::FindEepromType("S24C64");
  const auto factory = image::BuildFactoryImage(0x5A52, 0x7731, eeprom.size);
  const auto configuration =
      image::DecodeConfiguration(image::ReadImage(*factory, eeprom.transferLength));
  if (!configuration) return 1;
  bool ok = true;
  for (const bool whole : {false, true}) {
    const Figures f = ProgramOneUnit(*configuration, eeprom, whole);
    ok = ok && f.ok;
    std::printf("%-24s %6llu requests  %6.2f s per unit  %6.1f units per minute\n",
                whole ? "24C64, whole" : "24C64, used part",
                static_cast<unsigned long long>(f.requests), f.seconds, 60.0 / f.seconds);
  }
  return ok ? 0 : 1;
}
