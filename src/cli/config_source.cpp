#include "cli/config_source.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "cli/cli_result.h"
#include "cli/device_command.h"
#include "image/bin_file.h"
#include "image/eeprom_config.h"
#include "image/model_contents.h"
#include "image/operation_texts.h"
#include "platform/native_path.h"

namespace veltra::cli {

namespace {

// The whole file, or nullopt with the system's reason.
std::optional<std::string> ReadTextFile(const std::string& path, std::string& reason) {
  std::ifstream file(platform::NativePath(path), std::ios::binary);
  if (!file) {
    reason = std::strerror(errno);
    return std::nullopt;
  }
  std::string text;
  char chunk[65536];
  while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
    text.append(chunk, static_cast<size_t>(file.gcount()));
    if (text.size() > kMaxDocumentBytes) {
      reason = "longer than " + std::to_string(kMaxDocumentBytes >> 20) + " MiB";
      return std::nullopt;
    }
  }
  if (file.bad()) {
    reason = "read error";
    return std::nullopt;
  }
  return text;
}

}  // namespace

bool IsJsonPath(std::string_view path) {
  if (path.size() < 5) return false;
  std::string ending(path.substr(path.size() - 5));
  for (char& c : ending)
    c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return ending == ".json";
}

std::string EmptyImageText(std::string_view what) {
  return std::string(what) + " holds no configuration (no magic \"ZR\")";
}

std::optional<LoadedConfiguration> LoadConfigurationFile(const std::string& path,
                                                         const CommandLine& line,
                                                         DocumentEeprom eeprom, SourceCodes codes,
                                                         std::string_view prefix, std::ostream& err,
                                                         int& code) {
  const std::string lead(prefix);
  if (IsJsonPath(path)) {
    std::string reason;
    const std::optional<std::string> text = ReadTextFile(path, reason);
    if (!text) {
      code = codes.unreadable;
      ReportFailure(err, lead + path + ": " + reason);
      return std::nullopt;
    }
    std::string error;
    std::optional<document::ConfigurationDocument> parsed =
        document::ReadConfigurationJson(*text, error);
    if (!parsed) {
      code = codes.refused;
      ReportFailure(err, lead + path + ": " + error);
      return std::nullopt;
    }
    LoadedConfiguration loaded;
    const bool lineFirst = eeprom == DocumentEeprom::kCommandLineFirst;
    loaded.eeprom = (lineFirst && line.eeprom) || !parsed->eeprom ? line.eeprom : parsed->eeprom;
    loaded.configuration = std::move(parsed->configuration);
    return loaded;
  }

  if (!line.eeprom) {
    code = ReportUsageError(err, lead + path + ": an image file " + MissingEepromText());
    return std::nullopt;
  }
  const uint32_t length = line.eeprom->transferLength;
  const image::BinFileRead read = image::ReadBinFile(platform::NativePath(path), length);
  if (!read.Ok()) {
    code = codes.unreadable;
    ReportFailure(err, lead + read.error);
    return std::nullopt;
  }
  if (const auto notice = image::BinFileFitNotice(path, read.fileLength, length)) {
    ReportWarning(err, prefix, *notice);
  }
  LoadedConfiguration loaded;
  loaded.eeprom = line.eeprom;
  loaded.configuration = image::DecodeConfiguration(image::ReadImage(read.bytes, length));
  return loaded;
}

std::optional<LoadedConfiguration> LoadConfigurationFromDevice(DeviceSession& session,
                                                               const device::EepromType& eeprom,
                                                               std::string_view prefix,
                                                               std::ostream& err, int& code) {
  const std::string lead(prefix);
  const uint32_t length = eeprom.transferLength;
  image::EepromConfig model(session.Transport());
  if (model.Reload(length) < 0) {
    code = ReportFailure(err, lead + TransferFailure(session, image::text::kReadFailed));
    return std::nullopt;
  }
  LoadedConfiguration loaded;
  loaded.eeprom = eeprom;
  if (model.IsEmpty()) return loaded;
  if (model.SetEepromSize(length) < 0) {
    code = ReportFailure(err, lead + image::text::kSizeTooSmall);
    return std::nullopt;
  }
  model.LoadTailRecords();
  loaded.configuration = image::DecodeConfiguration(image::ModelContents(model));
  return loaded;
}

}  // namespace veltra::cli
