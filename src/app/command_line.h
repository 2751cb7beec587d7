#pragma once

#include <optional>

#include <QString>
#include <QStringList>

#include "app/simulated_device.h"

namespace veltra::app {

struct CommandLine {
  SimulatedDeviceOptions device;
  bool devicePanel = false;     // show the window that unplugs and replugs the simulated device
  QString screenshotDirectory;  // connect, save a picture of every page there, and exit
};

struct CommandLineResult {
  std::optional<CommandLine> options;  // nullopt: exit with exitCode after printing output
  QString output;                      // help or version text (stdout) or the error (stderr)
  int exitCode = 0;
};

// The options that choose the simulated device: --vid, --pid, --eeprom, --capability,
// --latency, --image, and --device-panel; --help and --version answer and exit.
CommandLineResult ParseCommandLine(const QStringList& arguments);

}  // namespace veltra::app
