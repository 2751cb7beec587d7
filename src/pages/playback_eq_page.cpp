#include "pages/playback_eq_page.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>

#include "eq/gain_code.h"
#include "eq/live_upload.h"
#include "eq/number_text.h"
#include "eq/tone_mode.h"
#include "image/audio_io_rules.h"
#include "image/eeprom_config.h"
#include "image/eq_image.h"
#include "pages/edit_enter.h"
#include "pages/eq_page_controls.h"
#include "ui/dialog_layout.h"

namespace veltra::pages {

const char* const CEQPage::kResetQuestion =
    "All changes for PlayBack EQ Config before save will be discarded !!!";

namespace {

constexpr int kBass = 0;
constexpr int kTreble = eq::kBandCount - 1;
constexpr int kToneEnableItem = 1;

}  // namespace

CEQPage::CEQPage(const PageContext& context, QWidget* parent)
    : EqPageBase({QStringLiteral("PlayBack EQ Config"), eq::EqPath::kPlayback, kResetQuestion,
                  eq::kDefaultPlaybackGains, QSize(307, 331), image::section_type::kPlaybackEq},
                 context, parent) {
  setObjectName(QStringLiteral("CEQPage"));
}

// ---- controls -------------------------------------------------------------------------------

void CEQPage::CreateControls(const ui::DialogLayout& layout) {
  const ui::DialogUnits& units = layout.Units();
  auto label = [&](const char* text, QRect rect) { return layout.Label(text, rect); };
  auto group = [&](const char* text, QRect rect) { return layout.Group(text, rect); };
  // Drop-down lists: the template's height includes the open list; the closed box is one row.
  auto list = [&](const char* id, QStringList items, int x, int y, int width) {
    return layout.List(id, items, units.Rect(x, y, width, 12));
  };

  // Frames and labels first; the controls follow in the template's control order.
  group("EQ related setting", units.Rect(7, 11, 214, 37));
  label("Treble/Bass:", units.Rect(72, 19, 43, 8));
  label("Maximum:", units.Rect(88, 34, 37, 8));
  AddCaptions(layout, {.compensation = {35, 52},
                       .bands = {{{87, 53}, {116, 53}, {147, 53}, {175, 53}, {205, 53}}},
                       .gainUnit = {{{233, 52}, {235, 60}}},
                       .scale = {{{231, 75}, {231, 193}}},
                       .bandEdits = {{{26, 206}, {26, 222}}},
                       .bandIds = {"1167", "1168"},
                       .scaleIds = {"1273", "1274"}});
  group("Preset select", units.Rect(7, 241, 74, 27));
  label("[EQ1,EQ0]", units.Rect(12, 253, 35, 8));
  group("Gains of four pre-settings mode", units.Rect(84, 242, 216, 75));
  label("Mode 00", units.Rect(92, 255, 30, 8));
  label("Mode 11", units.Rect(92, 271, 30, 8));
  label("Mode 01", units.Rect(92, 287, 30, 8));
  label("Mode 10", units.Rect(92, 303, 30, 8));

  AddBandSliders(layout, {{"1109", "1110", "1111", "1112", "1113"}, {93, 122, 153, 181, 209}, 76},
                 126);
  AddBandGainEdits(layout,
                   {{"1115", "1119", "1120", "1121", "1122"}, {87, 116, 145, 174, 203}, 63});
  constexpr std::array<int, eq::kBandCount> kBandX{88, 117, 147, 176, 205};
  constexpr std::array<const char*, eq::kBandCount> kCentreIds{"1116", "1118", "1124", "1126",
                                                               "1128"};
  constexpr std::array<const char*, eq::kBandCount> kBandwidthIds{"1117", "1123", "1125", "1127",
                                                                  "1129"};
  for (int k = 0; k < eq::kBandCount; ++k) {
    centreEdits_[k] = AddEqEdit(layout, kCentreIds[k], kBandX[k], 204);
    bandwidthEdits_[k] = AddEqEdit(layout, kBandwidthIds[k], kBandX[k], 220);
  }

  reset_ = layout.Button("Reset", "1131", units.Rect(227, 18, 30, 13));
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
    return AddGainTableEdit(layout, preset, column, kPresetIds[preset][column],
                            {kPresetX[column], kRowY[preset]});
  };
  for (int preset = 0; preset < eq::kPresetCount; ++preset)
    for (int k = 0; k < eq::kBandCount; ++k)
      presetEdit(preset, k);

  test_ = layout.Button("Test", "1157", units.Rect(186, 18, 30, 13));
  AddGainEdit(layout, eq::kCompensationIndex, "1158", {51, 63});
  QLineEdit* const compensation00 = presetEdit(0, eq::kCompensationIndex);
  for (int preset = 1; preset < eq::kPresetCount; ++preset)
    presetEdit(preset, eq::kCompensationIndex);
  toneMode_ = list("1160", {QStringLiteral("Disable"), QStringLiteral("Enable")}, 117, 18, 40);
  maximum_ = list("1246", {}, 128, 33, 35);
  AddSlider(layout, eq::kCompensationIndex, "1114", {55, 76, 16, 127});

  // Enter or Tab in the compensation gain goes on to its own preset "00" text.
  gainEdits_[eq::kCompensationIndex]->SetNext(compensation00);
  // Beside the template, right of the sliders.
  AddPlot(layout, QRect(312, 11, 180, 230), QRect(312, 245, 180, 30));

  connect(toneMode_, &QComboBox::activated, this, &CEQPage::OnToneModeSelected);
  connect(maximum_, &QComboBox::activated, this, &CEQPage::ApplyToneRange);
  connect(preset_, &QComboBox::activated, this, &CEQPage::ShowPreset);
  connect(preset_, &QComboBox::currentIndexChanged, this, &CEQPage::RefreshPlot);
  connect(toneMode_, &QComboBox::currentIndexChanged, this, &CEQPage::RefreshPlot);
}

void CEQPage::ReleaseContents() {
  EqPageBase::ReleaseContents();
  toneMode_ = maximum_ = preset_ = nullptr;
}

// ---- state of the controls -------------------------------------------------------------------

bool CEQPage::HasPlaybackEq() const {
  return context_.model.GetCapability(image::capability_flag::kPlaybackEq) != 0;
}

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

bool CEQPage::BandActs(int band) const {
  // Tone mode replaces the five bands by bass and treble on bands 1 and 5.
  if (ToneModeOn()) return band == kBass || band == kTreble;
  return EqPageBase::BandActs(band);
}

std::optional<double> CEQPage::ToneMaximum(int column) const {
  if (ToneModeOn() && (column == kBass || column == kTreble)) return MaximumDb();
  return std::nullopt;
}

// ---- the page's operations -------------------------------------------------------------------

void CEQPage::ResetModes() {
  preset_->setCurrentIndex(0);
  toneMode_->setCurrentIndex(0);
  toneMode_->setEnabled(false);
  maximum_->setEnabled(false);
  disableEq_->setEnabled(true);
  band1Label_->setText(QStringLiteral("Band-1"));
  band5Label_->setText(QStringLiteral("Band-5"));
}

void CEQPage::RefreshGainControls() {
  ApplyToneMode(ToneModeOn(), false);
  ShowPreset();
}

void CEQPage::ApplyEqEnable(bool disabled) {
  EqPageBase::ApplyEqEnable(disabled);
  if (disabled) {
    toneMode_->setEnabled(HasPlaybackEq());
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
  const SliderSetting setting = SettingSliders();
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
  const SliderSetting setting = SettingSliders();
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
  // The names of bands 1 and 5 may have changed with the mode.
  RefreshPlot();
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
  const SliderSetting setting = SettingSliders();
  UpdateFromControls();
  ShowGains();
  UpdateControls();
}

// ---- handlers ---------------------------------------------------------------------------------

void CEQPage::OnToneModeSelected() {
  UpdateFromControls();
  ApplyEqEnable(values_.eqDisabled);
  const bool on = ToneModeOn();
  ApplyToneMode(on, on);
  UpdateControls();
}

void CEQPage::OnTestClicked() {
  // No check here: the edits go as they are, also while the EQ is disabled or in tone mode.
  const int preset = SelectedPreset();
  // The words Save would store, so that what is heard is what is saved.
  ShowTestOutcome(eq::UploadPlaybackEq(context_.transport, context_.log, StoredWords(),
                                       gains_[preset], static_cast<uint8_t>(preset)));
}

// ---- load and store ---------------------------------------------------------------------------

void CEQPage::LoadContents() {
  ResetEqDefaults();
  if (!HasPlaybackEq()) {
    values_.eqDisabled = true;
    disableEq_->setEnabled(false);
    ApplyEqEnable(true);
    UpdateControls();
    return;
  }
  if (context_.model.IsEmpty()) return;

  const eq::PlaybackEqImage read = eq::ReadPlaybackEq(context_.model);
  if (read.gains) {
    gains_.assign(read.gains->begin(), read.gains->end());
    SetGainTableTexts();
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
  if (!HasPlaybackEq()) return;
  UpdateFromControls();
  eq::PlaybackEqValues values;
  std::copy_n(gains_.begin(), values.gains.size(), values.gains.begin());
  values.bands = TypedBands();
  values.eqDisabled = values_.eqDisabled;
  values.toneMode = ToneModeOn();
  values.toneMaximumDb = MaximumDb();
  eq::StorePlaybackEq(context_.model, values, tailRecord_);
}

}  // namespace veltra::pages
