#pragma once

#include <optional>

#include <QSettings>

#include "log/log_settings.h"

namespace veltra::app {

// The two log settings from the user's settings store (organisation "Stellan", application
// "ConfigTool"). A missing store is created, empty; the tool never writes the values.
log::LogSettings ReadLogSettings();
// The same from a given store (tests).
log::LogSettings ReadLogSettings(QSettings& store);

// A stored value as the 32-bit number it stands for; nullopt when absent or not a number that
// fits 32 bits (negative values wrap as they would in a DWORD).
std::optional<uint32_t> StoredWord(const QSettings& store, const char* name);

}  // namespace veltra::app
