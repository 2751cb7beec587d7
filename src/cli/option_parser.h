#pragma once

#include <span>
#include <string>
#include <vector>

namespace veltra::cli {

struct OptionDefinition {
  const char* longName;
  char shortName;  // 0: long form only
  bool takesValue;
  int id;  // the short name's character, or 256 and up for long-only options
};

struct ParsedOption {
  int id = 0;
  std::string value;
};

struct ParsedArguments {
  std::vector<ParsedOption> options;  // in command-line order
  std::vector<std::string> operands;
  std::string error;  // non-empty: the one-line reason the command line was refused
};

// getopt_long over an argument list (without the program or command name). "--" ends the
// options. With stopAtFirstOperand everything from the first operand on is left as operands,
// so a command word keeps its own options; otherwise options and operands may be mixed. The
// parser's global state is reset on every call and it prints nothing itself.
ParsedArguments ParseOptions(std::span<const std::string> args,
                             std::span<const OptionDefinition> definitions,
                             bool stopAtFirstOperand);

}  // namespace veltra::cli
