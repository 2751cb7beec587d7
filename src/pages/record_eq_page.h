#pragma once

#include "eq/factory_defaults.h"
#include "pages/eq_page_base.h"

namespace veltra::pages {

// The "Record EQ Config" page: the five-band record equaliser, one gain set, no tone mode. It
// owns the Record EQ section, tail record 2 and Header byte 8 bit 6. Test sends the page's
// equaliser straight to the chip, never while "Disable EQ" is checked.
class CRecordEQPage : public EqPageBase {
  Q_OBJECT

 public:
  explicit CRecordEQPage(const PageContext& context, QWidget* parent = nullptr);

  static const char* const kResetQuestion;

  const eq::GainRow& Gains() const { return gains_[0]; }

 protected:
  void CreateControls(const ui::DialogLayout& layout) override;
  void LoadContents() override;
  void StoreContents() override;
  void ApplyEqEnable(bool disabled) override;
  void OnTestClicked() override;

 private:
  CEditEnter* NewGainEdit(QWidget& parent) const override;
  void SetControlOrder(const std::array<QLineEdit*, kColumns>& gainTexts);
};

}  // namespace veltra::pages
