#include "ui/tool_settings.h"

#include "log/log_settings.h"

namespace veltra::ui {

std::unique_ptr<QSettings> OpenToolSettings(const QString& settingsFile) {
  if (!settingsFile.isEmpty())
    return std::make_unique<QSettings>(settingsFile, QSettings::IniFormat);
  return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                     QLatin1String(log::kSettingsOrganisation),
                                     QLatin1String(log::kSettingsApplication));
}

}  // namespace veltra::ui
