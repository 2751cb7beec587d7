#pragma once

#include <gtest/gtest.h>
#ifdef _WIN32
#include <process.h>
#endif

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "backend/device_options.h"
#include "cli/device_session.h"
#include "cli/diff_command.h"
#include "cli/dump_command.h"
#include "cli/eq_upload_command.h"
#include "cli/erase_command.h"
#include "cli/export_command.h"
#include "cli/import_command.h"
#include "cli/load_command.h"
#include "cli/read_command.h"
#include "cli/regs_command.h"
#include "cli/verify_command.h"
#include "test_files.h"

namespace veltra::cli::testing {

struct Outcome {
  int code = -1;
  std::string out;
  std::string err;
};

using CommandFunction = int (*)(std::span<const std::string>, std::ostream&, std::ostream&);
using DeviceCommandFunction = int (*)(std::span<const std::string>, std::ostream&, std::ostream&,
                                      const DeviceHook&);

// The tests' device commands work on the simulator: where the tool reaches real chips by
// default, they say so. A first word, so that "--" among the arguments keeps its meaning.
inline std::vector<std::string> OnSimulator(const std::vector<std::string>& args) {
  if (!backend::kHasHardwareBackend) return args;
  std::vector<std::string> simulated{"--simulated"};
  simulated.insert(simulated.end(), args.begin(), args.end());
  return simulated;
}

// A command function run with its own streams; a device command with a hook on its machine.
inline Outcome RunCommand(CommandFunction run, const std::vector<std::string>& args) {
  // The commands that take the device options.
  static constexpr CommandFunction kDeviceCommands[] = {
      RunReadCommand, RunDumpCommand,   RunLoadCommand,   RunEraseCommand, RunVerifyCommand,
      RunRegsCommand, RunExportCommand, RunImportCommand, RunDiffCommand,  RunEqUploadCommand};
  const bool device = std::find(std::begin(kDeviceCommands), std::end(kDeviceCommands), run) !=
                      std::end(kDeviceCommands);
  std::ostringstream out, err;
  const int code = run(device ? OnSimulator(args) : args, out, err);
  return {code, out.str(), err.str()};
}

// As the tool starts a device command: --simulated only where the test gives it.
inline Outcome RunCommandAsGiven(CommandFunction run, const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int code = run(args, out, err);
  return {code, out.str(), err.str()};
}

inline Outcome RunCommand(DeviceCommandFunction run, const std::vector<std::string>& args,
                          const DeviceHook& hook) {
  std::ostringstream out, err;
  const int code = run(OnSimulator(args), out, err, hook);
  return {code, out.str(), err.str()};
}

inline size_t LineCount(const std::string& text) {
  return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

using ::veltra::test_files::ReadFile;
using ::veltra::test_files::ScopedEnv;
using ::veltra::test_files::TempDir;
using ::veltra::test_files::WriteFile;

// The variable that places the per-user data directory.
#ifdef _WIN32
inline constexpr char kDataHomeVariable[] = "LOCALAPPDATA";
#else
inline constexpr char kDataHomeVariable[] = "XDG_DATA_HOME";
#endif

// True when text is exactly one JSON value (RFC 8259 grammar, strings checked for escapes and
// control characters; UTF-8 is taken as it comes).
bool IsJson(std::string_view text);

}  // namespace veltra::cli::testing
