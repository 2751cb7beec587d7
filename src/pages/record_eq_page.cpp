#include "pages/record_eq_page.h"

#include <span>
#include <vector>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include "eq/live_upload.h"
#include "image/eq_image.h"
#include "pages/edit_enter.h"
#include "pages/eq_page_controls.h"
#include "ui/dialog_layout.h"

namespace veltra::pages {

const char* const CRecordEQPage::kResetQuestion =
    "All changes for Record EQ Config before save will be discarded !!!";

CRecordEQPage::CRecordEQPage(const PageContext& context, QWidget* parent)
    : EqPageBase({QStringLiteral("Record EQ Config"), eq::EqPath::kRecord, kResetQuestion,
                  std::span<const eq::GainRow>(&eq::kDefaultRecordGains, 1), QSize(307, 311),
                  image::section_type::kRecordEq},
                 context, parent) {
  setObjectName(QStringLiteral("CRecordEQPage"));
}

// ---- controls -------------------------------------------------------------------------------

void CRecordEQPage::CreateControls(const ui::DialogLayout& layout) {
  const ui::DialogUnits& units = layout.Units();
  // A unit wider than the template, and Test (below) two units higher: at the smallest font the
  // button kept no air to the frame's right and lower lines.
  layout.Group("EQ related setting", units.Rect(7, 7, 100, 25), "1247");
  AddCaptions(layout, {.compensation = {37, 33},
                       .bands = {{{92, 32}, {121, 32}, {152, 32}, {180, 32}, {210, 32}}},
                       .gainUnit = {{{237, 31}, {238, 39}}},
                       .scale = {{{235, 58}, {235, 172}}},
                       .bandEdits = {{{32, 182}, {33, 201}}},
                       .bandIds = {"1243", "1242"}});
  layout.Group("Gains of four pre-settings mode", units.Rect(17, 228, 216, 37));

  disableEq_ = layout.CheckBox("Disable EQ", "1181", units.Rect(11, 18, 53, 9));
  test_ = layout.Button("Test", "1215", units.Rect(75, 15, 29, 13));
  reset_ = layout.Button("Reset", "1241", units.Rect(126, 16, 30, 13));

  AddBandGainEdits(layout,
                   {{"1193", "1194", "1195", "1196", "1197"}, {91, 120, 149, 178, 207}, 44});
  AddGainEdit(layout, eq::kCompensationIndex, "1198", {51, 44});
  AddBandSliders(layout, {{"1199", "1200", "1201", "1202", "1203"}, {97, 126, 157, 185, 213}, 58},
                 122);
  AddSlider(layout, eq::kCompensationIndex, "1204", {57, 57, 16, 123});

  constexpr std::array<int, eq::kBandCount> kCentreX{94, 123, 153, 182, 211};
  constexpr std::array<int, eq::kBandCount> kBandwidthX{93, 122, 152, 181, 210};
  for (int k = 0; k < eq::kBandCount; ++k)
    centreEdits_[k] = AddEqEdit(layout, QByteArray::number(1205 + k).constData(), kCentreX[k], 180);
  for (int k = 0; k < eq::kBandCount; ++k)
    bandwidthEdits_[k] =
        AddEqEdit(layout, QByteArray::number(1210 + k).constData(), kBandwidthX[k], 199);

  constexpr std::array<int, kColumns> kTextX{28, 57, 87, 116, 145, 173};
  constexpr std::array<const char*, kColumns> kTextIds{"1216", "1217", "1218",
                                                       "1219", "1220", "1227"};
  std::array<QLineEdit*, kColumns> gainTexts{};
  for (int column = 0; column < kColumns; ++column)
    gainTexts[column] =
        AddGainTableEdit(layout, 0, column, kTextIds[column], {kTextX[column], 243});

  // Beside the template, right of the sliders.
  AddPlot(layout, QRect(312, 7, 180, 215), QRect(312, 226, 180, 30));

  // Enter or Tab in the compensation gain goes on to "Disable EQ".
  gainEdits_[eq::kCompensationIndex]->SetNext(disableEq_);
  SetControlOrder(gainTexts);
}

// The order Tab follows, laid out as on the playback page: band sliders, band gains, centre
// frequency and bandwidth band by band, Reset, the gain texts, Test, then the compensation gain,
// whose Enter/Tab goes to "Disable EQ" right after it, and the compensation slider. In the order
// of creation the jumps of band 5's gain (to band 1's centre frequency) and of the compensation
// gain (back to "Disable EQ") passed over the compensation gain and every slider.
void CRecordEQPage::SetControlOrder(const std::array<QLineEdit*, kColumns>& gainTexts) {
  std::vector<QWidget*> order(sliders_.begin(), sliders_.begin() + eq::kBandCount);
  order.insert(order.end(), gainEdits_.begin(), gainEdits_.begin() + eq::kBandCount);
  for (int k = 0; k < eq::kBandCount; ++k) {
    order.push_back(centreEdits_[k]);
    order.push_back(bandwidthEdits_[k]);
  }
  order.push_back(reset_);
  order.insert(order.end(), gainTexts.begin(), gainTexts.end());
  order.insert(order.end(),
               std::initializer_list<QWidget*>{test_, gainEdits_[eq::kCompensationIndex],
                                               disableEq_, sliders_[eq::kCompensationIndex]});
  for (size_t i = 0; i + 1 < order.size(); ++i)
    QWidget::setTabOrder(order[i], order[i + 1]);
}

CEditEnter* CRecordEQPage::NewGainEdit(QWidget& parent) const {
  return new CREditEnter(&parent);
}

// ---- the page's operations -------------------------------------------------------------------

void CRecordEQPage::ApplyEqEnable(bool disabled) {
  test_->setEnabled(!disabled);
  EqPageBase::ApplyEqEnable(disabled);
}

void CRecordEQPage::OnTestClicked() {
  if (values_.eqDisabled) return;
  // The words Save would store, so that what is heard is what is saved.
  ShowTestOutcome(eq::UploadRecordEq(context_.transport, context_.log, StoredWords(), Gains()));
}

// ---- load and store ---------------------------------------------------------------------------

void CRecordEQPage::LoadContents() {
  // No reset here: the contents are made anew, and reset, after every connect.
  const eq::RecordEqImage read = eq::ReadRecordEq(context_.model);
  if (read.enabled == false) values_.eqDisabled = true;
  if (read.gains) {
    gains_[0] = *read.gains;
    SetGainTableTexts();
    if (read.tailRecord) tailRecord_ = *read.tailRecord;
  }
  UpdateControls();
  RefreshEqControls();
}

void CRecordEQPage::StoreContents() {
  UpdateFromControls();
  eq::RecordEqValues values;
  values.gains = Gains();
  values.bands = TypedBands();
  values.eqDisabled = values_.eqDisabled;
  eq::StoreRecordEq(context_.model, values, tailRecord_);
}

}  // namespace veltra::pages
