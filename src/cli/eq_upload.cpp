#include "cli/eq_upload.h"

#include <string_view>

#include "eq/live_upload.h"
#include "log/diagnostic_log.h"

namespace veltra::cli {

namespace {

// The log's debugger output, on the command's stream: the bare lines of the upload; and each
// line also to the stored log when there is one.
class StreamDebugOutput final : public platform::DebugOutput {
 public:
  StreamDebugOutput(std::ostream& out, log::DiagnosticLog* stored) : out_(out), stored_(stored) {}
  void Write(std::string_view text) override {
    out_ << text;
    if (stored_ != nullptr) stored_->LogPrintf("%.*s", static_cast<int>(text.size()), text.data());
  }

 private:
  std::ostream& out_;
  log::DiagnosticLog* stored_;
};

// The log writes to the debugger output only while it has a file name; nothing is ever
// written to this one.
class NoLogFile final : public platform::LogFileStore {
 public:
  const std::string& Path() const override { return path_; }
  void Delete() override {}
  bool Append(std::string_view) override { return false; }

 private:
  std::string path_ = "(standard output)";
};

class NoTime final : public log::LocalTimeSource {
 public:
  log::LocalTime Now() override { return {}; }
};

}  // namespace

std::optional<EqUpload> PlanEqUpload(const image::Configuration& c, bool playback, uint8_t preset,
                                     std::string& reason) {
  const std::optional<image::EqSection>& section = playback ? c.playbackEq : c.recordEq;
  const std::string name = playback ? "playback EQ" : "record EQ";
  if (!section) {
    reason = "the configuration has no " + name + " section";
    return std::nullopt;
  }
  if (section->raw) {
    reason = "the " + name + " section is not the layout the EQ page shows (" +
             std::to_string(section->raw->bytes.size()) + " bytes)";
    return std::nullopt;
  }
  // The Record EQ page's Test does nothing while its "Disable EQ" box is checked.
  if (!playback && !c.header.recordEqEnabled) {
    reason = "the record EQ is disabled (header byte 8 bit 6 is clear)";
    return std::nullopt;
  }
  EqUpload upload;
  upload.playback = playback;
  upload.preset = playback ? preset : 0;
  const size_t row = playback ? preset : 0;
  if (row >= section->gains.size()) {
    reason = "the " + name + " section has no gain row " + std::to_string(row);
    return std::nullopt;
  }
  upload.gains = section->gains[row];
  // A page without a band table keeps its factory bands, as the EQ pages do.
  const std::array<eq::Band, eq::kBandCount> factory = eq::DefaultBands();
  for (size_t k = 0; k < upload.bands.size(); ++k) {
    const auto& table = section->bands[k].table;
    if (table) {
      upload.bands[k] = {table->centreFrequency, table->bandwidth};
    } else {
      upload.bands[k] = factory[k];
      upload.factoryBands = true;
    }
  }
  return upload;
}

void SendEqUpload(device::VendorTransport& transport, const EqUpload& upload, std::ostream& log,
                  log::DiagnosticLog* stored) {
  StreamDebugOutput debug(log, stored);
  NoLogFile file;
  NoTime time;
  log::DiagnosticLog diagnostic({true, log::LogType::kDebugger}, file, debug, time);
  if (upload.playback) {
    eq::UploadPlaybackEq(transport, diagnostic, upload.bands, upload.gains, upload.preset);
  } else {
    eq::UploadRecordEq(transport, diagnostic, upload.bands, upload.gains);
  }
}

}  // namespace veltra::cli
