#pragma once

#include <array>

#include <QPolygonF>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QWidget>

#include "eq/band.h"
#include "eq/band_coefficients.h"

namespace veltra::pages {

// One band as the plot draws it.
struct PlottedBand {
  QString name;         // "Band-1", or "Bass" and "Treble" in tone mode
  eq::Band band;        // as typed: the marker's place and the Nyquist mark
  eq::BandWords words;  // what the chip is given: the shape comes from these alone
  double gainDb = 0;
  bool acts = true;  // false: drawn faint and without its gain (EQ disabled, not a tone band)

  friend bool operator==(const PlottedBand&, const PlottedBand&) = default;
};

// The five bands' magnitude responses from 20 Hz to 24 kHz on a logarithmic axis, in dB: each
// band's band-pass shape from its coefficient words, its gain as a marker at its centre with
// its number, and a legend line with its number, centre and gain. A band whose edges pass the
// Nyquist frequency is drawn dashed and explained in the tooltip. No curve of the bands
// together: how the chip applies the gains and combines the bands is not known.
class BandResponsePlot : public QWidget {
  Q_OBJECT

 public:
  static constexpr double kLowHz = 20;
  static constexpr double kHighHz = 24000;
  static constexpr double kTopDb = 15;
  static constexpr double kBottomDb = -30;

  explicit BandResponsePlot(QWidget* parent = nullptr);

  // Redraws only when something changed.
  void SetBands(const std::array<PlottedBand, eq::kBandCount>& bands);
  const std::array<PlottedBand, eq::kBandCount>& Bands() const { return bands_; }

  // The legend line of band index k (0..4): "3 Band-3: 1000 Hz, +3.0 dB".
  static QString LegendText(int k, const PlottedBand& band);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QRectF PlotArea() const;
  double XOf(double hz, const QRectF& area) const;
  double YOf(double dB, const QRectF& area) const;
  void MakeCurves(const QRectF& area);
  void UpdateToolTip();

  std::array<PlottedBand, eq::kBandCount> bands_{};
  // In widget coordinates, made again when the bands or the size change.
  std::array<QPolygonF, eq::kBandCount> curves_;
  QRectF curvesArea_;
  bool curvesDirty_ = true;
};

}  // namespace veltra::pages
