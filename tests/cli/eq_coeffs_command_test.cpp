#include "cli/eq_coeffs_command.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_result.h"
#include "cli/dispatch.h"
#include "eq/band_coefficients.h"

namespace veltra::cli {
namespace {

struct Outcome {
  int code;
  std::string out;
  std::string err;
};

Outcome RunEqCoeffs(std::vector<std::string> args) {
  std::ostringstream out, err;
  const int code = RunEqCoeffsCommand(args, out, err);
  return {code, out.str(), err.str()};
}

Outcome RunWholeCli(std::vector<std::string> args) {
  std::ostringstream out, err;
  const int code = RunCli(args, out, err);
  return {code, out.str(), err.str()};
}

std::string WordsLine(int32_t fs, int32_t fc, int32_t bw) {
  const eq::BandWords w = eq::CalcBandCoefficients(fs, fc, bw);
  char line[32];
  std::snprintf(line, sizeof line, "%08X %08X %08X\n", w.A21, w.A31, w.S);
  return line;
}

size_t LineCount(const std::string& text) {
  return std::count(text.begin(), text.end(), '\n');
}

TEST(EqCoeffsCommand, PrintsTheThreeWordsAndNothingElse) {
  const Outcome o = RunEqCoeffs({"100", "70"});
  EXPECT_EQ(o.code, kExitSuccess);
  EXPECT_EQ(o.out, "3F2F0C0F E0CF9124 0067C891\n");
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(RunEqCoeffs({"13000", "5200"}).out, "F339AA7F FEA1D932 0F50EC98\n");
  EXPECT_EQ(RunEqCoeffs({"1000", "0"}).out, WordsLine(48000, 1000, 0));
}

TEST(EqCoeffsCommand, SampleRateOptionInEveryForm) {
  const std::string expected = WordsLine(44100, 100, 70);
  ASSERT_NE(expected, WordsLine(48000, 100, 70));
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--fs", "44100", "100", "70"},
           {"--fs=44100", "100", "70"},
           {"100", "70", "--fs", "44100"},
           {"--fs", "8000", "--fs", "44100", "100", "70"},  // the last one counts
       }) {
    const Outcome o = RunEqCoeffs(args);
    EXPECT_EQ(o.code, kExitSuccess) << args[0];
    EXPECT_EQ(o.out, expected) << args[0];
  }
  EXPECT_EQ(RunEqCoeffs({"--fs", "2", "1", "0"}).code, kExitSuccess);
}

TEST(EqCoeffsCommand, RefusesBadUsageWithOneLineAndNoOutput) {
  const std::vector<std::vector<std::string>> refused = {
      {},
      {"100"},
      {"100", "70", "5"},
      {"100", "100"},  // BW not below FC
      {"100", "170"},
      {"--", "100", "-1"},  // negative bandwidth
      {"--", "-100", "-200"},
      {"--fs", "1", "100", "70"},
      {"--fs", "0", "100", "70"},
      {"--fs", "--", "-48000", "100", "70"},
      {"abc", "70"},
      {"100", "7O"},
      {"100.5", "70"},
      {"1e3", "70"},
      {"+100", "70"},
      {"", "70"},
      {"2147483648", "70"},  // beyond 32 bits
      {"--fs", "x", "100", "70"},
      {"--fs"},
      {"--bogus", "100", "70"},
      {"-x", "100", "70"},
      {"100", "-5"},  // taken for an option
  };
  for (const auto& args : refused) {
    const Outcome o = RunEqCoeffs(args);
    std::string joined;
    for (const auto& a : args)
      joined += "'" + a + "' ";
    EXPECT_EQ(o.code, kExitUsage) << joined;
    EXPECT_EQ(o.out, "") << joined;
    EXPECT_EQ(LineCount(o.err), 1u) << joined << o.err;
    EXPECT_EQ(o.err.rfind("veltra-cli: eq-coeffs: ", 0), 0u) << joined << o.err;
  }
  EXPECT_NE(RunEqCoeffs({"100", "-5"}).err.find("put -- before negative numbers"),
            std::string::npos);
}

TEST(EqCoeffsCommand, UncheckedReachesTheDefinedWordsOfAnyBand) {
  EXPECT_EQ(RunEqCoeffs({"--unchecked", "100", "100"}).out, "00000000 00000000 00000000\n");
  EXPECT_EQ(RunEqCoeffs({"--unchecked", "0", "0"}).out, "00000000 00000000 00000000\n");
  EXPECT_EQ(RunEqCoeffs({"--unchecked", "--fs", "1", "100", "70"}).out,
            "00000000 00000000 00000000\n");
  const Outcome negative = RunEqCoeffs({"--unchecked", "--", "100", "-50"});
  EXPECT_EQ(negative.code, kExitSuccess);
  EXPECT_EQ(negative.out, WordsLine(48000, 100, -50));
  // Valid bands print the same with or without the flag.
  EXPECT_EQ(RunEqCoeffs({"--unchecked", "100", "70"}).out, "3F2F0C0F E0CF9124 0067C891\n");
}

TEST(EqCoeffsCommand, HelpGoesToStandardOutput) {
  const Outcome o = RunEqCoeffs({"--help"});
  EXPECT_EQ(o.code, kExitSuccess);
  EXPECT_NE(o.out.find("Usage: veltra-cli eq-coeffs [--fs HZ] [--unchecked] FC BW"),
            std::string::npos);
  EXPECT_EQ(o.err, "");
}

TEST(EqCoeffsCommand, AnOutputThatCannotBeWrittenIsAFailure) {
  std::ostringstream out, err;
  out.setstate(std::ios::badbit);
  EXPECT_EQ(RunEqCoeffsCommand(std::vector<std::string>{"100", "70"}, out, err), kExitFailure);
  EXPECT_EQ(LineCount(err.str()), 1u);
}

TEST(Dispatch, GlobalOptionsAndCommandWords) {
  const Outcome version = RunWholeCli({"--version"});
  EXPECT_EQ(version.code, kExitSuccess);
  EXPECT_EQ(version.out, std::string("veltra-cli ") + VELTRA_VERSION + "\n");

  const Outcome help = RunWholeCli({"--help"});
  EXPECT_EQ(help.code, kExitSuccess);
  EXPECT_NE(help.out.find("eq-coeffs"), std::string::npos);

  EXPECT_EQ(RunWholeCli({"eq-coeffs", "100", "70"}).out, "3F2F0C0F E0CF9124 0067C891\n");
  // Options after the command word belong to the command.
  EXPECT_EQ(RunWholeCli({"eq-coeffs", "--help"}).out, RunEqCoeffs({"--help"}).out);

  // Every command's help lists each option once.
  for (const char* command : {"export", "import", "diff", "eq-upload", "dump", "regs"}) {
    const std::string text = RunWholeCli({command, "--help"}).out;
    for (const char* option : {"\n  --eeprom ", "\n  --vid ", "\n  --image "}) {
      const size_t first = text.find(option);
      EXPECT_NE(first, std::string::npos) << command << option;
      EXPECT_EQ(text.find(option, first + 1), std::string::npos) << command << option;
    }
  }

  for (const auto& args : std::vector<std::vector<std::string>>{
           {}, {"frobnicate"}, {"--frobnicate"}, {"-q", "eq-coeffs", "100", "70"}}) {
    const Outcome o = RunWholeCli(args);
    EXPECT_EQ(o.code, kExitUsage);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(LineCount(o.err), 1u) << o.err;
  }
}

}  // namespace
}  // namespace veltra::cli
