#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "device/transport.h"
#include "eq/band.h"
#include "eq/factory_defaults.h"
#include "image/configuration.h"
#include "log/diagnostic_log.h"

namespace veltra::cli {

// What a Test button of an EQ page would send for a configuration: the page's bands and the
// gains of the chosen preset, as the page shows them after loading the image.
struct EqUpload {
  bool playback = true;
  uint8_t preset = 0;  // playback only: 0..3 for "00", "01", "10", "11"
  std::array<eq::Band, eq::kBandCount> bands{};
  eq::GainRow gains{};
  // The image holds no band table for the EQ, so the page's factory bands are sent.
  bool factoryBands = false;
};

// nullopt with the reason when the configuration has nothing the page could send: no EQ
// section, a section the page cannot show, or a record EQ that is disabled (its page sends
// nothing then).
std::optional<EqUpload> PlanEqUpload(const image::Configuration& configuration, bool playback,
                                     uint8_t preset, std::string& reason);

// The live upload with its log lines written to log, one per band, and to the stored diagnostic
// log when one is given, as the EQ page's Test writes them.
void SendEqUpload(device::VendorTransport& transport, const EqUpload& upload, std::ostream& log,
                  log::DiagnosticLog* stored = nullptr);

}  // namespace veltra::cli
