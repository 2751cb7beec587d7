#pragma once

#include <array>
#include <optional>
#include <span>

#include "eq/factory_defaults.h"
#include "pages/eq_page_base.h"

class QComboBox;

namespace veltra::pages {

// The "PlayBack EQ Config" page: the five-band playback equaliser, its four gain presets and
// tone mode. It owns the Playback EQ section, tail record 1 and Header byte 8 bits 0-1 and byte
// 9. Test sends the page's equaliser straight to the chip.
class CEQPage : public EqPageBase {
  Q_OBJECT

 public:
  explicit CEQPage(const PageContext& context, QWidget* parent = nullptr);

  static const char* const kResetQuestion;

  // The gain codes as the page holds them now, by preset.
  std::span<const eq::GainRow> Gains() const { return gains_; }

 protected:
  void CreateControls(const ui::DialogLayout& layout) override;
  void LoadContents() override;
  void StoreContents() override;
  void ReleaseContents() override;
  void ApplyEqEnable(bool disabled) override;
  void OnTestClicked() override;
  bool BandActs(int band) const override;

 private:
  void ResetModes() override;
  void RefreshGainControls() override;
  bool ResetAllowed() const override { return HasPlaybackEq(); }
  int EditedRow() const override { return SelectedPreset(); }
  std::optional<double> ToneMaximum(int column) const override;

  void ApplyToneMode(bool on, bool refill);
  void ApplyToneRange();
  void FillMaximumList();
  void ShowPreset();
  void OnToneModeSelected();

  bool HasPlaybackEq() const;
  int SelectedPreset() const;
  bool ToneModeOn() const;
  double MaximumDb() const;

  QComboBox* toneMode_ = nullptr;
  QComboBox* maximum_ = nullptr;
  QComboBox* preset_ = nullptr;
};

}  // namespace veltra::pages
