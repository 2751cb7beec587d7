#pragma once

#include <memory>

#include <QSettings>
#include <QString>

namespace veltra::ui {

// The tool's own settings store: the organisation and application of the tool's registry key,
// where the two log settings live too (they are read elsewhere and never written here); or, for
// tests, this settings file.
std::unique_ptr<QSettings> OpenToolSettings(const QString& settingsFile = {});

}  // namespace veltra::ui
