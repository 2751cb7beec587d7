#include "pages/eq_page_controls.h"

#include <QProxyStyle>
#include <QSlider>
#include <QStyleOptionSlider>

#include "eq/gain_code.h"
#include "ui/dialog_layout.h"

namespace veltra::pages {

namespace {

// Position 0 (+12 dB) is at the top, so a style that fills the groove from the minimum's end
// would fill it more the lower the gain. The slider is drawn mirrored, handle in the same
// place: the fill rises from the bottom with the gain. Input is the slider's own, unchanged.
class GainSliderStyle final : public QProxyStyle {
 public:
  using QProxyStyle::QProxyStyle;
  void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                          QPainter* painter, const QWidget* widget) const override {
    const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (control != CC_Slider || slider == nullptr) {
      QProxyStyle::drawComplexControl(control, option, painter, widget);
      return;
    }
    QStyleOptionSlider mirrored(*slider);
    mirrored.upsideDown = !slider->upsideDown;
    mirrored.sliderPosition = slider->maximum + slider->minimum - slider->sliderPosition;
    mirrored.sliderValue = slider->maximum + slider->minimum - slider->sliderValue;
    QProxyStyle::drawComplexControl(control, &mirrored, painter, widget);
  }
};

// One style for the sliders of a page.
QStyle& GainSliderStyleOf(QWidget& parent) {
  auto* style = parent.findChild<GainSliderStyle*>(QString(), Qt::FindDirectChildrenOnly);
  if (style == nullptr) {
    style = new GainSliderStyle;
    style->setParent(&parent);
  }
  return *style;
}

}  // namespace

QSlider* AddGainSlider(QWidget& parent, const char* id, QRect rect) {
  auto* slider = new QSlider(Qt::Vertical, &parent);
  slider->setObjectName(QString::fromLatin1(id));
  slider->setStyle(&GainSliderStyleOf(parent));
  slider->setGeometry(rect);
  slider->setInvertedAppearance(true);
  slider->setInvertedControls(true);
  slider->setTickPosition(QSlider::NoTicks);
  slider->setRange(0, eq::kSliderMax);
  return slider;
}

QLineEdit* AddEqEdit(const ui::DialogLayout& layout, const char* id, int x, int y) {
  return layout.Edit(id, layout.Rect(x, y, 25, 13));
}

QString GainText(double dB) {
  return QString::fromStdString(eq::FormatGainDb(dB));
}

QString TextOf(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace veltra::pages
