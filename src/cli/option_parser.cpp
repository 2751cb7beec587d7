#include "cli/option_parser.h"

#include <getopt.h>

#include <string_view>

#include "cli/cli_result.h"

namespace veltra::cli {
namespace {

// Whether "--name" (possibly abbreviated, as getopt_long accepts) is the long form of option id.
bool NamesLongOption(std::span<const OptionDefinition> definitions, const std::string& typedName,
                     int id) {
  const std::string name = typedName.substr(2);
  for (const OptionDefinition& definition : definitions) {
    if (definition.id == id && definition.longName != nullptr &&
        std::string_view(definition.longName).starts_with(name)) {
      return true;
    }
  }
  return false;
}

}  // namespace

ParsedArguments ParseOptions(std::span<const std::string> args,
                             std::span<const OptionDefinition> definitions,
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
  for (const OptionDefinition& definition : definitions) {
    if (definition.shortName != 0) {
      shortOptions += definition.shortName;
      if (definition.takesValue) shortOptions += ':';
    }
    if (definition.longName != nullptr) {
      longOptions.push_back({definition.longName,
                             definition.takesValue ? required_argument : no_argument, nullptr,
                             definition.id});
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
      // A long option's error moves optind past its word, which names the option as typed. An
      // unknown short option inside a cluster ("-zq") leaves optind on the cluster, so the word
      // before it may be another option: only optopt names it then.
      const std::string typed = optind > 0 && optind <= argc ? argv[optind - 1] : "";
      const std::string typedName =
          typed.rfind("--", 0) == 0 ? typed.substr(0, typed.find('=')) : "";
      const bool longError =
          !typedName.empty() &&
          (optopt == 0 || optopt > 0xFF || NamesLongOption(definitions, typedName, optopt));
      const std::string shown =
          longError ? typedName : std::string("-") + static_cast<char>(optopt);
      // glibc reports a value given to an option without one as unknown ('?'), BSD's getopt
      // (MinGW) as a value problem (':'); "--name=" always carries a value otherwise.
      if (longError && optopt != 0 && typed.find('=') != std::string::npos) {
        result.error = "option '" + shown + "' takes no value";
        return result;
      }
      result.error =
          found == '?' ? "unknown option '" + shown + "'" : "option '" + shown + "' needs a value";
      if (found == '?' && optopt >= '0' && optopt <= '9') {
        result.error += " (put -- before negative numbers)";
      }
      return result;
    }
    for (const OptionDefinition& definition : definitions) {
      if (found == definition.id || (definition.shortName != 0 && found == definition.shortName)) {
        result.options.push_back({definition.id, optarg != nullptr ? optarg : ""});
        break;
      }
    }
  }
  for (int i = optind; i < argc; ++i)
    result.operands.emplace_back(argv[static_cast<size_t>(i)]);
  return result;
}

}  // namespace veltra::cli
