#include "pages/eq_page_controls.h"

#include <QSlider>

#include "eq/gain_code.h"

namespace veltra::pages {

QSlider* AddGainSlider(QWidget& parent, const char* id, QRect rect) {
  auto* slider = new QSlider(Qt::Vertical, &parent);
  slider->setObjectName(QString::fromLatin1(id));
  slider->setGeometry(rect);
  slider->setInvertedAppearance(true);
  slider->setInvertedControls(true);
  slider->setTickPosition(QSlider::NoTicks);
  slider->setRange(0, eq::kSliderMax);
  return slider;
}

QString GainText(double dB) {
  return QString::fromStdString(eq::FormatGainDb(dB));
}

QString TextOf(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace veltra::pages
