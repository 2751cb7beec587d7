#include "pages/band_response_plot.h"

#include <algorithm>
#include <cmath>

#include <QPainter>
#include <QPainterPath>

#include "eq/band_response.h"
#include "ui/tool_tip.h"

namespace veltra::pages {

namespace {

constexpr std::array<QRgb, eq::kBandCount> kBandColours{0xC0392B, 0xD68910, 0x1E8449, 0x2471A3,
                                                        0x7D3C98};
constexpr double kLabelledHz[] = {20, 100, 1000, 10000};
constexpr double kGridHz[] = {50, 200, 500, 2000, 5000, 20000};
constexpr double kGridDb[] = {12, 0, -12, -24};
// A curve point every this many pixels.
constexpr double kStepPixels = 2;

QString HzText(int hz) {
  return hz >= 1000 && hz % 1000 == 0 ? QStringLiteral("%1k").arg(hz / 1000) : QString::number(hz);
}

QString SignedDb(double dB) {
  return (dB > 0 ? QStringLiteral("+") : QString()) + QString::number(dB, 'f', 1);
}

}  // namespace

BandResponsePlot::BandResponsePlot(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  UpdateToolTip();
}

void BandResponsePlot::SetBands(const std::array<PlottedBand, eq::kBandCount>& bands) {
  if (bands == bands_) return;
  bands_ = bands;
  curvesDirty_ = true;
  UpdateToolTip();
  update();
}

QString BandResponsePlot::LegendText(int k, const PlottedBand& band) {
  QString text = QStringLiteral("%1 %2: %3 Hz").arg(k + 1).arg(band.name).arg(band.band.centreHz);
  text +=
      band.acts ? QStringLiteral(", %1 dB").arg(SignedDb(band.gainDb)) : QStringLiteral(", off");
  if (eq::BandEdgesOf(band.band).pastNyquist) text += QStringLiteral(" (!)");
  return text;
}

void BandResponsePlot::UpdateToolTip() {
  QStringList lines{QStringLiteral(
      "Each band's response as the chip is given it: from the coefficient words Save stores "
      "for its centre and bandwidth. The dot is the band's gain. The effect of all bands "
      "together is not drawn: how the chip applies the gains is not known.")};
  for (int k = 0; k < eq::kBandCount; ++k) {
    const eq::Band& band = bands_[k].band;
    if (!eq::BandEdgesOf(band).pastNyquist) continue;
    const QString which = QStringLiteral("(!) Band %1 (%2 Hz, bandwidth %3 Hz): ")
                              .arg(k + 1)
                              .arg(band.centreHz)
                              .arg(band.bandwidthHz);
    const bool placed = band.bandwidthHz >= 0 && band.bandwidthHz < band.centreHz;
    lines << which + (placed ? QStringLiteral(
                                   "its upper edge lies at or past the Nyquist frequency of "
                                   "24000 Hz, so the chip's section is not the band-pass these "
                                   "numbers ask for; a smaller bandwidth keeps it below.")
                             : QStringLiteral("a band needs a bandwidth below its centre "
                                              "frequency; these numbers give it no edges."));
  }
  setToolTip(ui::WrappedToolTip(lines.join(QStringLiteral("\n\n"))));
}

QRectF BandResponsePlot::PlotArea() const {
  const QFontMetrics metrics(font());
  const double left = metrics.horizontalAdvance(QStringLiteral("-24")) + 4;
  const double legend = metrics.height() * eq::kBandCount + 6;
  const double bottom = metrics.height() + 2 + legend;
  return QRectF(left, metrics.height() / 2.0, width() - left - 4,
                std::max(10.0, height() - bottom - metrics.height() / 2.0));
}

double BandResponsePlot::XOf(double hz, const QRectF& area) const {
  return area.left() + area.width() * std::log(hz / kLowHz) / std::log(kHighHz / kLowHz);
}

double BandResponsePlot::YOf(double dB, const QRectF& area) const {
  const double clamped = std::clamp(dB, kBottomDb, kTopDb);
  return area.top() + area.height() * (kTopDb - clamped) / (kTopDb - kBottomDb);
}

void BandResponsePlot::MakeCurves(const QRectF& area) {
  const int points = std::max(2, static_cast<int>(area.width() / kStepPixels));
  const std::vector<double> frequencies = eq::LogSpacedFrequencies(kLowHz, kHighHz, points);
  for (int k = 0; k < eq::kBandCount; ++k) {
    QPolygonF& curve = curves_[k];
    curve.clear();
    curve.reserve(static_cast<qsizetype>(frequencies.size()));
    for (double hz : frequencies)
      curve << QPointF(XOf(hz, area), YOf(eq::BandResponseDb(bands_[k].words, hz), area));
  }
  curvesArea_ = area;
  curvesDirty_ = false;
}

void BandResponsePlot::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().base());
  const QRectF area = PlotArea();
  if (curvesDirty_ || area != curvesArea_) MakeCurves(area);
  const QFontMetrics metrics(font());
  const QColor text = palette().color(QPalette::Text);
  const QColor grid = palette().color(QPalette::Mid);

  // The axes: decades labelled, the steps between them as lines only.
  painter.setPen(QPen(grid, 0, Qt::DotLine));
  for (double hz : kGridHz)
    painter.drawLine(QPointF(XOf(hz, area), area.top()), QPointF(XOf(hz, area), area.bottom()));
  for (double hz : kLabelledHz) {
    const double x = XOf(hz, area);
    painter.setPen(QPen(grid, 0));
    painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
    painter.setPen(text);
    const QString label = HzText(static_cast<int>(hz));
    const double width = metrics.horizontalAdvance(label);
    painter.drawText(QPointF(std::clamp(x - width / 2, 0.0, this->width() - width),
                             area.bottom() + metrics.ascent() + 2),
                     label);
  }
  for (double dB : kGridDb) {
    const double y = YOf(dB, area);
    painter.setPen(QPen(grid, 0, dB == 0 ? Qt::SolidLine : Qt::DotLine));
    painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
    painter.setPen(text);
    const QString label = QString::number(static_cast<int>(dB));
    painter.drawText(
        QPointF(area.left() - 3 - metrics.horizontalAdvance(label), y + metrics.ascent() / 2.0 - 1),
        label);
  }
  painter.setPen(text);
  painter.drawText(QPointF(area.left() + 3, area.top() + metrics.ascent()), QStringLiteral("dB"));
  // At the end of the row of frequencies, right of "10k".
  painter.drawText(QPointF(area.right() - metrics.horizontalAdvance(QStringLiteral("Hz")),
                           area.bottom() + metrics.ascent() + 2),
                   QStringLiteral("Hz"));
  painter.drawRect(area);

  painter.setRenderHint(QPainter::Antialiasing);
  painter.save();
  painter.setClipRect(area);
  for (int k = 0; k < eq::kBandCount; ++k) {
    const PlottedBand& band = bands_[k];
    QColor colour = QColor::fromRgb(kBandColours[k]);
    if (!band.acts) colour.setAlpha(90);
    const bool past = eq::BandEdgesOf(band.band).pastNyquist;
    painter.setPen(QPen(colour, 1.5, past ? Qt::DashLine : Qt::SolidLine));
    painter.drawPolyline(curves_[k]);
    if (!band.acts) continue;
    // The gain at the band's centre, with the band's number over it.
    const double centre = std::clamp(static_cast<double>(band.band.centreHz), kLowHz, kHighHz);
    const QPointF marker(XOf(centre, area), YOf(band.gainDb, area));
    painter.setBrush(colour);
    painter.drawEllipse(marker, 3, 3);
    painter.setBrush(Qt::NoBrush);
    painter.drawText(marker + QPointF(-metrics.horizontalAdvance(QChar(u'1')) / 2.0, -5),
                     QString::number(k + 1));
  }
  painter.restore();

  // The legend under the axis, one line a band.
  double y = area.bottom() + metrics.height() + 4 + metrics.ascent();
  for (int k = 0; k < eq::kBandCount; ++k) {
    QColor colour = QColor::fromRgb(kBandColours[k]);
    if (!bands_[k].acts) colour.setAlpha(90);
    painter.setPen(QPen(colour, 2));
    painter.drawLine(QPointF(area.left(), y - metrics.ascent() / 2.0),
                     QPointF(area.left() + 12, y - metrics.ascent() / 2.0));
    painter.setPen(text);
    painter.drawText(QPointF(area.left() + 16, y), LegendText(k, bands_[k]));
    y += metrics.height();
  }
}

}  // namespace veltra::pages
