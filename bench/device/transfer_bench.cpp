// Whole-EEPROM transfers of a 24C512 through the simulated chip: requests per transfer and per
// byte, the tool's own CPU time per request, and the virtual bus time the transfer would take
// at 1 ms per request. Exits non-zero when a transfer issues more requests than the protocol
// needs.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>

#include "backend/simulated_backend.h"
#include "device/eeprom_types.h"
#include "device/transport.h"
#include "platform/sim/sim_system.h"

namespace {

using namespace veltra;

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

struct Figures {
  uint64_t requests;
  double cpuSeconds;
  double virtualSeconds;
};

template <typename Fn>
Figures Measure(sim::SimSystem& system, Fn&& transfer) {
  const uint64_t requests = system.RequestCount();
  const int64_t virtualStart = system.Clock().NowNs();
  const double cpu = CpuSeconds();
  transfer();
  return {system.RequestCount() - requests, CpuSeconds() - cpu,
          static_cast<double>(system.Clock().NowNs() - virtualStart) * 1e-9};
}

bool Report(const char* what, const Figures& f, uint32_t bytes, uint64_t protocolRequests) {
  std::printf("%-34s %7llu requests  %6.3f requests/byte  %6.2f us CPU/request  %7.2f s virtual\n",
              what, static_cast<unsigned long long>(f.requests),
              static_cast<double>(f.requests) / bytes, f.cpuSeconds * 1e6 / f.requests,
              f.virtualSeconds);
  if (protocolRequests != 0 && f.requests != protocolRequests) {
    std::printf("  expected exactly %llu requests\n",
                static_cast<unsigned long long>(protocolRequests));
    return false;
  }
  return true;
}

backend::BackendSetup Setup(const backend::SimulatedTiming& timing) {
  backend::BackendSetup setup = backend::BackendSetup::ForTests();
  setup.requestLog = false;
  setup.timing = timing;
  return setup;
}

// A 24C512 device on its own simulated system, connected, with the request log off.
struct Bench {
  explicit Bench(const backend::SimulatedTiming& timing)
      : backend({.eeprom = device::FindEepromType("S24C512")}, Setup(timing)) {
    backend.Connect();
  }

  backend::SimulatedBackend backend;
  sim::SimSystem& system = backend.System();
  device::VendorTransport& transport = backend.Transport();
};

}  // namespace

int main() {
  constexpr uint32_t kSize = 65536;
  constexpr uint32_t kLength = kSize - 1;
  constexpr uint32_t kChunks = (kLength + 15) / 16;
  bool ok = true;

  // Ideal bus: 1 ms per request, every command done by its first status poll, no write-cycle
  // wait. This is the protocol's own count: 4 opening/closing requests, then 5 per read chunk
  // (idle, record, command, status, data) and 4 per write chunk (idle, record, command, status).
  {
    backend::SimulatedTiming timing;
    timing.requestCostNs = 1'000'000;
    timing.writeCycleNs = 0;
    Bench bench(timing);
    auto& system = bench.system;
    auto& transport = bench.transport;
    std::vector<uint8_t> buffer(kLength, 0xA5);

    ok &=
        Report("24C512 write, 1 ms/request",
               Measure(system, [&] { transport.EepromTransfer(true, 0, buffer.data(), kLength); }),
               kLength, 4 + 4ull * kChunks);
    ok &=
        Report("24C512 read, 1 ms/request",
               Measure(system, [&] { transport.EepromTransfer(false, 0, buffer.data(), kLength); }),
               kLength, 4 + 5ull * kChunks);
  }

  // A real part: tWR 5 ms on a fast host (0.25 ms per request). Writes knock on the busy part
  // until it answers; the extra requests are the write cycles, not overhead.
  {
    Bench bench(backend::SimulatedTiming{});
    auto& system = bench.system;
    auto& transport = bench.transport;
    std::vector<uint8_t> buffer(kLength, 0x5A);
    Report("24C512 write, tWR 5 ms, 0.25 ms/req",
           Measure(system, [&] { transport.EepromTransfer(true, 0, buffer.data(), kLength); }),
           kLength, 0);
  }
  return ok ? 0 : 1;
}
