#pragma once

#include <array>
#include <optional>
#include <span>
#include <vector>

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include "eq/band.h"
#include "eq/band_coefficients.h"
#include "eq/band_check.h"
#include "eq/factory_defaults.h"
#include "image/image_layout.h"
#include "pages/config_page.h"
#include "pages/page_context.h"
#include "pages/slider_setting.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace veltra::ui {
class DialogLayout;
}

namespace veltra::eq {
struct UploadOutcome;
}

namespace veltra::pages {

class BandResponsePlot;
class CEditEnter;

// What the PlayBack EQ and Record EQ pages share: five bands of gain edit, slider, centre
// frequency and bandwidth, the compensation gain, a read-only table of the gains as loaded, the
// "Disable EQ" box, Test and Reset, and how they all answer the user. A page builds its controls
// in its own control order into the members below and adds what only it has.
class EqPageBase : public ConfigPage {
  Q_OBJECT

 public:
  // Columns of a gain row: bands 1..5, then the compensation.
  static constexpr int kColumns = eq::kGainCount;

 protected:
  // What tells the two pages apart in what they share.
  struct Kind {
    QString title;
    eq::EqPath path;            // words the band check's messages
    const char* resetQuestion;  // asked before Reset
    // One row per preset; the page starts with and resets to these.
    std::span<const eq::GainRow> factoryGains;
    QSize templateSize;   // dialog units
    uint8_t sectionType;  // the EQ section the page stores its bands' words into
  };

  EqPageBase(const Kind& kind, const PageContext& context, QWidget* parent);

  // The page's controls, in its own control order, into the members below; then its own
  // connections. Runs before the shared connections and the reset.
  virtual void CreateControls(const ui::DialogLayout& layout) = 0;

  // Where a page puts the captions around its gain edits, sliders and band edits: top left, in
  // dialog units (their sizes are the same on both pages); and the ids of those it names.
  struct CaptionPlaces {
    QPoint compensation;
    std::array<QPoint, eq::kBandCount> bands;
    std::array<QPoint, 2> gainUnit;         // "Gain" over "(dB)"
    std::array<QPoint, 2> scale;            // "12dB" at the top, "-12dB" at the bottom
    std::array<QPoint, 2> bandEdits;        // "Central Freq (Hz)", "Bandwidth (Hz)"
    std::array<const char*, 2> bandIds{};   // band 1, band 5
    std::array<const char*, 2> scaleIds{};  // top, bottom
  };
  // Five controls of the bands in a row: their ids and x, and the row's y (dialog units).
  struct BandRow {
    std::array<const char*, eq::kBandCount> ids;
    std::array<int, eq::kBandCount> x;
    int y;
  };
  // The shared controls, placed in dialog units, for a page to add in its control order.
  void AddCaptions(const ui::DialogLayout& layout, const CaptionPlaces& at);
  void AddGainEdit(const ui::DialogLayout& layout, int column, const char* id, QPoint at);
  void AddBandGainEdits(const ui::DialogLayout& layout, const BandRow& row);
  void AddSlider(const ui::DialogLayout& layout, int column, const char* id, QRect rect);
  void AddBandSliders(const ui::DialogLayout& layout, const BandRow& row, int height);
  // The band plot and, under it, the status of the last Test, in dialog units; the page grows
  // to hold them.
  void AddPlot(const ui::DialogLayout& layout, QRect plot, QRect testStatus);
  // The plot from the page's controls as they stand: bands, their words, gains, modes.
  void RefreshPlot();
  // What the last Test did, under the plot.
  void ShowTestOutcome(const eq::UploadOutcome& outcome);
  // A read-only edit of the gain table.
  QLineEdit* AddGainTableEdit(const ui::DialogLayout& layout, int row, int column, const char* id,
                              QPoint at);

  void ReleaseContents() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

  // Data exchange: the EQ disabled flag and the gain table texts.
  void UpdateFromControls();
  void UpdateControls();

  void ResetEqDefaults();
  void RefreshEqControls();
  // Enables or disables the band controls of the five-band EQ.
  virtual void ApplyEqEnable(bool disabled);

  // The gain table row the gain edits and sliders show and change.
  eq::GainRow& EditedGains() { return gains_[EditedRow()]; }
  // The edited row into the gain edits and onto the sliders.
  void ShowGains();
  // The gain table texts from the gain table.
  void SetGainTableTexts();
  std::array<eq::Band, eq::kBandCount> TypedBands() const;
  // The words Save would store for the typed bands: what Test sends and the plot draws.
  std::array<eq::BandWords, eq::kBandCount> StoredWords() const;

  // While it lives the page positions sliders itself; at its end their gains are read back.
  [[nodiscard]] SliderSetting SettingSliders();
  virtual void OnTestClicked() = 0;
  // Whether band k (0..4) acts as the page is set now, and its name on the plot.
  virtual bool BandActs(int band) const;
  QString BandName(int band) const;

  // The values bound to controls by data exchange.
  struct Values {
    bool eqDisabled = false;
    std::vector<std::array<QString, kColumns>> gainTableTexts;  // by gain table row
  };

  PageContext context_;
  Values values_;
  // The gain codes, one row per preset.
  std::vector<eq::GainRow> gains_;
  image::TailRecord tailRecord_{};
  QCheckBox* disableEq_ = nullptr;
  QPushButton* test_ = nullptr;
  QPushButton* reset_ = nullptr;
  std::array<CEditEnter*, kColumns> gainEdits_{};
  std::array<QSlider*, kColumns> sliders_{};
  std::array<QLineEdit*, eq::kBandCount> centreEdits_{};
  std::array<QLineEdit*, eq::kBandCount> bandwidthEdits_{};
  QLabel* band1Label_ = nullptr;
  QLabel* band5Label_ = nullptr;
  QLabel* scaleTop_ = nullptr;
  QLabel* scaleBottom_ = nullptr;
  BandResponsePlot* plot_ = nullptr;
  QLabel* testStatus_ = nullptr;

 private:
  void CreateContents(QWidget& contents) final;

  // A gain edit of the page's own class.
  virtual CEditEnter* NewGainEdit(QWidget& parent) const;
  // What a page adds to ResetEqDefaults and RefreshEqControls for its own controls.
  virtual void ResetModes() {}
  virtual void RefreshGainControls() { ShowGains(); }
  // Whether Reset, once the user said OK, goes ahead.
  virtual bool ResetAllowed() const { return true; }
  virtual int EditedRow() const { return 0; }
  // A column acting as bass or treble maps its slider to plus and minus this maximum.
  virtual std::optional<double> ToneMaximum(int /*column*/) const { return std::nullopt; }

  void OnSliderMoved(int column);
  // Every slider's position to its gain text and gain code, as a redraw of the sliders does.
  void SliderFeedback();
  int SliderPosition(int column, double dB) const;
  void CommitGain(int column);
  // False when the page's contents went away while the message was shown.
  bool CheckBand(int band);
  void OnDisableEqClicked();
  void OnResetClicked();

  const Kind kind_;
  std::vector<std::array<QLineEdit*, kColumns>> gainTableEdits_;
  // Slider moves made by the page itself are read back once, when it is done.
  int settingSliders_ = 0;
};

}  // namespace veltra::pages
