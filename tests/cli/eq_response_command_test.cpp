#include "cli/eq_response_command.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_result.h"
#include "cli_test_support.h"
#include "image/factory_image.h"

namespace veltra::cli {
namespace {

using testing::IsJson;
using testing::LineCount;
using testing::Outcome;
using testing::RunCommand;
using testing::TempDir;
using testing::WriteFile;

// "HZ DB" lines into pairs; DB "-inf" as -1e9.
std::vector<std::pair<double, double>> Points(const std::string& text) {
  std::vector<std::pair<double, double>> points;
  std::istringstream lines(text);
  std::string hz, dB;
  while (lines >> hz >> dB)
    points.emplace_back(std::stod(hz), dB == "-inf" ? -1e9 : std::stod(dB));
  return points;
}

TEST(EqResponseCommand, PrintsHertzAndDbAtTheGivenFrequencies) {
  const Outcome o = RunCommand(RunEqResponseCommand, {"--at", "1000,0,24000,300", "1000", "620"});
  EXPECT_EQ(o.code, kExitSuccess) << o.err;
  EXPECT_EQ(o.err, "");
  const auto points = Points(o.out);
  ASSERT_EQ(points.size(), 4u) << o.out;
  EXPECT_EQ(points[0].first, 1000);
  EXPECT_NEAR(points[0].second, 0.0, 0.05);
  EXPECT_EQ(points[1].second, -1e9);  // the zeros at 0 Hz and Nyquist
  EXPECT_EQ(points[2].second, -1e9);
  EXPECT_LT(points[3].second, -6);

  // The default: 31 frequencies from 20 Hz to 20 kHz.
  const auto defaults = Points(RunCommand(RunEqResponseCommand, {"100", "70"}).out);
  ASSERT_EQ(defaults.size(), 31u);
  EXPECT_EQ(defaults.front().first, 20);
  EXPECT_EQ(defaults.back().first, 20000);
}

TEST(EqResponseCommand, JsonHasThePointsAndNyquistMark) {
  const Outcome o = RunCommand(RunEqResponseCommand, {"--json", "--at", "1000,0", "1000", "620"});
  EXPECT_EQ(o.code, kExitSuccess) << o.err;
  EXPECT_TRUE(IsJson(o.out)) << o.out;
  EXPECT_NE(o.out.find("\"pastNyquist\":false"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("\"points\":[{\"hz\":1000,\"db\":"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("{\"hz\":0,\"db\":null}"), std::string::npos) << o.out;

  // A band whose edge passes 24 kHz is answered, with a warning.
  const Outcome past = RunCommand(RunEqResponseCommand, {"--json", "13000", "12000"});
  EXPECT_EQ(past.code, kExitSuccess);
  EXPECT_NE(past.out.find("\"pastNyquist\":true"), std::string::npos);
  EXPECT_EQ(LineCount(past.err), 1u) << past.err;
}

TEST(EqResponseCommand, EveryBandOfBothEqualisersOfAnImage) {
  TempDir dir;
  const std::string file = dir.File("factory.bin");
  WriteFile(file, *image::BuildFactoryImage(0x1234, 0xABCD, 8192));
  const Outcome text =
      RunCommand(RunEqResponseCommand, {"--image", file, "--eeprom", "S24C64", "--at", "1000"});
  EXPECT_EQ(text.code, kExitSuccess) << text.err;
  EXPECT_NE(text.out.find("playback band 3: 1000 Hz, bandwidth 620 Hz\n  1000 "), std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find("record band 5: 13000 Hz, bandwidth 5200 Hz\n"), std::string::npos);
  EXPECT_EQ(LineCount(text.out), 20u);

  const Outcome json = RunCommand(RunEqResponseCommand,
                                  {"--image", file, "--eeprom", "24C64", "--json", "--at", "50"});
  EXPECT_TRUE(IsJson(json.out)) << json.out;
  EXPECT_NE(json.out.find("{\"playback\":[{\"band\":1,\"centreHz\":100,\"bandwidthHz\":70,"),
            std::string::npos)
      << json.out;
}

TEST(EqResponseCommand, RefusesWhatItCannotAnswer) {
  TempDir dir;
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"100", "100"},
           {"100"},
           {"--at", "30000", "100", "70"},
           {"--at", "100,,200", "100", "70"},
           {"--image", dir.File("x.bin")},
           {"--eeprom", "S24C64", "100", "70"},
           {"--image", dir.File("x.bin"), "--eeprom", "S24C64", "100", "70"}}) {
    const Outcome o = RunCommand(RunEqResponseCommand, args);
    EXPECT_EQ(o.code, kExitUsage) << args.front();
    EXPECT_EQ(LineCount(o.err), 1u) << o.err;
  }
  const Outcome missing =
      RunCommand(RunEqResponseCommand, {"--image", dir.File("missing.bin"), "--eeprom", "S24C64"});
  EXPECT_EQ(missing.code, kExitFailure);
}

}  // namespace
}  // namespace veltra::cli
