#include "platform/vendor_request_trace.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "backend/simulated_backend.h"
#include "device/eeprom_types.h"
#include "device/transport.h"
#include "platform/sim/sim_system.h"

namespace veltra::platform {
namespace {

struct Lines final : TraceSink {
  void Line(std::string_view line) override { lines.emplace_back(line); }
  std::vector<std::string> lines;
};

TEST(VendorRequestTrace, LineFormat) {
  const uint8_t written[] = {0xA0, 0x00, 0x1F};
  const uint8_t none[] = {0};
  const struct {
    int64_t ns;
    VendorPacket packet;
    std::span<const uint8_t> data;
    bool result;
    std::string line;
  } cases[] = {
      {0,
       {.requestCode = 1, .index = 0x80, .length = 3},
       written,
       true,
       "0.000000 1 0x0080 3 A0001F ok"},
      {12'345'678'901,
       {.requestCode = 2, .index = 0xD9, .length = 1},
       std::span(none, 0),
       false,
       "12.345678 2 0x00D9 1 - fail"},
      {999, {.requestCode = 0, .index = 1, .length = 15}, {}, true, "0.000000 0 0x0001 15 - ok"},
      {1'000,
       {.requestCode = 2, .index = 0xFFFF, .length = 1},
       std::span(none, 1),
       true,
       "0.000001 2 0xFFFF 1 00 ok"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FormatTraceLine(c.ns, c.packet, c.data, c.result), c.line);
}

// A known sequence through the tracing driver of the shared back end: the lines carry the
// packets as sent and the bytes as written or received, the failed request included, with
// times that never go back.
TEST(VendorRequestTrace, EveryVendorRequestOfTheBackEndIsOneLine) {
  Lines sink;
  backend::BackendSetup setup = backend::BackendSetup::ForTests();
  setup.trace = &sink;
  backend::SimulatedBackend backend({.eeprom = device::FindEepromType("S24C02")}, setup);
  ASSERT_EQ(sink.lines.size(), 1u);
  EXPECT_EQ(sink.lines[0], kTraceHeader);
  ASSERT_TRUE(backend.Connect());
  sink.lines.clear();

  device::VendorTransport& transport = backend.Transport();
  uint8_t capability = 0;
  ASSERT_EQ(transport.RegisterAccess(false, 0xD9, &capability, 1), 1);
  uint8_t values[2] = {0x12, 0xAB};
  ASSERT_EQ(transport.RegisterAccess(true, 0x40, values, 2), 1);
  backend.System().Faults().failRequest = backend.System().RequestCount() + 1;
  ASSERT_EQ(transport.RegisterAccess(false, 0x41, values, 1), 0);
  ASSERT_EQ(transport.ProbeDevice(), 1);

  const std::vector<std::string> expected = {
      "2 0x00D9 1 34 ok",
      "1 0x0040 2 12AB ok",
      "2 0x0041 1 - fail",
      "0 0x0001 15 - ok",
  };
  ASSERT_EQ(sink.lines.size(), expected.size());
  double previous = 0;
  for (size_t i = 0; i < expected.size(); ++i) {
    const std::string& line = sink.lines[i];
    const size_t blank = line.find(' ');
    ASSERT_NE(blank, std::string::npos) << line;
    EXPECT_EQ(line.substr(blank + 1), expected[i]);
    const double seconds = std::strtod(line.c_str(), nullptr);
    EXPECT_GE(seconds, previous) << line;
    previous = seconds;
  }
  // Each request costs the simulated chip 0.25 ms.
  EXPECT_EQ(sink.lines[1].substr(0, sink.lines[1].find(' ')), [&] {
    const double t = std::strtod(sink.lines[0].c_str(), nullptr) + 0.00025;
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", t);
    return std::string(text);
  }());
}

}  // namespace
}  // namespace veltra::platform
