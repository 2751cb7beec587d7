#include "cli/option_parser.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_result.h"
#include "cli/dispatch.h"

namespace veltra::cli {
namespace {

constexpr OptionDefinition kDefinitions[] = {
    {"help", 'h', false, 'h'},
    {"json", 0, false, 256},
    {"eeprom", 0, true, 257},
};

std::string ErrorOf(std::vector<std::string> args) {
  return ParseOptions(args, kDefinitions, false).error;
}

// The reason must name the option the user got wrong, never a neighbouring one.
TEST(OptionParserTest, ErrorsNameTheOffendingOptionAsTyped) {
  const struct {
    std::vector<std::string> args;
    std::string error;
  } cases[] = {
      {{"--json", "-zq", "f.bin"}, "unknown option '-z'"},
      {{"--eeprom=S24C02", "-zq"}, "unknown option '-z'"},
      {{"--help", "-hz"}, "unknown option '-z'"},
      {{"-z"}, "unknown option '-z'"},
      {{"--json", "--frob"}, "unknown option '--frob'"},
      {{"--frob=1"}, "unknown option '--frob'"},
      {{"--json=1"}, "option '--json' takes no value"},
      {{"--help=1"}, "option '--help' takes no value"},
      {{"--json", "--eeprom"}, "option '--eeprom' needs a value"},
      {{"-3"}, "unknown option '-3' (put -- before negative numbers)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.front());
    EXPECT_EQ(ErrorOf(c.args), c.error);
  }
}

TEST(OptionParserTest, OptionsAndOperandsInOrder) {
  const std::vector<std::string> args{"a.bin", "--eeprom", "S24C02", "--json", "--", "-1"};
  const ParsedArguments parsed = ParseOptions(args, kDefinitions, false);
  ASSERT_EQ(parsed.error, "");
  ASSERT_EQ(parsed.options.size(), 2u);
  EXPECT_EQ(parsed.options[0].id, 257);
  EXPECT_EQ(parsed.options[0].value, "S24C02");
  EXPECT_EQ(parsed.options[1].id, 256);
  EXPECT_EQ(parsed.operands, (std::vector<std::string>{"a.bin", "-1"}));
}

// What the user typed is quoted in the reason; a line break or a terminal control character in
// it must not break the one line a script reads (found by the command-line fuzzer).
TEST(OptionParserTest, ARefusalQuotingControlCharactersStaysOneLine) {
  const struct {
    std::vector<std::string> args;
    std::string line;
  } cases[] = {
      {{"read", "--eeprom", "S24C02\nX"},
       "veltra-cli: read: --eeprom needs one of S24C02, S24C04, S24C08, S24C16, S24C32, S24C64, "
       "S24C128, S24C256, S24C512, not 'S24C02\\nX'\n"},
      {{"read", "--fo\ro"}, "veltra-cli: read: unknown option '--fo\\ro'\n"},
      {{"dump", "--vid", "\x1b[2J"},
       "veltra-cli: dump: --vid needs a hexadecimal number from 0 to FFFF, not '\\x1B[2J'\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[1]);
    std::ostringstream out, err;
    EXPECT_EQ(RunCli(c.args, out, err), kExitUsage);
    EXPECT_EQ(err.str(), c.line);
  }
}

}  // namespace
}  // namespace veltra::cli
