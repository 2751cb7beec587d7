#include "ui/tool_settings.h"

#include <QStandardPaths>

#include "log/log_settings.h"
#ifndef _WIN32
#include "platform/file_replace.h"
#endif

namespace veltra::ui {

#ifndef _WIN32
namespace {

// Whether the settings may be read and written at file: neither it nor its folder is another
// user's link in a sticky world-writable folder, which a write would follow (QSettings writes
// through links) and a read would take another user's file for ours.
bool MayUse(const QString& file) {
  const QString folder = file.section(u'/', 0, -2);
  for (const QString& name : {folder, file}) {
    int error = 0;
    if (platform::FinalName(name.toStdString(), error).empty() && error != ENOENT) return false;
  }
  return true;
}

}  // namespace
#endif

std::unique_ptr<QSettings> OpenToolSettings(const QString& settingsFile) {
#ifdef _WIN32
  if (!settingsFile.isEmpty())
    return std::make_unique<QSettings>(settingsFile, QSettings::IniFormat);
  return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                     QLatin1String(log::kSettingsOrganisation),
                                     QLatin1String(log::kSettingsApplication));
#else
  // Where QSettings keeps the organisation's and application's file for this user.
  const QString file =
      !settingsFile.isEmpty()
          ? settingsFile
          : QStringLiteral("%1/%2/%3.conf")
                .arg(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
                     QLatin1String(log::kSettingsOrganisation),
                     QLatin1String(log::kSettingsApplication));
  // Refused: the settings live in memory until the tool ends, and nothing is written.
  if (!MayUse(file)) return std::make_unique<QSettings>(QString(), QSettings::IniFormat);
  return std::make_unique<QSettings>(file, QSettings::IniFormat);
#endif
}

}  // namespace veltra::ui
