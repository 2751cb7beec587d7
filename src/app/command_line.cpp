#include "app/command_line.h"

#include <vector>

#include <QCommandLineParser>
#include <QFileInfo>
#include <QRegularExpression>

namespace veltra::app {

namespace {

CommandLineResult Error(const QString& text) {
  CommandLineResult result;
  result.output = QStringLiteral("veltra-config: %1\nTry 'veltra-config --help'.\n").arg(text);
  result.exitCode = 2;
  return result;
}

}  // namespace

CommandLineResult ParseCommandLine(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Configuration tool for Veltra USB audio codec chips. %1 a simulated device: "
                     "VID 5A52, PID 7731, a 24C64 EEPROM holding a factory image, chip register "
                     "0xD9 = 0x34 (both equalisers).")
          .arg(backend::kHasHardwareBackend
                   ? QStringLiteral("It works on the chip through the vendor driver, or with "
                                    "--simulated on")
                   : QStringLiteral("Without the vendor driver it runs on")));
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption version = parser.addVersionOption();
  // The device options as every front end defines them; their values are checked below by
  // the same rules.
  std::vector<QCommandLineOption> deviceOptions;
  for (const backend::DeviceOptionDefinition& definition : backend::kDeviceOptions) {
    QString description = QString::fromUtf8(definition.help);
    if (definition.id == backend::DeviceOption::kEeprom)
      description += QStringLiteral(" (default %1)")
                         .arg(QLatin1String(backend::kDefaultEeprom.name.data(),
                                            backend::kDefaultEeprom.name.size()));
    // Written as the toolkit's own help lines are: a sentence.
    description[0] = description[0].toUpper();
    description += QLatin1Char('.');
    deviceOptions.emplace_back(
        QString::fromLatin1(definition.name), description,
        definition.valueName != nullptr ? QString::fromLatin1(definition.valueName) : QString());
    parser.addOption(deviceOptions.back());
  }
  const QCommandLineOption panel(
      QStringLiteral("device-panel"),
      QStringLiteral("Show a small window that unplugs and replugs the simulated device."));
  const QCommandLineOption screenshots(
      QStringLiteral("screenshots"),
      QStringLiteral("Connect to the simulated device, save a PNG of the window on every page "
                     "into DIR, and exit."),
      QStringLiteral("DIR"));
  const QCommandLineOption usedOnly(
      QStringLiteral("used-only"),
      QStringLiteral("Save EEPROM writes only the part of the EEPROM the image uses (the "
                     "directory, the sections and both tail-record places) instead of the whole "
                     "EEPROM, and leaves the rest as it was."));
  parser.addOptions({panel, screenshots, usedOnly});

  if (!parser.parse(arguments)) return Error(parser.errorText());
  if (parser.isSet(help)) {
    // The usage line names the program even before the application object exists.
    QString text = parser.helpText();
    text.replace(QRegularExpression(QStringLiteral("^Usage: [^\\n]*")),
                 QStringLiteral("Usage: veltra-config [options]"));
    return CommandLineResult{std::nullopt, text, 0};
  }
  if (parser.isSet(version)) {
    return CommandLineResult{
        std::nullopt, QStringLiteral("veltra-config %1\n").arg(QStringLiteral(VELTRA_VERSION)), 0};
  }
  if (!parser.positionalArguments().isEmpty())
    return Error(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments()[0]));

  CommandLine line;
  // The GUI's own default for the EEPROM, which veltra-cli leaves to the user.
  line.device.eeprom = backend::kDefaultEeprom;
  std::vector<backend::DeviceOption> given;
  for (size_t i = 0; i < backend::kDeviceOptions.size(); ++i) {
    if (!parser.isSet(deviceOptions[i])) continue;
    // The last of a repeated option counts, as in veltra-cli; an option without a value has
    // none to take.
    const QStringList values = parser.values(deviceOptions[i]);
    const QString value = values.isEmpty() ? QString() : values.constLast();
    const std::string refusal =
        backend::SetDeviceOption(backend::kDeviceOptions[i].id, value.toStdString(), line.device);
    if (!refusal.empty()) return Error(QString::fromStdString(refusal));
    given.push_back(backend::kDeviceOptions[i].id);
  }
  if (const std::string refusal = backend::CheckGivenDeviceOptions(given); !refusal.empty())
    return Error(QString::fromStdString(refusal));
  if (!line.device.imageFile.empty()) {
    line.device.imageFile =
        QFileInfo(QString::fromStdString(line.device.imageFile)).absoluteFilePath().toStdString();
  }
  line.devicePanel = parser.isSet(panel);
  // The panel unplugs a simulated device; a chip is unplugged by hand.
  if (line.devicePanel && backend::kHasHardwareBackend && !line.device.simulated)
    return Error(QStringLiteral("--device-panel needs --simulated"));
  if (parser.isSet(screenshots)) {
    line.screenshotDirectory = parser.value(screenshots);
    if (line.screenshotDirectory.isEmpty())
      return Error(QStringLiteral("--screenshots needs a directory"));
  }
  line.usedOnly = parser.isSet(usedOnly);
  return CommandLineResult{line, QString(), 0};
}

}  // namespace veltra::app
