#include "pages/record_eq_page.h"

#include <algorithm>
#include <vector>

#include <QCheckBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSlider>

#include "eq/band_check.h"
#include "eq/eq_image.h"
#include "eq/gain_code.h"
#include "eq/live_upload.h"
#include "eq/number_text.h"
#include "image/eeprom_config.h"
#include "pages/edit_enter.h"
#include "pages/eq_page_controls.h"
#include "pages/slider_setting.h"
#include "ui/dialog_layout.h"
#include "ui/focus_leave.h"
#include "ui/user_dialogs.h"

namespace veltra::pages {

const char* const CRecordEQPage::kResetQuestion =
    "All changes for Record EQ Config before save will be discarded !!!";

namespace {}  // namespace

CRecordEQPage::CRecordEQPage(const PageContext& context, QWidget* parent)
    : ConfigPage(QStringLiteral("Record EQ Config"), parent), context_(context) {
  setObjectName(QStringLiteral("CRecordEQPage"));
  tailRecord_ = eq::DefaultEqTailRecord();
}

// ---- controls -------------------------------------------------------------------------------

void CRecordEQPage::CreateContents(QWidget& contents) {
  const ui::DialogLayout layout(contents);
  const ui::DialogUnits& units = layout.Units();
  contents.setMinimumSize(units.Size(307, 311));

  auto label = [&](const char* text, QRect rect, const char* id = nullptr) {
    return layout.Label(text, rect, id);
  };
  auto button = [&](const char* text, const char* id, QRect rect) {
    return layout.Button(text, id, rect);
  };
  auto edit = [&](const char* id, int x, int y) {
    return layout.Edit(id, units.Rect(x, y, 25, 13));
  };

  layout.Group("EQ related setting", units.Rect(7, 7, 99, 25), "1247");
  label("Compensation ", units.Rect(37, 33, 50, 8));
  label("Band-1", units.Rect(92, 32, 25, 8), "1243");
  label("Band-2", units.Rect(121, 32, 25, 8));
  label("Band-3", units.Rect(152, 32, 25, 8));
  label("Band-4", units.Rect(180, 32, 25, 8));
  label("Band-5", units.Rect(210, 32, 25, 8), "1242");
  label("Gain", units.Rect(237, 31, 20, 8));
  label("(dB)", units.Rect(238, 39, 20, 8));
  label("12dB", units.Rect(235, 58, 28, 8));
  label("-12dB", units.Rect(235, 172, 29, 8));
  label("Central Freq (Hz)", units.Rect(32, 182, 57, 8));
  label("Bandwidth (Hz)", units.Rect(33, 201, 58, 8));
  layout.Group("Gains of four pre-settings mode", units.Rect(17, 228, 216, 37));

  disableEq_ = layout.CheckBox("Disable EQ", "1181", units.Rect(11, 18, 53, 9));
  test_ = button("Test", "1215", units.Rect(75, 17, 29, 13));
  reset_ = button("Reset", "1241", units.Rect(126, 16, 30, 13));

  auto gainEdit = [&](const char* id, int x) {
    auto* widget = new CREditEnter(&contents);
    widget->setObjectName(QString::fromLatin1(id));
    widget->setGeometry(units.Rect(x, 44, 25, 13));
    widget->installEventFilter(this);
    return widget;
  };
  constexpr std::array<int, eq::kBandCount> kGainX{91, 120, 149, 178, 207};
  constexpr std::array<const char*, eq::kBandCount> kGainIds{"1193", "1194", "1195", "1196",
                                                             "1197"};
  for (int k = 0; k < eq::kBandCount; ++k)
    gainEdits_[k] = gainEdit(kGainIds[k], kGainX[k]);
  gainEdits_[eq::kCompensationIndex] = gainEdit("1198", 51);

  auto slider = [&](const char* id, QRect rect) { return AddGainSlider(contents, id, rect); };
  constexpr std::array<int, eq::kBandCount> kSliderX{97, 126, 157, 185, 213};
  constexpr std::array<const char*, eq::kBandCount> kSliderIds{"1199", "1200", "1201", "1202",
                                                               "1203"};
  for (int k = 0; k < eq::kBandCount; ++k)
    sliders_[k] = slider(kSliderIds[k], units.Rect(kSliderX[k], 58, 16, 122));
  sliders_[eq::kCompensationIndex] = slider("1204", units.Rect(57, 57, 16, 123));

  constexpr std::array<int, eq::kBandCount> kCentreX{94, 123, 153, 182, 211};
  constexpr std::array<int, eq::kBandCount> kBandwidthX{93, 122, 152, 181, 210};
  for (int k = 0; k < eq::kBandCount; ++k) {
    centreEdits_[k] = edit(QByteArray::number(1205 + k).constData(), kCentreX[k], 180);
    centreEdits_[k]->installEventFilter(this);
  }
  for (int k = 0; k < eq::kBandCount; ++k) {
    bandwidthEdits_[k] = edit(QByteArray::number(1210 + k).constData(), kBandwidthX[k], 199);
    bandwidthEdits_[k]->installEventFilter(this);
  }

  constexpr std::array<int, kColumns> kTextX{28, 57, 87, 116, 145, 173};
  constexpr std::array<const char*, kColumns> kTextIds{"1216", "1217", "1218",
                                                       "1219", "1220", "1227"};
  for (int column = 0; column < kColumns; ++column) {
    gainTextEdits_[column] = edit(kTextIds[column], kTextX[column], 243);
    gainTextEdits_[column]->setReadOnly(true);
  }

  // Enter or Tab: band to band, band 5 to band 1's centre frequency, the compensation to
  // "Disable EQ".
  for (int k = 0; k + 1 < eq::kBandCount; ++k)
    gainEdits_[k]->SetNext(gainEdits_[k + 1]);
  gainEdits_[eq::kBandCount - 1]->SetNext(centreEdits_[0]);
  gainEdits_[eq::kCompensationIndex]->SetNext(disableEq_);
  SetControlOrder();

  for (int column = 0; column < kColumns; ++column)
    connect(sliders_[column], &QSlider::valueChanged, this,
            [this, column] { OnSliderMoved(column); });
  connect(disableEq_, &QCheckBox::clicked, this, &CRecordEQPage::OnDisableEqClicked);
  connect(test_, &QPushButton::clicked, this, &CRecordEQPage::OnTestClicked);
  connect(reset_, &QPushButton::clicked, this, &CRecordEQPage::OnResetClicked);

  ResetEqDefaults();
}

// The order Tab follows, laid out as on the playback page: band sliders, band gains, centre
// frequency and bandwidth band by band, Reset, the gain texts, Test, then the compensation gain,
// whose Enter/Tab goes to "Disable EQ" right after it, and the compensation slider. Every
// control thus lies on the round; in the order of creation the jumps of band 5's gain (to band
// 1's centre frequency) and of the compensation gain (back to "Disable EQ") passed over the
// compensation gain and every slider.
void CRecordEQPage::SetControlOrder() {
  std::vector<QWidget*> order;
  for (int k = 0; k < eq::kBandCount; ++k)
    order.push_back(sliders_[k]);
  for (int k = 0; k < eq::kBandCount; ++k)
    order.push_back(gainEdits_[k]);
  for (int k = 0; k < eq::kBandCount; ++k) {
    order.push_back(centreEdits_[k]);
    order.push_back(bandwidthEdits_[k]);
  }
  order.push_back(reset_);
  for (int column = 0; column < kColumns; ++column)
    order.push_back(gainTextEdits_[column]);
  order.push_back(test_);
  order.push_back(gainEdits_[eq::kCompensationIndex]);
  order.push_back(disableEq_);
  order.push_back(sliders_[eq::kCompensationIndex]);
  for (size_t i = 0; i + 1 < order.size(); ++i)
    QWidget::setTabOrder(order[i], order[i + 1]);
}

void CRecordEQPage::ReleaseContents() {
  disableEq_ = nullptr;
  test_ = reset_ = nullptr;
  gainEdits_ = {};
  sliders_ = {};
  centreEdits_ = {};
  bandwidthEdits_ = {};
  gainTextEdits_ = {};
}

// ---- data exchange --------------------------------------------------------------------------

void CRecordEQPage::UpdateFromControls() {
  values_.eqDisabled = disableEq_->isChecked();
  for (int column = 0; column < kColumns; ++column)
    values_.gainTexts[column] = gainTextEdits_[column]->text();
}

void CRecordEQPage::UpdateControls() {
  disableEq_->setChecked(values_.eqDisabled);
  for (int column = 0; column < kColumns; ++column)
    gainTextEdits_[column]->setText(values_.gainTexts[column]);
}

std::array<eq::Band, eq::kBandCount> CRecordEQPage::TypedBands() const {
  std::array<eq::Band, eq::kBandCount> bands{};
  for (int k = 0; k < eq::kBandCount; ++k)
    bands[k] = {eq::ScanInt(centreEdits_[k]->text().toStdString()),
                eq::ScanInt(bandwidthEdits_[k]->text().toStdString())};
  return bands;
}

void CRecordEQPage::SetGainTexts() {
  for (int column = 0; column < kColumns; ++column)
    values_.gainTexts[column] = GainText(eq::GainCodeToDb(gains_[column]));
}

// ---- the page's operations -------------------------------------------------------------------

void CRecordEQPage::ResetEqDefaults() {
  SliderSetting setting(settingSliders_, [this] { SliderFeedback(); });
  values_.eqDisabled = false;
  gains_ = eq::kDefaultRecordGains;
  SetGainTexts();
  tailRecord_ = eq::DefaultEqTailRecord();
  for (int k = 0; k < eq::kBandCount; ++k) {
    centreEdits_[k]->setText(TextOf(eq::kDefaultBandTexts[k].centre));
    bandwidthEdits_[k]->setText(TextOf(eq::kDefaultBandTexts[k].bandwidth));
  }
  for (int column = 0; column < kColumns; ++column) {
    gainEdits_[column]->setText(values_.gainTexts[column]);
    sliders_[column]->setRange(0, eq::kSliderMax);
    sliders_[column]->setValue(eq::DbToSliderPosition(eq::GainCodeToDb(gains_[column])));
  }
  // The enable state of the controls stays as it is.
  UpdateControls();
}

void CRecordEQPage::RefreshEqControls() {
  SliderSetting setting(settingSliders_, [this] { SliderFeedback(); });
  ApplyEqEnable(values_.eqDisabled);
  const std::array<eq::Band, eq::kBandCount> bands = eq::BandsOf(tailRecord_);
  for (int k = 0; k < eq::kBandCount; ++k) {
    centreEdits_[k]->setText(QString::number(bands[k].centreHz));
    bandwidthEdits_[k]->setText(QString::number(bands[k].bandwidthHz));
  }
  for (int column = 0; column < kColumns; ++column) {
    gainEdits_[column]->setText(values_.gainTexts[column]);
    sliders_[column]->setValue(eq::DbToSliderPosition(eq::GainCodeToDb(gains_[column])));
  }
  UpdateControls();
}

void CRecordEQPage::ApplyEqEnable(bool disabled) {
  const bool enable = !disabled;
  test_->setEnabled(enable);
  for (int column = 0; column < kColumns; ++column) {
    gainEdits_[column]->setEnabled(enable);
    sliders_[column]->setEnabled(enable);
  }
  for (int k = 0; k < eq::kBandCount; ++k) {
    centreEdits_[k]->setEnabled(enable);
    bandwidthEdits_[k]->setEnabled(enable);
  }
}

// ---- handlers ---------------------------------------------------------------------------------

void CRecordEQPage::OnSliderMoved(int column) {
  if (settingSliders_ > 0 || sliders_[column] == nullptr) return;
  const int position = sliders_[column]->value();
  gainEdits_[column]->setText(GainText(eq::SliderPositionToDb(position)));
  // The read-only gain texts keep showing the gains as loaded or reset.
  gains_[column] = eq::SliderPositionToCode(position);
  UpdateControls();
}

void CRecordEQPage::SliderFeedback() {
  for (int column = 0; column < kColumns; ++column)
    OnSliderMoved(column);
}

void CRecordEQPage::CommitGain(int column) {
  SliderSetting setting(settingSliders_, [this] { SliderFeedback(); });
  UpdateFromControls();
  const double dB = eq::ScanDouble(gainEdits_[column]->text().toStdString());
  sliders_[column]->setValue(eq::DbToSliderPosition(dB));
  UpdateControls();
}

bool CRecordEQPage::CheckBand(int band) {
  UpdateFromControls();
  const eq::BandFault fault = eq::CheckBand(centreEdits_[band]->text().toStdString(),
                                            bandwidthEdits_[band]->text().toStdString());
  if (fault == eq::BandFault::kNone) return true;
  const QPointer<QWidget> contents = Contents();
  context_.dialogs.ShowMessage(this,
                               TextOf(eq::BandFaultMessage(eq::EqPath::kRecord, band + 1, fault)));
  // The page may have been removed while the message was open.
  if (contents.isNull()) return false;
  centreEdits_[band]->setText(TextOf(eq::kDefaultBandTexts[band].centre));
  if (eq::RestoresBandwidth(fault))
    bandwidthEdits_[band]->setText(TextOf(eq::kDefaultBandTexts[band].bandwidth));
  return true;
}

void CRecordEQPage::OnDisableEqClicked() {
  UpdateFromControls();
  ApplyEqEnable(values_.eqDisabled);
}

void CRecordEQPage::OnTestClicked() {
  if (values_.eqDisabled) return;
  eq::UploadRecordEq(context_.transport, context_.log, TypedBands(), gains_);
}

void CRecordEQPage::OnResetClicked() {
  const QPointer<QWidget> contents = Contents();
  const bool ok = context_.dialogs.Ask(this, QString::fromLatin1(kResetQuestion));
  if (contents.isNull() || !ok) return;
  ResetEqDefaults();
  RefreshEqControls();
}

bool CRecordEQPage::eventFilter(QObject* watched, QEvent* event) {
  if (ui::LeavesControl(event) && Contents() != nullptr) {
    for (int column = 0; column < kColumns; ++column)
      if (watched == gainEdits_[column]) CommitGain(column);
    for (int band = 0; band < eq::kBandCount; ++band) {
      if (watched != centreEdits_[band] && watched != bandwidthEdits_[band]) continue;
      // The edit is gone with the page: the event must not reach it.
      if (!CheckBand(band)) return true;
    }
  }
  return ConfigPage::eventFilter(watched, event);
}

// ---- load and store ---------------------------------------------------------------------------

void CRecordEQPage::LoadContents() {
  // No reset here: the contents are made anew, and reset, after every connect.
  const eq::RecordEqImage read = eq::ReadRecordEq(context_.model);
  if (read.enabled == false) values_.eqDisabled = true;
  if (read.gains) {
    gains_ = *read.gains;
    SetGainTexts();
    if (read.tailRecord) tailRecord_ = *read.tailRecord;
  }
  UpdateControls();
  RefreshEqControls();
}

void CRecordEQPage::StoreContents() {
  UpdateFromControls();
  eq::RecordEqValues values;
  values.gains = gains_;
  values.bands = TypedBands();
  values.eqDisabled = values_.eqDisabled;
  eq::StoreRecordEq(context_.model, values, tailRecord_);
}

}  // namespace veltra::pages
