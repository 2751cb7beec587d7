#include "app/log_settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "backend/stored_log.h"
#include "ui/tool_settings.h"

namespace veltra::app {

namespace {

void CreateEmptyStoreWhenMissing(const QSettings& store) {
  const QString path = store.fileName();
  if (path.isEmpty() || QFileInfo::exists(path)) return;
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) file.close();
}

}  // namespace

std::optional<uint32_t> StoredWord(const QSettings& store, const char* name) {
  const QVariant value = store.value(QLatin1String(name));
  if (!value.isValid()) return std::nullopt;
  bool ok = false;
  const qlonglong number = value.toString().trimmed().toLongLong(&ok, 0);
  if (!ok || number < INT32_MIN || number > static_cast<qlonglong>(UINT32_MAX)) return std::nullopt;
  return static_cast<uint32_t>(number);
}

log::LogSettings ReadLogSettings(QSettings& store) {
  CreateEmptyStoreWhenMissing(store);
  return log::FromRegistryValues(StoredWord(store, log::kEnableLogValue),
                                 StoredWord(store, log::kLogTypeValue));
}

log::LogSettings ReadLogSettings() {
  if (const std::optional<log::LogSettings> settings = backend::SystemLogSettings())
    return *settings;
  const std::unique_ptr<QSettings> store = ui::OpenToolSettings();
  return ReadLogSettings(*store);
}

}  // namespace veltra::app
