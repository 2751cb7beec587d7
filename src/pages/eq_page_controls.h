#pragma once

#include <string_view>

#include <QRect>
#include <QString>

class QSlider;
class QWidget;

// What the PlayBack EQ and Record EQ pages build and show alike.
namespace veltra::pages {

// A gain slider: vertical, no ticks, range 0..48 with position 0 (+12 dB) at the top, and the up
// key moving up.
QSlider* AddGainSlider(QWidget& parent, const char* id, QRect rect);

// The "%.1f" text of a gain in dB.
QString GainText(double dB);

QString TextOf(std::string_view text);

}  // namespace veltra::pages
