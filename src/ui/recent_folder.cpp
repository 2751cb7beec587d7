#include "ui/recent_folder.h"

#include <QFileInfo>

#include "log/log_settings.h"

namespace veltra::ui {

RecentFolder::RecentFolder() = default;

RecentFolder::RecentFolder(QString settingsFile) : settingsFile_(std::move(settingsFile)) {}

std::unique_ptr<QSettings> RecentFolder::OpenStore() const {
  if (!settingsFile_.isEmpty())
    return std::make_unique<QSettings>(settingsFile_, QSettings::IniFormat);
  return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                     QLatin1String(log::kSettingsOrganisation),
                                     QLatin1String(log::kSettingsApplication));
}

QString RecentFolder::Folder() const {
  const QString folder = OpenStore()->value(QLatin1String(kValueName)).toString();
  // A folder since removed or renamed: the dialog's own default is better than an error.
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) return {};
  return folder;
}

void RecentFolder::Remember(const QString& chosenFile) {
  if (chosenFile.isEmpty()) return;
  const QString folder = QFileInfo(chosenFile).absolutePath();
  const std::unique_ptr<QSettings> store = OpenStore();
  if (store->value(QLatin1String(kValueName)).toString() == folder) return;
  // A store that cannot be written only costs the convenience.
  store->setValue(QLatin1String(kValueName), folder);
  store->sync();
}

}  // namespace veltra::ui
