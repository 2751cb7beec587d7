#include "pages/playback_eq_page.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
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
#include "eq/tone_mode.h"
#include "image/eeprom_config.h"
#include "pages/edit_enter.h"
#include "pages/eq_page_controls.h"
#include "pages/slider_setting.h"
#include "ui/dialog_layout.h"
#include "ui/focus_leave.h"
#include "ui/user_dialogs.h"

namespace veltra::pages {

const char* const CEQPage::kResetQuestion =
    "All changes for PlayBack EQ Config before save will be discarded !!!";

namespace {

constexpr int kPlaybackEqCapability = 5;
constexpr int kBass = 0;
constexpr int kTreble = eq::kBandCount - 1;
constexpr int kToneEnableItem = 1;

}  // namespace

CEQPage::CEQPage(const PageContext& context, QWidget* parent)
    : ConfigPage(QStringLiteral("PlayBack EQ Config"), parent), context_(context) {
  setObjectName(QStringLiteral("CEQPage"));
  tailRecord_ = eq::DefaultEqTailRecord();
}

// ---- controls -------------------------------------------------------------------------------

void CEQPage::CreateContents(QWidget& contents) {
  const ui::DialogLayout layout(contents);
  const ui::DialogUnits& units = layout.Units();
  contents.setMinimumSize(units.Size(307, 331));

  auto label = [&](const char* text, QRect rect, const char* id = nullptr) {
    return layout.Label(text, rect, id);
  };
  auto group = [&](const char* text, QRect rect) { return layout.Group(text, rect); };
  auto button = [&](const char* text, const char* id, QRect rect) {
    return layout.Button(text, id, rect);
  };
  // Drop-down lists: the template's height includes the open list; the closed box is one row.
  auto list = [&](const char* id, QStringList items, int x, int y, int width) {
    return layout.List(id, items, units.Rect(x, y, width, 12));
  };
  auto edit = [&](const char* id, int x, int y) {
    return layout.Edit(id, units.Rect(x, y, 25, 13));
  };

  // Frames and labels first; the controls follow in the template's control order.
  group("EQ related setting", units.Rect(7, 11, 214, 37));
  label("Treble/Bass:", units.Rect(72, 19, 43, 8));
  label("Maximum:", units.Rect(88, 34, 37, 8));
  label("Compensation ", units.Rect(35, 52, 50, 8));
  band1Label_ = label("Band-1", units.Rect(87, 53, 25, 8), "1167");
  label("Band-2", units.Rect(116, 53, 25, 8));
  label("Band-3", units.Rect(147, 53, 25, 8));
  label("Band-4", units.Rect(175, 53, 25, 8));
  band5Label_ = label("Band-5", units.Rect(205, 53, 25, 8), "1168");
  label("Gain", units.Rect(233, 52, 20, 8));
  label("(dB)", units.Rect(235, 60, 20, 8));
  scaleTop_ = label("12dB", units.Rect(231, 75, 28, 8), "1273");
  scaleBottom_ = label("-12dB", units.Rect(231, 193, 29, 8), "1274");
  label("Central Freq (Hz)", units.Rect(26, 206, 57, 8));
  label("Bandwidth (Hz)", units.Rect(26, 222, 58, 8));
  group("Preset select", units.Rect(7, 241, 74, 27));
  label("[EQ1,EQ0]", units.Rect(12, 253, 35, 8));
  group("Gains of four pre-settings mode", units.Rect(84, 242, 216, 75));
  label("Mode 00", units.Rect(92, 255, 30, 8));
  label("Mode 11", units.Rect(92, 271, 30, 8));
  label("Mode 01", units.Rect(92, 287, 30, 8));
  label("Mode 10", units.Rect(92, 303, 30, 8));

  constexpr std::array<int, eq::kBandCount> kSliderX{93, 122, 153, 181, 209};
  constexpr std::array<const char*, eq::kBandCount> kSliderIds{"1109", "1110", "1111", "1112",
                                                               "1113"};
  auto slider = [&](const char* id, QRect rect) { return AddGainSlider(contents, id, rect); };
  for (int k = 0; k < eq::kBandCount; ++k)
    sliders_[k] = slider(kSliderIds[k], units.Rect(kSliderX[k], 76, 16, 126));

  auto gainEdit = [&](const char* id, int x) {
    auto* widget = new CEditEnter(&contents);
    widget->setObjectName(QString::fromLatin1(id));
    widget->setGeometry(units.Rect(x, 63, 25, 13));
    widget->installEventFilter(this);
    return widget;
  };
  constexpr std::array<int, eq::kBandCount> kGainX{87, 116, 145, 174, 203};
  constexpr std::array<const char*, eq::kBandCount> kGainIds{"1115", "1119", "1120", "1121",
                                                             "1122"};
  for (int k = 0; k < eq::kBandCount; ++k)
    gainEdits_[k] = gainEdit(kGainIds[k], kGainX[k]);

  constexpr std::array<int, eq::kBandCount> kBandX{88, 117, 147, 176, 205};
  constexpr std::array<const char*, eq::kBandCount> kCentreIds{"1116", "1118", "1124", "1126",
                                                               "1128"};
  constexpr std::array<const char*, eq::kBandCount> kBandwidthIds{"1117", "1123", "1125", "1127",
                                                                  "1129"};
  for (int k = 0; k < eq::kBandCount; ++k) {
    centreEdits_[k] = edit(kCentreIds[k], kBandX[k], 204);
    bandwidthEdits_[k] = edit(kBandwidthIds[k], kBandX[k], 220);
    centreEdits_[k]->installEventFilter(this);
    bandwidthEdits_[k]->installEventFilter(this);
  }

  reset_ = button("Reset", "1131", units.Rect(227, 18, 30, 13));
  QStringList presetNames;
  for (std::string_view name : eq::kPresetNames)
    presetNames << TextOf(name);
  preset_ = list("1132", presetNames, 51, 251, 27);
  disableEq_ = layout.CheckBox("Disable EQ", "1135", units.Rect(15, 20, 49, 9));

  // Preset rows top to bottom: "00", "11", "01", "10".
  constexpr std::array<int, eq::kPresetCount> kRowY{252, 284, 300, 268};
  constexpr std::array<int, kColumns> kPresetX{126, 155, 185, 214, 243, 272};
  constexpr std::array<std::array<const char*, kColumns>, eq::kPresetCount> kPresetIds{{
      {"1130", "1138", "1139", "1140", "1141", "1163"},
      {"1142", "1143", "1144", "1145", "1146", "1164"},
      {"1147", "1148", "1149", "1150", "1151", "1165"},
      {"1152", "1153", "1154", "1155", "1156", "1166"},
  }};
  auto presetEdit = [&](int preset, int column) {
    QLineEdit* widget = edit(kPresetIds[preset][column], kPresetX[column], kRowY[preset]);
    widget->setReadOnly(true);
    presetEdits_[preset][column] = widget;
  };
  for (int preset = 0; preset < eq::kPresetCount; ++preset)
    for (int k = 0; k < eq::kBandCount; ++k)
      presetEdit(preset, k);

  test_ = button("Test", "1157", units.Rect(186, 18, 30, 13));
  gainEdits_[eq::kCompensationIndex] = gainEdit("1158", 51);
  for (int preset = 0; preset < eq::kPresetCount; ++preset)
    presetEdit(preset, eq::kCompensationIndex);
  toneMode_ = list("1160", {QStringLiteral("Disable"), QStringLiteral("Enable")}, 117, 18, 40);
  maximum_ = list("1246", {}, 128, 33, 35);
  sliders_[eq::kCompensationIndex] = slider("1114", units.Rect(55, 76, 16, 127));

  // Enter or Tab in a gain edit: bands 1 to 4 go on to the next band, band 5 to band 1's
  // centre frequency, the compensation to its own preset "00" text.
  for (int k = 0; k + 1 < eq::kBandCount; ++k)
    gainEdits_[k]->SetNext(gainEdits_[k + 1]);
  gainEdits_[kTreble]->SetNext(centreEdits_[0]);
  gainEdits_[eq::kCompensationIndex]->SetNext(presetEdits_[0][eq::kCompensationIndex]);

  for (int column = 0; column < kColumns; ++column)
    connect(sliders_[column], &QSlider::valueChanged, this,
            [this, column] { OnSliderMoved(column); });
  connect(disableEq_, &QCheckBox::clicked, this, &CEQPage::OnDisableEqClicked);
  connect(toneMode_, &QComboBox::activated, this, &CEQPage::OnToneModeSelected);
  connect(maximum_, &QComboBox::activated, this, &CEQPage::ApplyToneRange);
  connect(preset_, &QComboBox::activated, this, &CEQPage::ShowPreset);
  connect(test_, &QPushButton::clicked, this, &CEQPage::OnTestClicked);
  connect(reset_, &QPushButton::clicked, this, &CEQPage::OnResetClicked);

  ResetEqDefaults();
}

void CEQPage::ReleaseContents() {
  disableEq_ = nullptr;
  toneMode_ = maximum_ = preset_ = nullptr;
  test_ = reset_ = nullptr;
  band1Label_ = band5Label_ = scaleTop_ = scaleBottom_ = nullptr;
  gainEdits_ = {};
  sliders_ = {};
  centreEdits_ = {};
  bandwidthEdits_ = {};
  presetEdits_ = {};
}

// ---- data exchange --------------------------------------------------------------------------

void CEQPage::UpdateFromControls() {
  values_.eqDisabled = disableEq_->isChecked();
  for (int preset = 0; preset < eq::kPresetCount; ++preset)
    for (int column = 0; column < kColumns; ++column)
      values_.presetTexts[preset * kColumns + column] = presetEdits_[preset][column]->text();
}

void CEQPage::UpdateControls() {
  disableEq_->setChecked(values_.eqDisabled);
  for (int preset = 0; preset < eq::kPresetCount; ++preset)
    for (int column = 0; column < kColumns; ++column)
      presetEdits_[preset][column]->setText(values_.presetTexts[preset * kColumns + column]);
}

// ---- state of the controls -------------------------------------------------------------------

int CEQPage::SelectedPreset() const {
  const int index = preset_->currentIndex();
  return index >= 0 && index < eq::kPresetCount ? index : 0;
}

bool CEQPage::ToneModeOn() const {
  return toneMode_->currentIndex() == kToneEnableItem;
}

double CEQPage::MaximumDb() const {
  return eq::ScanDouble(maximum_->currentText().toStdString());
}

bool CEQPage::IsToneColumn(int column) const {
  return ToneModeOn() && (column == kBass || column == kTreble);
}

std::array<eq::Band, eq::kBandCount> CEQPage::TypedBands() const {
  std::array<eq::Band, eq::kBandCount> bands{};
  for (int k = 0; k < eq::kBandCount; ++k)
    bands[k] = {eq::ScanInt(centreEdits_[k]->text().toStdString()),
                eq::ScanInt(bandwidthEdits_[k]->text().toStdString())};
  return bands;
}

void CEQPage::SetPresetTexts() {
  for (int preset = 0; preset < eq::kPresetCount; ++preset)
    for (int column = 0; column < kColumns; ++column)
      values_.presetTexts[preset * kColumns + column] =
          GainText(eq::GainCodeToDb(gains_[preset][column]));
}

// ---- the page's operations -------------------------------------------------------------------

void CEQPage::ResetEqDefaults() {
  SliderSetting setting(settingSliders_, [this] { SliderFeedback(); });
  preset_->setCurrentIndex(0);
  toneMode_->setCurrentIndex(0);
  values_.eqDisabled = false;
  toneMode_->setEnabled(false);
  maximum_->setEnabled(false);
  disableEq_->setEnabled(true);

  gains_ = eq::kDefaultPlaybackGains;
  SetPresetTexts();

  tailRecord_ = eq::DefaultEqTailRecord();
  for (int k = 0; k < eq::kBandCount; ++k) {
    centreEdits_[k]->setText(TextOf(eq::kDefaultBandTexts[k].centre));
    bandwidthEdits_[k]->setText(TextOf(eq::kDefaultBandTexts[k].bandwidth));
  }

  for (int column = 0; column < kColumns; ++column) {
    const double dB = eq::GainCodeToDb(gains_[0][column]);
    gainEdits_[column]->setText(GainText(dB));
    sliders_[column]->setRange(0, eq::kSliderMax);
    sliders_[column]->setValue(eq::DbToSliderPosition(dB));
  }
  band1Label_->setText(QStringLiteral("Band-1"));
  band5Label_->setText(QStringLiteral("Band-5"));
  UpdateControls();
}

void CEQPage::RefreshEqControls() {
  SliderSetting setting(settingSliders_, [this] { SliderFeedback(); });
  ApplyEqEnable(values_.eqDisabled);
  ApplyToneMode(ToneModeOn(), false);
  ShowPreset();
  const std::array<eq::Band, eq::kBandCount> bands = eq::BandsOf(tailRecord_);
  for (int k = 0; k < eq::kBandCount; ++k) {
    centreEdits_[k]->setText(QString::number(bands[k].centreHz));
    bandwidthEdits_[k]->setText(QString::number(bands[k].bandwidthHz));
  }
  UpdateControls();
}

void CEQPage::ApplyEqEnable(bool disabled) {
  for (int column = 0; column < kColumns; ++column) {
    gainEdits_[column]->setEnabled(!disabled);
    sliders_[column]->setEnabled(!disabled);
  }
  for (int k = 0; k < eq::kBandCount; ++k) {
    centreEdits_[k]->setEnabled(!disabled);
    bandwidthEdits_[k]->setEnabled(!disabled);
  }
  if (disabled) {
    toneMode_->setEnabled(context_.model.GetCapability(kPlaybackEqCapability) != 0);
    preset_->setEnabled(false);
  } else {
    // Tone mode replaces the five-band EQ: it exists only while the EQ is disabled.
    toneMode_->setEnabled(false);
    toneMode_->setCurrentIndex(0);
    ApplyToneMode(false, false);
    preset_->setEnabled(true);
  }
}

void CEQPage::ApplyToneMode(bool on, bool refill) {
  SliderSetting setting(settingSliders_, [this] { SliderFeedback(); });
  if (on) {
    maximum_->setEnabled(true);
    if (refill) FillMaximumList();
    preset_->setCurrentIndex(0);
    ShowPreset();
    for (int column = 0; column < kColumns; ++column) {
      const bool tone = column == kBass || column == kTreble;
      gainEdits_[column]->setEnabled(tone);
      sliders_[column]->setEnabled(tone);
    }
    for (int k = 0; k < eq::kBandCount; ++k) {
      centreEdits_[k]->setEnabled(false);
      bandwidthEdits_[k]->setEnabled(false);
    }
    band1Label_->setText(QStringLiteral("Bass"));
    band5Label_->setText(QStringLiteral("Treble"));
  } else {
    maximum_->clear();
    maximum_->setEnabled(false);
    band1Label_->setText(QStringLiteral("Band-1"));
    band5Label_->setText(QStringLiteral("Band-5"));
  }
  ApplyToneRange();
}

void CEQPage::ApplyToneRange() {
  SliderSetting setting(settingSliders_, [this] { SliderFeedback(); });
  UpdateFromControls();
  if (ToneModeOn()) {
    const double maximum = MaximumDb();
    const int range = eq::ToneSliderMax(maximum);
    for (int column : {kBass, kTreble}) {
      sliders_[column]->setRange(0, range);
      sliders_[column]->setValue(range / 2);
    }
    scaleTop_->setText(maximum_->currentText() + QStringLiteral("dB"));
    scaleBottom_->setText(GainText(-maximum) + QStringLiteral("dB"));
  } else {
    for (int column : {kBass, kTreble}) {
      sliders_[column]->setRange(0, eq::kSliderMax);
      sliders_[column]->setValue(
          eq::DbToSliderPosition(eq::ScanDouble(gainEdits_[column]->text().toStdString())));
    }
    scaleTop_->setText(QStringLiteral("12dB"));
    scaleBottom_->setText(QStringLiteral("-12dB"));
  }
}

void CEQPage::FillMaximumList() {
  UpdateFromControls();
  if (!ToneModeOn()) return;
  maximum_->clear();
  for (int item = 0; item < eq::kToneMaximumItemCount; ++item)
    maximum_->addItem(QString::fromStdString(eq::ToneMaximumItemText(item)));
  maximum_->setCurrentIndex(eq::kDefaultToneMaximumItem);
}

void CEQPage::ShowPreset() {
  SliderSetting setting(settingSliders_, [this] { SliderFeedback(); });
  UpdateFromControls();
  const eq::GainRow& row = gains_[SelectedPreset()];
  for (int column = 0; column < kColumns; ++column) {
    const double dB = eq::GainCodeToDb(row[column]);
    gainEdits_[column]->setText(GainText(dB));
    sliders_[column]->setValue(IsToneColumn(column) ? eq::ToneDbToSliderPosition(MaximumDb(), dB)
                                                    : eq::DbToSliderPosition(dB));
  }
  UpdateControls();
}

// ---- handlers ---------------------------------------------------------------------------------

void CEQPage::OnSliderMoved(int column) {
  if (settingSliders_ > 0 || sliders_[column] == nullptr) return;
  const int position = sliders_[column]->value();
  double dB = 0;
  uint8_t code = 0;
  if (IsToneColumn(column)) {
    dB = eq::ToneSliderPositionToDb(MaximumDb(), position);
    code = eq::ToneSliderPositionToCode(MaximumDb(), position);
  } else {
    dB = eq::SliderPositionToDb(position);
    code = eq::SliderPositionToCode(position);
  }
  gainEdits_[column]->setText(GainText(dB));
  // The preset table keeps showing the gains as loaded or reset.
  gains_[SelectedPreset()][column] = code;
  UpdateControls();
}

void CEQPage::SliderFeedback() {
  for (int column = 0; column < kColumns; ++column)
    OnSliderMoved(column);
}

void CEQPage::CommitGain(int column) {
  SliderSetting setting(settingSliders_, [this] { SliderFeedback(); });
  UpdateFromControls();
  const double dB = eq::ScanDouble(gainEdits_[column]->text().toStdString());
  // The slider holds the position within its range; the edit then shows where it ended.
  if (IsToneColumn(column)) {
    sliders_[column]->setValue(eq::ToneDbToSliderPosition(MaximumDb(), dB));
  } else {
    sliders_[column]->setValue(eq::DbToSliderPosition(dB));
  }
  UpdateControls();
}

bool CEQPage::CheckBand(int band) {
  UpdateFromControls();
  const eq::BandFault fault = eq::CheckBand(centreEdits_[band]->text().toStdString(),
                                            bandwidthEdits_[band]->text().toStdString());
  if (fault == eq::BandFault::kNone) return true;
  const QPointer<QWidget> contents = Contents();
  context_.dialogs.ShowMessage(
      this, TextOf(eq::BandFaultMessage(eq::EqPath::kPlayback, band + 1, fault)));
  // The page may have been removed while the message was open.
  if (contents.isNull()) return false;
  centreEdits_[band]->setText(TextOf(eq::kDefaultBandTexts[band].centre));
  if (eq::RestoresBandwidth(fault))
    bandwidthEdits_[band]->setText(TextOf(eq::kDefaultBandTexts[band].bandwidth));
  return true;
}

void CEQPage::OnToneModeSelected() {
  UpdateFromControls();
  ApplyEqEnable(values_.eqDisabled);
  const bool on = ToneModeOn();
  ApplyToneMode(on, on);
  UpdateControls();
}

void CEQPage::OnDisableEqClicked() {
  UpdateFromControls();
  ApplyEqEnable(values_.eqDisabled);
}

void CEQPage::OnTestClicked() {
  // No check here: the edits go as they are, also while the EQ is disabled or in tone mode.
  const int preset = SelectedPreset();
  eq::UploadPlaybackEq(context_.transport, context_.log, TypedBands(), gains_[preset],
                       static_cast<uint8_t>(preset));
}

void CEQPage::OnResetClicked() {
  const QPointer<QWidget> contents = Contents();
  const bool ok = context_.dialogs.Ask(this, QString::fromLatin1(kResetQuestion));
  if (contents.isNull() || !ok) return;
  if (context_.model.GetCapability(kPlaybackEqCapability) == 0) return;
  ResetEqDefaults();
  RefreshEqControls();
}

bool CEQPage::eventFilter(QObject* watched, QEvent* event) {
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

void CEQPage::LoadContents() {
  ResetEqDefaults();
  const image::EepromConfig& model = context_.model;
  if (model.GetCapability(kPlaybackEqCapability) == 0) {
    values_.eqDisabled = true;
    disableEq_->setEnabled(false);
    ApplyEqEnable(true);
    UpdateControls();
    return;
  }
  if (model.IsEmpty()) return;

  const eq::PlaybackEqImage read = eq::ReadPlaybackEq(model);
  if (read.gains) {
    gains_ = *read.gains;
    SetPresetTexts();
    if (read.tailRecord) tailRecord_ = *read.tailRecord;
  }
  if (read.options) {
    if (read.options->eqDisabled) {
      values_.eqDisabled = true;
      toneMode_->setEnabled(true);
      UpdateControls();
    }
    if (read.options->toneMode) {
      toneMode_->setCurrentIndex(kToneEnableItem);
      // Without a maximum in byte 9 the list keeps its 12.0.
      FillMaximumList();
      if ((read.options->toneMaximumCode & eq::kToneOnFlag) != 0) {
        if (auto item = eq::ToneMaximumItemForCode(read.options->toneMaximumCode))
          maximum_->setCurrentIndex(*item);
      }
    }
  }
  UpdateControls();
  RefreshEqControls();
}

void CEQPage::StoreContents() {
  if (context_.model.GetCapability(kPlaybackEqCapability) == 0) return;
  UpdateFromControls();
  eq::PlaybackEqValues values;
  values.gains = gains_;
  values.bands = TypedBands();
  values.eqDisabled = values_.eqDisabled;
  values.toneMode = ToneModeOn();
  values.toneMaximumDb = MaximumDb();
  eq::StorePlaybackEq(context_.model, values, tailRecord_);
}

}  // namespace veltra::pages
