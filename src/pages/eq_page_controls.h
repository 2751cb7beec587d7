#pragma once

#include <string_view>

#include <QRect>
#include <QString>

class QLineEdit;
class QSlider;
class QWidget;

namespace veltra::ui {
class DialogLayout;
}

// What the PlayBack EQ and Record EQ pages build and show alike.
namespace veltra::pages {

// A gain slider: vertical, no ticks, range 0..48 with position 0 (+12 dB) at the top, and the up
// key moving up.
QSlider* AddGainSlider(QWidget& parent, const char* id, QRect rect);

// An edit of the EQ pages: all of them are 25 x 13 dialog units.
QLineEdit* AddEqEdit(const ui::DialogLayout& layout, const char* id, int x, int y);

// The "%.1f" text of a gain in dB.
QString GainText(double dB);

QString TextOf(std::string_view text);

}  // namespace veltra::pages
