#pragma once

#include <QIcon>

namespace veltra::app {

// The application icon: a codec chip over an EEPROM, drawn at the sizes window systems ask for.
QIcon ApplicationIcon();

}  // namespace veltra::app
