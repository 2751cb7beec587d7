#pragma once

#include <optional>

#include <QString>
#include <QStringList>

#include "backend/device_options.h"

namespace veltra::app {

struct CommandLine {
  backend::DeviceOptions device;  // eeprom always set: S24C64 unless given
  bool devicePanel = false;       // show the window that unplugs and replugs the simulated device
  QString screenshotDirectory;    // connect, save a picture of every page there, and exit
  bool usedOnly = false;          // Save EEPROM writes only the part of the EEPROM the image uses
};

struct CommandLineResult {
  std::optional<CommandLine> options;  // nullopt: exit with exitCode after printing output
  QString output;                      // help or version text (stdout) or the error (stderr)
  int exitCode = 0;
};

// The device options every front end takes (--vid, --pid, --eeprom, --capability, --latency,
// --image, with the rules of backend::SetDeviceOption), --device-panel, --screenshots and
// --used-only; --help and --version answer and exit.
CommandLineResult ParseCommandLine(const QStringList& arguments);

}  // namespace veltra::app
