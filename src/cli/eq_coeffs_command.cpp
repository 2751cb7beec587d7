#include "cli/eq_coeffs_command.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>

#include "cli/cli_result.h"
#include "cli/option_parser.h"
#include "eq/band.h"
#include "eq/band_coefficients.h"

namespace veltra::cli {
namespace {

enum OptionId : int { kHelp = 'h', kSampleRate = 256, kUnchecked };

constexpr OptionDefinition kOptions[] = {
    {"help", 'h', false, kHelp},
    {"fs", 0, true, kSampleRate},
    {"unchecked", 0, false, kUnchecked},
};

constexpr char kHelpText[] =
    "Usage: veltra-cli eq-coeffs [--fs HZ] [--unchecked] FC BW\n"
    "\n"
    "Prints the coefficient words A21, A31 and S of the equaliser band with centre\n"
    "frequency FC and bandwidth BW (whole hertz), each as eight hexadecimal digits.\n"
    "\n"
    "Options:\n"
    "  --fs HZ       sample rate in hertz (default 48000, at least 2)\n"
    "  --unchecked   accept any band and sample rate; values the design cannot\n"
    "                compute give the word 00000000\n"
    "  -h, --help    show this help\n"
    "\n"
    "The band must satisfy 0 <= BW < FC. Put -- before negative values:\n"
    "  veltra-cli eq-coeffs --unchecked -- 100 -50\n";

}  // namespace

std::optional<int32_t> ParseHertz(std::string_view text) {
  int32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
  return value;
}

std::optional<eq::Band> ParseBandOperands(std::span<const std::string> operands,
                                          const std::string& prefix, std::ostream& err, int& code) {
  if (operands.size() != 2) {
    code = ReportUsageError(
        err, prefix + (operands.size() < 2 ? "needs the centre frequency FC and bandwidth BW"
                                           : "takes only FC and BW"));
    return std::nullopt;
  }
  const std::optional<int32_t> fc = ParseHertz(operands[0]);
  const std::optional<int32_t> bw = ParseHertz(operands[1]);
  if (!fc || !bw) {
    code =
        ReportUsageError(err, prefix + (fc ? "BW" : "FC") + " is not a whole number of hertz: '" +
                                  operands[fc ? 1 : 0] + "'");
    return std::nullopt;
  }
  return eq::Band{*fc, *bw};
}

int RunEqCoeffsCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  const ParsedArguments parsed = ParseOptions(args, kOptions, false);
  const std::string prefix = std::string(kEqCoeffsName) + ": ";
  if (!parsed.error.empty()) return ReportUsageError(err, prefix + parsed.error);

  std::string sampleRateText = std::to_string(eq::kEqSampleRate);
  bool unchecked = false;
  for (const ParsedOption& option : parsed.options) {
    switch (option.id) {
      case kHelp:
        out << kHelpText;
        out.flush();
        return out ? kExitSuccess : ReportFailure(err, prefix + "cannot write to standard output");
      case kSampleRate:
        sampleRateText = option.value;
        break;
      case kUnchecked:
        unchecked = true;
        break;
    }
  }

  int code = kExitSuccess;
  const std::optional<eq::Band> band = ParseBandOperands(parsed.operands, prefix, err, code);
  if (!band) return code;
  const std::optional<int32_t> fs = ParseHertz(sampleRateText);
  if (!fs)
    return ReportUsageError(
        err, prefix + "--fs is not a whole number of hertz: '" + sampleRateText + "'");
  const auto [fc, bw] = *band;
  if (!unchecked) {
    if (*fs < 2) {
      return ReportUsageError(
          err, prefix + "the sample rate must be at least 2 Hz, not " + std::to_string(*fs));
    }
    if (bw < 0 || bw >= fc) {
      return ReportUsageError(err, prefix + "the band needs 0 <= BW < FC, not FC " +
                                       std::to_string(fc) + " BW " + std::to_string(bw));
    }
  }

  const eq::BandWords words = eq::CalcBandCoefficients(*fs, fc, bw);
  char line[32];
  std::snprintf(line, sizeof line, "%08X %08X %08X\n", static_cast<unsigned>(words.A21),
                static_cast<unsigned>(words.A31), static_cast<unsigned>(words.S));
  out << line;
  out.flush();
  return out ? kExitSuccess : ReportFailure(err, prefix + "cannot write to standard output");
}

}  // namespace veltra::cli
