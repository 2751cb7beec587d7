#include "ui/hex_string.h"

#include <QByteArray>
#include <QString>

namespace veltra::ui {

uint16_t HexBoxValue(const QString& text, bool* error) {
  const QByteArray bytes = text.toLatin1();
  const std::string_view view(bytes.constData(), static_cast<size_t>(bytes.size()));
  return static_cast<uint16_t>(image::HexStringToInt(view, error) & 0xFFFF);
}

}  // namespace veltra::ui
