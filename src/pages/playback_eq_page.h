#pragma once

#include <array>

#include <QString>

#include "eq/band.h"
#include "eq/factory_defaults.h"
#include "image/image_layout.h"
#include "pages/config_page.h"
#include "pages/page_context.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace veltra::pages {

class CEditEnter;

// The "PlayBack EQ Config" page: the five-band playback equaliser, its four gain presets and
// tone mode. It owns the Playback EQ section, tail record 1 and Header byte 8 bits 0-1 and byte
// 9. Test sends the page's equaliser straight to the chip.
class CEQPage : public ConfigPage {
  Q_OBJECT

 public:
  explicit CEQPage(const PageContext& context, QWidget* parent = nullptr);

  static const char* const kResetQuestion;

  // Columns of the gain table: bands 1..5, then the compensation.
  static constexpr int kColumns = eq::kGainCount;

  // The gain codes as the page holds them now, by preset.
  const std::array<eq::GainRow, eq::kPresetCount>& Gains() const { return gains_; }

 protected:
  void CreateContents(QWidget& contents) override;
  void LoadContents() override;
  void StoreContents() override;
  void ReleaseContents() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The values bound to controls by data exchange.
  struct Values {
    bool eqDisabled = false;
    std::array<QString, eq::kPresetCount * kColumns> presetTexts;
  };

  void UpdateFromControls();
  void UpdateControls();

  void ResetEqDefaults();
  void RefreshEqControls();
  void ApplyEqEnable(bool disabled);
  void ApplyToneMode(bool on, bool refill);
  void ApplyToneRange();
  void FillMaximumList();
  void ShowPreset();
  void SetPresetTexts();

  void OnSliderMoved(int column);
  // Every slider's position to its gain text and gain code, as a redraw of the sliders does.
  void SliderFeedback();
  void CommitGain(int column);
  // False when the page's contents went away while the message was shown.
  bool CheckBand(int band);
  void OnToneModeSelected();
  void OnDisableEqClicked();
  void OnTestClicked();
  void OnResetClicked();

  int SelectedPreset() const;
  bool ToneModeOn() const;
  double MaximumDb() const;
  bool IsToneColumn(int column) const;
  std::array<eq::Band, eq::kBandCount> TypedBands() const;

  PageContext context_;
  Values values_;
  std::array<eq::GainRow, eq::kPresetCount> gains_ = eq::kDefaultPlaybackGains;
  image::TailRecord tailRecord_{};
  // Slider moves made by the page itself are read back once, when it is done.
  int settingSliders_ = 0;

  QCheckBox* disableEq_ = nullptr;
  QComboBox* toneMode_ = nullptr;
  QPushButton* test_ = nullptr;
  QPushButton* reset_ = nullptr;
  QComboBox* maximum_ = nullptr;
  QLabel* band1Label_ = nullptr;
  QLabel* band5Label_ = nullptr;
  QLabel* scaleTop_ = nullptr;
  QLabel* scaleBottom_ = nullptr;
  std::array<CEditEnter*, kColumns> gainEdits_{};
  std::array<QSlider*, kColumns> sliders_{};
  std::array<QLineEdit*, eq::kBandCount> centreEdits_{};
  std::array<QLineEdit*, eq::kBandCount> bandwidthEdits_{};
  QComboBox* preset_ = nullptr;
  // By preset number ("00", "01", "10", "11"), then column.
  std::array<std::array<QLineEdit*, kColumns>, eq::kPresetCount> presetEdits_{};
};

}  // namespace veltra::pages
