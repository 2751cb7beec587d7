#include "pages/eq_page_base.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTime>

#include "eq/gain_code.h"
#include "eq/live_upload.h"
#include "eq/number_text.h"
#include "eq/tone_mode.h"
#include "image/eq_image.h"
#include "pages/band_response_plot.h"
#include "pages/edit_enter.h"
#include "pages/eq_page_controls.h"
#include "ui/dialog_layout.h"
#include "ui/focus_leave.h"
#include "ui/user_dialogs.h"

namespace veltra::pages {

EqPageBase::EqPageBase(const Kind& kind, const PageContext& context, QWidget* parent)
    : ConfigPage(kind.title, parent),
      context_(context),
      gains_(kind.factoryGains.begin(), kind.factoryGains.end()),
      tailRecord_(eq::DefaultEqTailRecord()),
      kind_(kind),
      gainTableEdits_(kind.factoryGains.size()) {
  values_.gainTableTexts.resize(kind.factoryGains.size());
}

// ---- controls -------------------------------------------------------------------------------

void EqPageBase::CreateContents(QWidget& contents) {
  const ui::DialogLayout layout(contents);
  contents.setMinimumSize(
      layout.Units().Size(kind_.templateSize.width(), kind_.templateSize.height()));
  CreateControls(layout);
  // Enter or Tab in a band's gain edit goes on to the next band's, band 5's to band 1's centre
  // frequency.
  for (int k = 0; k + 1 < eq::kBandCount; ++k)
    gainEdits_[k]->SetNext(gainEdits_[k + 1]);
  gainEdits_[eq::kBandCount - 1]->SetNext(centreEdits_[0]);
  for (QLineEdit* edit : gainEdits_)
    edit->installEventFilter(this);
  for (int k = 0; k < eq::kBandCount; ++k) {
    centreEdits_[k]->installEventFilter(this);
    bandwidthEdits_[k]->installEventFilter(this);
  }
  for (int column = 0; column < kColumns; ++column)
    connect(sliders_[column], &QSlider::valueChanged, this,
            [this, column] { OnSliderMoved(column); });
  connect(disableEq_, &QCheckBox::clicked, this, &EqPageBase::OnDisableEqClicked);
  connect(test_, &QPushButton::clicked, this, &EqPageBase::OnTestClicked);
  connect(reset_, &QPushButton::clicked, this, &EqPageBase::OnResetClicked);
  // The plot follows every change of a band as it is typed; the gains follow the sliders.
  connect(disableEq_, &QCheckBox::toggled, this, &EqPageBase::RefreshPlot);
  for (int k = 0; k < eq::kBandCount; ++k) {
    connect(centreEdits_[k], &QLineEdit::textChanged, this, &EqPageBase::RefreshPlot);
    connect(bandwidthEdits_[k], &QLineEdit::textChanged, this, &EqPageBase::RefreshPlot);
  }
  ResetEqDefaults();
  RefreshPlot();
}

void EqPageBase::AddPlot(const ui::DialogLayout& layout, QRect plot, QRect testStatus) {
  plot_ = new BandResponsePlot(Contents());
  plot_->setObjectName(QStringLiteral("bandPlot"));
  plot_->setGeometry(layout.Rect(plot.x(), plot.y(), plot.width(), plot.height()));
  testStatus_ = layout.Label(
      "", layout.Rect(testStatus.x(), testStatus.y(), testStatus.width(), testStatus.height()),
      "testStatus");
  testStatus_->setWordWrap(true);
  testStatus_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  const QRect right = plot.united(testStatus);
  Contents()->setMinimumSize(Contents()->minimumSize().expandedTo(
      layout.Units().Size(right.x() + right.width() + 7, right.y() + right.height() + 7)));
}

bool EqPageBase::BandActs(int /*band*/) const {
  return !disableEq_->isChecked();
}

QString EqPageBase::BandName(int band) const {
  if (band == 0) return band1Label_->text();
  if (band == eq::kBandCount - 1) return band5Label_->text();
  return QStringLiteral("Band-%1").arg(band + 1);
}

std::array<eq::BandWords, eq::kBandCount> EqPageBase::StoredWords() const {
  return eq::BandWordsToStore(context_.model, kind_.sectionType, TypedBands(), tailRecord_);
}

void EqPageBase::RefreshPlot() {
  // Signals of controls made before the plot, while the page builds itself.
  if (plot_ == nullptr || Contents() == nullptr) return;
  const std::array<eq::Band, eq::kBandCount> bands = TypedBands();
  const std::array<eq::BandWords, eq::kBandCount> words = StoredWords();
  const eq::GainRow& gains = EditedGains();
  std::array<PlottedBand, eq::kBandCount> plotted;
  for (int k = 0; k < eq::kBandCount; ++k)
    plotted[k] = {BandName(k), bands[k], words[k], eq::GainCodeToDb(gains[k]), BandActs(k)};
  plot_->SetBands(plotted);
}

void EqPageBase::ShowTestOutcome(const eq::UploadOutcome& outcome) {
  if (testStatus_ == nullptr) return;
  const QString time = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
  testStatus_->setText(
      outcome.failed == 0
          ? QStringLiteral("Sent to the chip at %1").arg(time)
          : QStringLiteral("Test at %1 failed: %2")
                .arg(time, QString::fromStdString(eq::DescribeUploadFailure(outcome))));
}

CEditEnter* EqPageBase::NewGainEdit(QWidget& parent) const {
  return new CEditEnter(&parent);
}

void EqPageBase::AddCaptions(const ui::DialogLayout& layout, const CaptionPlaces& at) {
  auto label = [&](const char* text, QPoint place, int width, const char* id = nullptr) {
    return layout.Label(text, layout.Rect(place.x(), place.y(), width, 8), id);
  };
  label("Compensation ", at.compensation, 50);
  band1Label_ = label("Band-1", at.bands[0], 25, at.bandIds[0]);
  label("Band-2", at.bands[1], 25);
  label("Band-3", at.bands[2], 25);
  label("Band-4", at.bands[3], 25);
  band5Label_ = label("Band-5", at.bands[4], 25, at.bandIds[1]);
  label("Gain", at.gainUnit[0], 20);
  label("(dB)", at.gainUnit[1], 20);
  scaleTop_ = label("12dB", at.scale[0], 28, at.scaleIds[0]);
  scaleBottom_ = label("-12dB", at.scale[1], 29, at.scaleIds[1]);
  label("Central Freq (Hz)", at.bandEdits[0], 57);
  label("Bandwidth (Hz)", at.bandEdits[1], 58);
}

void EqPageBase::AddGainEdit(const ui::DialogLayout& layout, int column, const char* id,
                             QPoint at) {
  CEditEnter* edit = NewGainEdit(*Contents());
  edit->setObjectName(QString::fromLatin1(id));
  edit->setGeometry(layout.Rect(at.x(), at.y(), 25, 13));
  gainEdits_[column] = edit;
}

void EqPageBase::AddBandGainEdits(const ui::DialogLayout& layout, const BandRow& row) {
  for (int k = 0; k < eq::kBandCount; ++k)
    AddGainEdit(layout, k, row.ids[k], {row.x[k], row.y});
}

void EqPageBase::AddSlider(const ui::DialogLayout& layout, int column, const char* id, QRect rect) {
  sliders_[column] =
      AddGainSlider(*Contents(), id, layout.Rect(rect.x(), rect.y(), rect.width(), rect.height()));
}

void EqPageBase::AddBandSliders(const ui::DialogLayout& layout, const BandRow& row, int height) {
  for (int k = 0; k < eq::kBandCount; ++k)
    AddSlider(layout, k, row.ids[k], {row.x[k], row.y, 16, height});
}

QLineEdit* EqPageBase::AddGainTableEdit(const ui::DialogLayout& layout, int row, int column,
                                        const char* id, QPoint at) {
  QLineEdit* edit = AddEqEdit(layout, id, at.x(), at.y());
  edit->setReadOnly(true);
  gainTableEdits_[row][column] = edit;
  return edit;
}

void EqPageBase::ReleaseContents() {
  disableEq_ = nullptr;
  test_ = reset_ = nullptr;
  gainEdits_ = {};
  sliders_ = {};
  centreEdits_ = {};
  bandwidthEdits_ = {};
  band1Label_ = band5Label_ = scaleTop_ = scaleBottom_ = nullptr;
  plot_ = nullptr;
  testStatus_ = nullptr;
  for (auto& row : gainTableEdits_)
    row = {};
}

// ---- data exchange --------------------------------------------------------------------------

void EqPageBase::UpdateFromControls() {
  values_.eqDisabled = disableEq_->isChecked();
  for (size_t row = 0; row < gainTableEdits_.size(); ++row)
    for (int column = 0; column < kColumns; ++column)
      values_.gainTableTexts[row][column] = gainTableEdits_[row][column]->text();
}

void EqPageBase::UpdateControls() {
  disableEq_->setChecked(values_.eqDisabled);
  for (size_t row = 0; row < gainTableEdits_.size(); ++row)
    for (int column = 0; column < kColumns; ++column)
      gainTableEdits_[row][column]->setText(values_.gainTableTexts[row][column]);
}

// ---- state of the controls -------------------------------------------------------------------

std::array<eq::Band, eq::kBandCount> EqPageBase::TypedBands() const {
  std::array<eq::Band, eq::kBandCount> bands{};
  for (int k = 0; k < eq::kBandCount; ++k)
    bands[k] = {eq::ScanInt(centreEdits_[k]->text().toStdString()),
                eq::ScanInt(bandwidthEdits_[k]->text().toStdString())};
  return bands;
}

void EqPageBase::SetGainTableTexts() {
  for (size_t row = 0; row < gains_.size(); ++row)
    for (int column = 0; column < kColumns; ++column)
      values_.gainTableTexts[row][column] = GainText(eq::GainCodeToDb(gains_[row][column]));
}

int EqPageBase::SliderPosition(int column, double dB) const {
  const std::optional<double> maximum = ToneMaximum(column);
  return maximum ? eq::ToneDbToSliderPosition(*maximum, dB) : eq::DbToSliderPosition(dB);
}

// ---- the page's operations -------------------------------------------------------------------

void EqPageBase::ResetEqDefaults() {
  const SliderSetting setting = SettingSliders();
  ResetModes();
  values_.eqDisabled = false;
  gains_.assign(kind_.factoryGains.begin(), kind_.factoryGains.end());
  SetGainTableTexts();
  tailRecord_ = eq::DefaultEqTailRecord();
  for (int k = 0; k < eq::kBandCount; ++k) {
    centreEdits_[k]->setText(TextOf(eq::kDefaultBandTexts[k].centre));
    bandwidthEdits_[k]->setText(TextOf(eq::kDefaultBandTexts[k].bandwidth));
  }
  for (QSlider* slider : sliders_)
    slider->setRange(0, eq::kSliderMax);
  ShowGains();
  UpdateControls();
}

void EqPageBase::RefreshEqControls() {
  const SliderSetting setting = SettingSliders();
  ApplyEqEnable(values_.eqDisabled);
  RefreshGainControls();
  const std::array<eq::Band, eq::kBandCount> bands = eq::BandsOf(tailRecord_);
  for (int k = 0; k < eq::kBandCount; ++k) {
    centreEdits_[k]->setText(QString::number(bands[k].centreHz));
    bandwidthEdits_[k]->setText(QString::number(bands[k].bandwidthHz));
  }
  UpdateControls();
}

void EqPageBase::ApplyEqEnable(bool disabled) {
  for (int column = 0; column < kColumns; ++column) {
    gainEdits_[column]->setEnabled(!disabled);
    sliders_[column]->setEnabled(!disabled);
  }
  for (int k = 0; k < eq::kBandCount; ++k) {
    centreEdits_[k]->setEnabled(!disabled);
    bandwidthEdits_[k]->setEnabled(!disabled);
  }
}

void EqPageBase::ShowGains() {
  const eq::GainRow& row = EditedGains();
  for (int column = 0; column < kColumns; ++column) {
    const double dB = eq::GainCodeToDb(row[column]);
    gainEdits_[column]->setText(GainText(dB));
    sliders_[column]->setValue(SliderPosition(column, dB));
  }
}

// ---- handlers ---------------------------------------------------------------------------------

void EqPageBase::OnSliderMoved(int column) {
  if (settingSliders_ > 0 || sliders_[column] == nullptr) return;
  const int position = sliders_[column]->value();
  double dB = 0;
  uint8_t code = 0;
  if (const std::optional<double> maximum = ToneMaximum(column)) {
    dB = eq::ToneSliderPositionToDb(*maximum, position);
    code = eq::ToneSliderPositionToCode(*maximum, position);
  } else {
    dB = eq::SliderPositionToDb(position);
    code = eq::SliderPositionToCode(position);
  }
  gainEdits_[column]->setText(GainText(dB));
  // The gain table texts keep showing the gains as loaded or reset.
  EditedGains()[column] = code;
  UpdateControls();
  RefreshPlot();
}

SliderSetting EqPageBase::SettingSliders() {
  return SliderSetting(settingSliders_, [this] { SliderFeedback(); });
}

void EqPageBase::SliderFeedback() {
  for (int column = 0; column < kColumns; ++column)
    OnSliderMoved(column);
}

void EqPageBase::CommitGain(int column) {
  const SliderSetting setting = SettingSliders();
  UpdateFromControls();
  // The slider holds the position within its range; the edit then shows where it ended.
  sliders_[column]->setValue(
      SliderPosition(column, eq::ScanDouble(gainEdits_[column]->text().toStdString())));
  UpdateControls();
}

bool EqPageBase::CheckBand(int band) {
  UpdateFromControls();
  const eq::BandFault fault = eq::CheckBand(centreEdits_[band]->text().toStdString(),
                                            bandwidthEdits_[band]->text().toStdString());
  if (fault == eq::BandFault::kNone) return true;
  RunDialog([&] {
    context_.dialogs.ShowMessage(this, TextOf(eq::BandFaultMessage(kind_.path, band + 1, fault)));
  });
  if (Contents() == nullptr) return false;
  centreEdits_[band]->setText(TextOf(eq::kDefaultBandTexts[band].centre));
  if (eq::RestoresBandwidth(fault))
    bandwidthEdits_[band]->setText(TextOf(eq::kDefaultBandTexts[band].bandwidth));
  return true;
}

void EqPageBase::OnDisableEqClicked() {
  UpdateFromControls();
  ApplyEqEnable(values_.eqDisabled);
}

void EqPageBase::OnResetClicked() {
  const bool ok = RunDialog(
      [&] { return context_.dialogs.Ask(this, QString::fromLatin1(kind_.resetQuestion)); });
  if (Contents() == nullptr || !ok || !ResetAllowed()) return;
  ResetEqDefaults();
  RefreshEqControls();
}

bool EqPageBase::eventFilter(QObject* watched, QEvent* event) {
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

}  // namespace veltra::pages
