#include "ui/recent_folder.h"

#include <QFileInfo>

#include "ui/tool_settings.h"

namespace veltra::ui {

RecentFolder::RecentFolder() = default;

RecentFolder::RecentFolder(QString settingsFile) : settingsFile_(std::move(settingsFile)) {}

std::unique_ptr<QSettings> RecentFolder::OpenStore() const {
  return OpenToolSettings(settingsFile_);
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
