#include "cli/eq_response_command.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

#include "cli/cli_result.h"
#include "cli/command_options.h"
#include "cli/config_source.h"
#include "cli/eq_coeffs_command.h"
#include "cli/option_parser.h"
#include "device/eeprom_types.h"
#include "document/configuration_json.h"
#include "eq/band.h"
#include "eq/band_coefficients.h"
#include "eq/band_response.h"
#include "image/bin_file.h"
#include "image/configuration.h"
#include "image/image_layout.h"
#include "platform/native_path.h"

namespace veltra::cli {
namespace {

enum OptionId : int { kAt = 300, kImage };

constexpr OptionDefinition kOptions[] = {
    kHelpOption, kJsonOption, kEepromOption, {"at", 0, true, kAt}, {"image", 0, true, kImage}};

constexpr char kHelpText[] =
    "Usage: veltra-cli eq-response [--at HZ,HZ,...] [--json] FC BW\n"
    "       veltra-cli eq-response --image FILE.bin --eeprom TYPE [--at HZ,...] [--json]\n"
    "\n"
    "Prints the magnitude response in dB of the equaliser band with centre frequency\n"
    "FC and bandwidth BW (whole hertz, 0 <= BW < FC), one line per frequency: hertz\n"
    "and dB. The response is that of the coefficient words the EQ pages store for the\n"
    "band at 48000 Hz (eq-coeffs prints them), their rounding included; the band's gain\n"
    "is not part of it. A band whose upper edge reaches 24000 Hz is reported on the\n"
    "error stream: its section is not the band-pass its numbers ask for.\n"
    "\n"
    "With --image, every band of both equalisers of an EEPROM image file, from the\n"
    "words the image stores.\n"
    "\n"
    "Options:\n"
    "  --at HZ,HZ,...   the frequencies, 0 to 24000 Hz (default: 31 from 20 Hz to\n"
    "                   20000 Hz, evenly spaced on a logarithmic scale)\n"
    "  --image FILE     the bands of this image file instead of FC and BW\n"
    "  --eeprom TYPE    with --image: the EEPROM the image is for, S24C02 .. S24C512\n"
    "  --json           print one JSON object instead of text\n"
    "  -h, --help       show this help\n";

constexpr double kMaxHz = eq::kEqSampleRate / 2;
constexpr int kDefaultPoints = 31;

std::vector<double> DefaultFrequencies() {
  std::vector<double> points = eq::LogSpacedFrequencies(20, 20000, kDefaultPoints);
  for (double& hz : points)
    hz = std::round(hz);
  return points;
}

// "HZ,HZ,...": each a decimal number within 0..24000.
std::optional<std::vector<double>> ParseFrequencies(std::string_view text, std::string& error) {
  std::vector<double> points;
  for (size_t start = 0; start <= text.size();) {
    size_t end = text.find(',', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view item = text.substr(start, end - start);
    double hz = 0;
    const auto [stop, problem] = std::from_chars(item.data(), item.data() + item.size(), hz);
    if (item.empty() || problem != std::errc() || stop != item.data() + item.size() ||
        !(hz >= 0 && hz <= kMaxHz)) {
      error = "--at takes frequencies from 0 to 24000 Hz separated by commas, not '" +
              std::string(item) + "'";
      return std::nullopt;
    }
    points.push_back(hz);
    start = end + 1;
  }
  return points;
}

std::string HzText(double hz) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", hz);
  return text;
}

// Two decimals; the zeros at 0 Hz and 24000 Hz have no finite value.
std::string DbText(double dB) {
  if (std::isinf(dB)) return dB < 0 ? "-inf" : "inf";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", dB);
  return text;
}

struct BandReport {
  std::optional<eq::Band> band;  // nullopt: the image stores no band table
  eq::BandWords words;
};

void WritePoints(const eq::BandWords& words, const std::vector<double>& at, std::ostream& out,
                 std::string_view indent) {
  for (double hz : at)
    out << indent << HzText(hz) << ' ' << DbText(eq::BandResponseDb(words, hz)) << '\n';
}

// A frequency as the text shows it: a whole number as one.
document::Json HzJson(double hz) {
  if (hz == std::floor(hz) && std::fabs(hz) < 1e15) return static_cast<int64_t>(hz);
  return hz;
}

// The band's fields into json, then its response at the frequencies, in dB to two decimals as
// the text has them; a zero (no finite value) is null.
void AddJsonBand(document::Json& json, const BandReport& report, const std::vector<double>& at) {
  if (report.band) {
    json["centreHz"] = report.band->centreHz;
    json["bandwidthHz"] = report.band->bandwidthHz;
    json["pastNyquist"] = eq::BandEdgesOf(*report.band).pastNyquist;
  }
  document::Json& points = json["points"] = document::Json::array();
  for (double hz : at) {
    const double dB = eq::BandResponseDb(report.words, hz);
    points.push_back({{"hz", HzJson(hz)},
                      {"db", std::isfinite(dB) ? document::Json(std::round(dB * 100) / 100)
                                               : document::Json(nullptr)}});
  }
}

void WarnPastNyquist(std::ostream& err, std::string_view prefix, std::string_view which,
                     const eq::Band& band) {
  if (!eq::BandEdgesOf(band).pastNyquist) return;
  ReportWarning(err, prefix,
                std::string(which) + std::to_string(band.centreHz) + " Hz, bandwidth " +
                    std::to_string(band.bandwidthHz) +
                    " Hz: the band's edge reaches 24000 Hz, so its section is not the band-pass "
                    "asked for");
}

// One equaliser's bands as the image stores them; empty when the section is not in the image.
std::vector<BandReport> ImageBands(const std::optional<image::EqSection>& section, bool playback) {
  std::vector<BandReport> reports;
  if (!section) return reports;
  const std::optional<image::StoredEq> stored = image::StoredEqOf(*section, playback);
  for (size_t k = 0; k < section->bands.size(); ++k) {
    const std::optional<image::BandTableEntry>& table = section->bands[k].table;
    // Raw bytes shorter than the EQ layout hold no band words: a band with a table entry is
    // shown with the words that entry gives.
    if (!stored && !table) continue;
    const image::BandRecord words = stored ? stored->words[k] : image::BandWordsOf(*table);
    BandReport report;
    if (table) report.band = eq::Band{table->centreFrequency, table->bandwidth};
    report.words = {static_cast<uint32_t>(words.a21), static_cast<uint32_t>(words.a31),
                    static_cast<uint32_t>(words.s)};
    reports.push_back(report);
  }
  return reports;
}

int RunImage(const std::string& path, const device::EepromType& eeprom,
             const std::vector<double>& at, bool json, std::ostream& out, std::ostream& err,
             const std::string& prefix) {
  const image::BinFileRead read =
      image::ReadBinFile(platform::NativePath(path), eeprom.transferLength);
  if (!read.Ok()) return ReportFailure(err, prefix + read.error);
  if (const auto notice = image::BinFileFitNotice(path, read.fileLength, eeprom.transferLength))
    ReportWarning(err, prefix, *notice);
  const std::optional<image::Configuration> configuration =
      image::DecodeConfiguration(image::ReadImage(read.bytes, eeprom.transferLength));
  if (!configuration) return ReportFailure(err, prefix + EmptyImageText(path));

  struct Equaliser {
    const char* name;
    std::vector<BandReport> bands;
  };
  const Equaliser equalisers[] = {{"playback", ImageBands(configuration->playbackEq, true)},
                                  {"record", ImageBands(configuration->recordEq, false)}};
  document::Json all = document::Json::object();
  for (const Equaliser& equaliser : equalisers) {
    document::Json& bands = all[equaliser.name] = document::Json::array();
    for (size_t k = 0; k < equaliser.bands.size(); ++k) {
      const BandReport& report = equaliser.bands[k];
      const std::string which = std::string(equaliser.name) + " band " + std::to_string(k + 1);
      if (report.band) WarnPastNyquist(err, prefix, which + ": ", *report.band);
      if (json) {
        document::Json band = {{"band", k + 1}};
        AddJsonBand(band, report, at);
        bands.push_back(std::move(band));
        continue;
      }
      out << which;
      if (report.band)
        out << ": " << report.band->centreHz << " Hz, bandwidth " << report.band->bandwidthHz
            << " Hz";
      out << '\n';
      WritePoints(report.words, at, out, "  ");
    }
  }
  if (json) out << document::JsonLine(all) << '\n';
  return FinishOutput(out, err, prefix);
}

}  // namespace

int RunEqResponseCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  const ParsedArguments parsed = ParseOptions(args, kOptions, false);
  const std::string prefix = std::string(kEqResponseName) + ": ";
  if (!parsed.error.empty()) return ReportUsageError(err, prefix + parsed.error);

  bool json = false;
  std::optional<std::string> imagePath;
  std::optional<std::string> eepromName;
  std::vector<double> at = DefaultFrequencies();
  for (const ParsedOption& option : parsed.options) {
    switch (option.id) {
      case kOptionHelp:
        out << kHelpText;
        return FinishOutput(out, err, prefix);
      case kOptionJson:
        json = true;
        break;
      case kOptionEeprom:
        eepromName = option.value;
        break;
      case kImage:
        imagePath = option.value;
        break;
      case kAt: {
        std::string error;
        auto points = ParseFrequencies(option.value, error);
        if (!points) return ReportUsageError(err, prefix + error);
        at = std::move(*points);
        break;
      }
    }
  }

  if (imagePath) {
    if (!parsed.operands.empty())
      return ReportUsageError(err, prefix + "takes FC and BW or --image, not both");
    if (!eepromName) return ReportUsageError(err, prefix + MissingEepromText());
    const std::optional<device::EepromType> eeprom = device::FindEepromType(*eepromName);
    if (!eeprom)
      return ReportUsageError(
          err, prefix + "unknown EEPROM type '" + *eepromName + "'; " + MissingEepromText());
    return RunImage(*imagePath, *eeprom, at, json, out, err, prefix);
  }
  if (eepromName) return ReportUsageError(err, prefix + "--eeprom goes with --image");
  int code = kExitSuccess;
  const std::optional<eq::Band> parsedBand = ParseBandOperands(parsed.operands, prefix, err, code);
  if (!parsedBand) return code;
  const eq::Band band = *parsedBand;
  if (band.bandwidthHz < 0 || band.bandwidthHz >= band.centreHz) {
    return ReportUsageError(err, prefix + "the band needs 0 <= BW < FC, not FC " +
                                     std::to_string(band.centreHz) + " BW " +
                                     std::to_string(band.bandwidthHz));
  }

  const BandReport report{
      band, eq::CalcBandCoefficients(eq::kEqSampleRate, band.centreHz, band.bandwidthHz)};
  WarnPastNyquist(err, prefix, "", band);
  if (json) {
    document::Json band = document::Json::object();
    AddJsonBand(band, report, at);
    out << document::JsonLine(band) << '\n';
  } else {
    WritePoints(report.words, at, out, "");
  }
  return FinishOutput(out, err, prefix);
}

}  // namespace veltra::cli
