#include "cli/option_parser.h"

#include <getopt.h>

#include "cli/cli_result.h"

namespace veltra::cli {

ParsedArguments ParseOptions(std::span<const std::string> args, std::span<const OptionSpec> specs,
                             bool stopAtFirstOperand) {
  // getopt_long may permute its argument vector, so it works on copies.
  std::vector<std::string> storage;
  storage.reserve(args.size() + 1);
  storage.emplace_back(kProgramName);
  storage.insert(storage.end(), args.begin(), args.end());
  std::vector<char*> argv;
  argv.reserve(storage.size() + 1);
  for (std::string& arg : storage)
    argv.push_back(arg.data());
  argv.push_back(nullptr);

  // '+' stops at the first operand, ':' reports a missing value apart from an unknown option.
  std::string shortOptions = stopAtFirstOperand ? "+:" : ":";
  std::vector<option> longOptions;
  for (const OptionSpec& spec : specs) {
    if (spec.shortName != 0) {
      shortOptions += spec.shortName;
      if (spec.takesValue) shortOptions += ':';
    }
    if (spec.longName != nullptr) {
      longOptions.push_back(
          {spec.longName, spec.takesValue ? required_argument : no_argument, nullptr, spec.id});
    }
  }
  longOptions.push_back({nullptr, 0, nullptr, 0});

  ParsedArguments result;
  const int argc = static_cast<int>(storage.size());
  optind = 0;  // glibc: start afresh, forgetting any earlier scan
  opterr = 0;
  for (;;) {
    int longIndex = -1;
    const int found =
        getopt_long(argc, argv.data(), shortOptions.c_str(), longOptions.data(), &longIndex);
    if (found == -1) break;
    if (found == '?' || found == ':') {
      // optind has moved past the offending word, which names the option as typed.
      const std::string typed = optind > 0 && optind <= argc ? argv[optind - 1] : "";
      const std::string shown = optopt != 0 && typed.rfind("--", 0) != 0
                                    ? std::string("-") + static_cast<char>(optopt)
                                    : typed.substr(0, typed.find('='));
      result.error =
          found == '?' ? "unknown option '" + shown + "'" : "option '" + shown + "' needs a value";
      if (found == '?' && optopt >= '0' && optopt <= '9') {
        result.error += " (put -- before negative numbers)";
      }
      return result;
    }
    for (const OptionSpec& spec : specs) {
      if (found == spec.id || (spec.shortName != 0 && found == spec.shortName)) {
        result.options.push_back({spec.id, optarg != nullptr ? optarg : ""});
        break;
      }
    }
  }
  for (int i = optind; i < argc; ++i)
    result.operands.emplace_back(argv[static_cast<size_t>(i)]);
  return result;
}

}  // namespace veltra::cli
