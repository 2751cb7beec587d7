#include "app/command_line.h"

#include <cmath>

#include <QCommandLineParser>
#include <QFileInfo>
#include <QRegularExpression>

namespace veltra::app {

namespace {

// Above this a simulated request would make every transfer take hours.
constexpr double kMaxLatencyMs = 1000.0;

std::optional<unsigned> ParseHex(const QString& text, unsigned maximum) {
  QString digits = text.trimmed();
  if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) digits = digits.mid(2);
  bool ok = false;
  const unsigned value = digits.toUInt(&ok, 16);
  if (!ok || digits.isEmpty() || value > maximum) return std::nullopt;
  return value;
}

CommandLineResult Error(const QString& text) {
  CommandLineResult result;
  result.output = QStringLiteral("veltra-config: %1\nTry 'veltra-config --help'.\n").arg(text);
  result.exitCode = 2;
  return result;
}

}  // namespace

CommandLineResult ParseCommandLine(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "Configuration tool for Veltra USB audio codec chips. Without the vendor driver it runs on "
      "a simulated device: VID 5A52, PID 7731, a 24C64 EEPROM holding a factory image, chip "
      "register 0xD9 = 0x34 (both equalisers)."));
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption version = parser.addVersionOption();
  const QCommandLineOption vid(QStringLiteral("vid"),
                               QStringLiteral("Vendor ID of the simulated device (hex)."),
                               QStringLiteral("HEX"), QStringLiteral("5A52"));
  const QCommandLineOption pid(QStringLiteral("pid"),
                               QStringLiteral("Product ID of the simulated device (hex)."),
                               QStringLiteral("HEX"), QStringLiteral("7731"));
  const QCommandLineOption eeprom(
      QStringLiteral("eeprom"),
      QStringLiteral("EEPROM part of the simulated device, S24C02 .. S24C512."),
      QStringLiteral("TYPE"), QStringLiteral("S24C64"));
  const QCommandLineOption capability(
      QStringLiteral("capability"),
      QStringLiteral("Chip register 0xD9 of the simulated device (hex): bits 5-4 the variant, "
                     "bit 2 the optional blocks."),
      QStringLiteral("HEX"), QStringLiteral("34"));
  const QCommandLineOption latency(
      QStringLiteral("latency"),
      QStringLiteral("Real time every request to the simulated chip takes, in milliseconds."),
      QStringLiteral("MS"), QStringLiteral("0"));
  const QCommandLineOption image(
      QStringLiteral("image"),
      QStringLiteral("Back the simulated EEPROM with this .bin file (created on the first "
                     "write when missing): the tool then edits the file offline."),
      QStringLiteral("FILE.bin"));
  const QCommandLineOption panel(
      QStringLiteral("device-panel"),
      QStringLiteral("Show a small window that unplugs and replugs the simulated device."));
  QCommandLineOption screenshots(
      QStringLiteral("screenshots"),
      QStringLiteral("Connect to the simulated device, save a PNG of the window on every page "
                     "into DIR, and exit."),
      QStringLiteral("DIR"));
  parser.addOptions({vid, pid, eeprom, capability, latency, image, panel, screenshots});

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
  const auto vidValue = ParseHex(parser.value(vid), 0xFFFF);
  if (!vidValue) return Error(QStringLiteral("--vid needs 1 to 4 hexadecimal digits"));
  const auto pidValue = ParseHex(parser.value(pid), 0xFFFF);
  if (!pidValue) return Error(QStringLiteral("--pid needs 1 to 4 hexadecimal digits"));
  const auto part = sim::PartFromName(parser.value(eeprom).trimmed().toStdString());
  if (!part) return Error(QStringLiteral("--eeprom must be one of S24C02 .. S24C512"));
  const auto capabilityValue = ParseHex(parser.value(capability), 0xFF);
  if (!capabilityValue) return Error(QStringLiteral("--capability needs a hexadecimal byte"));
  bool ok = false;
  const double latencyMs = parser.value(latency).toDouble(&ok);
  if (!ok || !std::isfinite(latencyMs) || latencyMs < 0 || latencyMs > kMaxLatencyMs)
    return Error(QStringLiteral("--latency must be a number of milliseconds from 0 to 1000"));

  line.device.vid = static_cast<uint16_t>(*vidValue);
  line.device.pid = static_cast<uint16_t>(*pidValue);
  line.device.part = *part;
  line.device.capability = static_cast<uint8_t>(*capabilityValue);
  line.device.latencyNs = static_cast<int64_t>(std::llround(latencyMs * 1e6));
  if (parser.isSet(image)) {
    const QString file = parser.value(image);
    if (file.isEmpty()) return Error(QStringLiteral("--image needs a file name"));
    line.device.imageFile = QFileInfo(file).absoluteFilePath().toStdString();
  }
  line.devicePanel = parser.isSet(panel);
  if (parser.isSet(screenshots)) {
    line.screenshotDirectory = parser.value(screenshots);
    if (line.screenshotDirectory.isEmpty())
      return Error(QStringLiteral("--screenshots needs a directory"));
  }
  return CommandLineResult{line, QString(), 0};
}

}  // namespace veltra::app
