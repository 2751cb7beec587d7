#pragma once

#include <cstdint>
#include <string_view>

#include "image/usb_rules.h"

class QString;

namespace veltra::ui {

// The core reads hexadecimal text; the boxes hand it their characters.
using image::HexStringToInt;

// A VID or PID box: one byte per character, so a character that is no hex digit counts as one 0
// digit; the value is cut to 16 bits.
uint16_t HexBoxValue(const QString& text, bool* error = nullptr);

}  // namespace veltra::ui
