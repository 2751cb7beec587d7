#pragma once

#include <array>

#include <QString>

#include "eq/band.h"
#include "eq/factory_defaults.h"
#include "image/image_layout.h"
#include "pages/config_page.h"
#include "pages/page_context.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QSlider;

namespace veltra::pages {

class CREditEnter;

// The "Record EQ Config" page: the five-band record equaliser, one gain set, no tone mode. It
// owns the Record EQ section, tail record 2 and Header byte 8 bit 6. Test sends the page's
// equaliser straight to the chip, never while "Disable EQ" is checked.
class CRecordEQPage : public ConfigPage {
  Q_OBJECT

 public:
  explicit CRecordEQPage(const PageContext& context, QWidget* parent = nullptr);

  static const char* const kResetQuestion;

  static constexpr int kColumns = eq::kGainCount;

  const eq::GainRow& Gains() const { return gains_; }

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
    std::array<QString, kColumns> gainTexts;
  };

  void SetControlOrder();
  void UpdateFromControls();
  void UpdateControls();

  void ResetEqDefaults();
  void RefreshEqControls();
  void ApplyEqEnable(bool disabled);
  void SetGainTexts();

  void OnSliderMoved(int column);
  void SliderFeedback();
  void CommitGain(int column);
  // False when the page's contents went away while the message was shown.
  bool CheckBand(int band);
  void OnDisableEqClicked();
  void OnTestClicked();
  void OnResetClicked();

  std::array<eq::Band, eq::kBandCount> TypedBands() const;

  PageContext context_;
  Values values_;
  eq::GainRow gains_ = eq::kDefaultRecordGains;
  image::TailRecord tailRecord_{};
  int settingSliders_ = 0;

  QCheckBox* disableEq_ = nullptr;
  QPushButton* test_ = nullptr;
  QPushButton* reset_ = nullptr;
  std::array<CREditEnter*, kColumns> gainEdits_{};
  std::array<QSlider*, kColumns> sliders_{};
  std::array<QLineEdit*, eq::kBandCount> centreEdits_{};
  std::array<QLineEdit*, eq::kBandCount> bandwidthEdits_{};
  std::array<QLineEdit*, kColumns> gainTextEdits_{};
};

}  // namespace veltra::pages
