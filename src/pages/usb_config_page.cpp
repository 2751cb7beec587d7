#include "pages/usb_config_page.h"

#include <string_view>
#include <utility>

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "image/eeprom_config.h"
#include "image/header_options.h"
#include "image/usb_rules.h"
#include "pages/usb_string_text.h"
#include "ui/dialog_layout.h"
#include "ui/focus_leave.h"
#include "ui/hex_string.h"
#include "ui/user_dialogs.h"

namespace veltra::pages {

const char* const CUsbCfgPage::kZeroText = image::usb_text::kZero;
const char* const CUsbCfgPage::kSpecialCharactersText = image::usb_text::kSpecialCharacters;
const char* const CUsbCfgPage::kTwoCharactersText = image::usb_text::kTwoCharacters;
const char* const CUsbCfgPage::kResetQuestion =
    "All changes for USB Config before save will be discarded !!!";

namespace {

constexpr int kIdMaxLength = 4;
constexpr int kIntervalMaxLength = 3;
constexpr int kVariantWithoutHid = 2;

QString IdText(uint16_t value) {
  if (value == 0) return {};
  return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
}

}  // namespace

CUsbCfgPage::CUsbCfgPage(const PageContext& context, QWidget* parent)
    : ConfigPage(QStringLiteral("USB Config"), parent), context_(context) {
  setObjectName(QStringLiteral("CUsbCfgPage"));
}

void CUsbCfgPage::CreateContents(QWidget& contents) {
  // In the window's font, which the page shares with the rest of the window.
  const ui::DialogLayout layout(contents);
  contents.setMinimumSize(layout.Units().Size(290, 313));

  auto edit = [&](const char* id, int maxLength, QRect rect) {
    QLineEdit* widget = layout.Edit(id, rect);
    widget->setMaxLength(maxLength);
    widget->installEventFilter(this);
    return widget;
  };
  auto stringEdit = [&](const char* id, QRect rect) {
    QLineEdit* widget = edit(id, kUsbStringMaxUnits, rect);
    MakeUsbStringBox(*widget);
    return widget;
  };

  reset_ = layout.Button("Reset", "1128", layout.Rect(7, 7, 40, 16));

  layout.Group("ID", layout.Rect(7, 30, 276, 34));
  layout.Label("VID:", layout.Rect(16, 45, 20, 8));
  vid_ = edit("1016", kIdMaxLength, layout.Rect(40, 43, 40, 13));
  layout.Label("PID:", layout.Rect(100, 45, 20, 8));
  pid_ = edit("1018", kIdMaxLength, layout.Rect(124, 43, 40, 13));

  layout.Group("String", layout.Rect(7, 70, 276, 76), "1104");
  layout.Label("Manufacturer String:", layout.Rect(16, 86, 80, 8));
  manufacturer_ = stringEdit("1017", layout.Rect(100, 84, 174, 13));
  layout.Label("Product String:", layout.Rect(16, 106, 80, 8));
  // A multi-line edit in the template; one line of at most 31 characters all the same.
  product_ = stringEdit("1019", layout.Rect(100, 104, 174, 13));
  layout.Label("Serial String:", layout.Rect(16, 126, 80, 8));
  serial_ = stringEdit("1020", layout.Rect(100, 124, 174, 13));
  // The OC string and the HID interval exist on the page but are never shown; their places
  // overlap nothing visible.
  QLabel* ocLabel = layout.Label("OC String:", layout.Rect(16, 206, 80, 8));
  oc_ = stringEdit("1021", layout.Rect(100, 204, 174, 13));
  QLabel* intervalLabel =
      layout.Label("HID interrupt Interval (ms):", layout.Rect(16, 226, 100, 8));
  hidInterval_ = edit("1022", kIntervalMaxLength, layout.Rect(120, 224, 30, 13));
  QLabel* intervalDefault = layout.Label("(Default 2 ms)", layout.Rect(156, 226, 60, 8));
  for (QWidget* hidden : {static_cast<QWidget*>(ocLabel), static_cast<QWidget*>(oc_),
                          static_cast<QWidget*>(intervalLabel), static_cast<QWidget*>(hidInterval_),
                          static_cast<QWidget*>(intervalDefault)})
    hidden->hide();
  oc_->setEnabled(false);
  hidInterval_->setEnabled(false);

  hidEnabled_ = layout.CheckBox("Enable HID Discriptor", "1103", layout.Rect(16, 156, 120, 10));
  remoteWakeup_ = layout.CheckBox("Enable Remote Wakeup", "1267", layout.Rect(150, 156, 120, 10));

  layout.Label("Powered:", layout.Rect(16, 180, 40, 8));
  powered_ = layout.List("1133", {QStringLiteral("Bus"), QStringLiteral("Self")},
                         layout.Rect(60, 178, 60, 13));
  layout.Label("Power Range:", layout.Rect(150, 180, 50, 8));
  powerRange_ =
      layout.List("1135",
                  {QStringLiteral("100ma"), QStringLiteral("200ma"), QStringLiteral("300ma"),
                   QStringLiteral("400ma"), QStringLiteral("500ma")},
                  layout.Rect(204, 178, 60, 13));

  connect(reset_, &QPushButton::clicked, this, &CUsbCfgPage::OnResetClicked);
  Reset();
}

void CUsbCfgPage::ReleaseContents() {
  vid_ = pid_ = manufacturer_ = product_ = serial_ = oc_ = hidInterval_ = nullptr;
  hidEnabled_ = remoteWakeup_ = nullptr;
  powered_ = powerRange_ = nullptr;
  reset_ = nullptr;
}

void CUsbCfgPage::UpdateFromControls() {
  values_.vid = vid_->text();
  values_.pid = pid_->text();
  values_.manufacturer = manufacturer_->text();
  values_.product = product_->text();
  values_.serial = serial_->text();
  values_.oc = oc_->text();
  values_.hidInterval = hidInterval_->text();
  values_.hidEnabled = hidEnabled_->isChecked();
  values_.remoteWakeup = remoteWakeup_->isChecked();
  values_.powered = powered_->currentIndex();
  values_.powerRange = powerRange_->currentIndex();
}

void CUsbCfgPage::UpdateControls() {
  vid_->setText(values_.vid);
  pid_->setText(values_.pid);
  ShowUsbString(*manufacturer_, values_.manufacturer);
  ShowUsbString(*product_, values_.product);
  ShowUsbString(*serial_, values_.serial);
  ShowUsbString(*oc_, values_.oc);
  hidInterval_->setText(values_.hidInterval);
  hidEnabled_->setChecked(values_.hidEnabled);
  remoteWakeup_->setChecked(values_.remoteWakeup);
  powered_->setCurrentIndex(values_.powered);
  powerRange_->setCurrentIndex(values_.powerRange);
}

void CUsbCfgPage::Reset() {
  values_ = Values{};
  if (context_.model.GetChipVariant() == kVariantWithoutHid) values_.hidEnabled = false;
  UpdateControls();
}

void CUsbCfgPage::LoadContents() {
  Reset();
  const image::EepromConfig& model = context_.model;
  if (model.IsEmpty()) return;

  namespace type = image::section_type;
  for (const uint8_t sectionType : {type::kManufacturerString, type::kProductString,
                                    type::kSerialString, type::kOcString, type::kHeader}) {
    const image::Section* section = model.FindSection(sectionType);
    if (section == nullptr || !section->HasData() || !section->IsPresent() ||
        section->Length() == 0)
      continue;
    switch (sectionType) {
      case type::kManufacturerString:
        values_.manufacturer = UsbStringText(section->Bytes());
        break;
      case type::kProductString:
        values_.product = UsbStringText(section->Bytes());
        break;
      case type::kSerialString:
        values_.serial = UsbStringText(section->Bytes());
        break;
      case type::kHeader:
        values_.vid = IdText(image::GetHeaderVid(section->data));
        values_.pid = IdText(image::GetHeaderPid(section->data));
        break;
      default:  // the OC string is never shown
        break;
    }
  }

  // The options are read whatever the Header's present bit and length say.
  const image::Section* header = model.FindSection(type::kHeader);
  if (header != nullptr && header->HasData()) {
    const image::UsbOptions options = image::GetUsbOptions(header->data);
    values_.hidEnabled = options.hidEnabled;
    values_.remoteWakeup = options.remoteWakeup;
    values_.powered = options.powered;
    values_.powerRange = options.powerRange < image::kPowerRangeItems ? options.powerRange : -1;
  }
  UpdateControls();
}

void CUsbCfgPage::StoreContents() {
  UpdateFromControls();
  image::EepromConfig& model = context_.model;

  namespace type = image::section_type;
  const std::pair<uint8_t, const QString*> strings[] = {
      {type::kManufacturerString, &values_.manufacturer},
      {type::kProductString, &values_.product},
      {type::kSerialString, &values_.serial}};
  for (const auto& [sectionType, text] : strings) {
    image::Section* section = model.FindSection(sectionType);
    if (section == nullptr) continue;
    if (text->isEmpty()) {
      section->SetPresent(false);
      continue;
    }
    std::vector<uint8_t> descriptor = UsbStringDescriptor(*text);
    section->SetPresent(true);
    section->SetLength(static_cast<uint32_t>(descriptor.size()));
    section->data = std::move(descriptor);
  }

  if (image::Section* oc = model.FindSection(type::kOcString)) oc->SetPresent(false);

  image::Section* header = model.FindSection(type::kHeader);
  if (header == nullptr) return;
  // An empty box leaves its two bytes as they are: the IDs of the last Connect.
  if (!values_.vid.isEmpty()) image::SetHeaderVid(header->data, ui::HexBoxValue(values_.vid));
  if (!values_.pid.isEmpty()) image::SetHeaderPid(header->data, ui::HexBoxValue(values_.pid));
  header->SetPresent(!values_.vid.isEmpty() || !values_.pid.isEmpty());
  if (!header->HasData()) return;

  image::UsbOptions options = image::GetUsbOptions(header->data);
  options.hidEnabled = values_.hidEnabled;
  options.remoteWakeup = values_.remoteWakeup;
  // A list without a selection (a range the list has no item for) keeps what was read.
  if (values_.powered >= 0) options.powered = values_.powered;
  if (values_.powerRange >= 0) options.powerRange = values_.powerRange;
  image::SetUsbOptions(header->data, options);
}

bool CUsbCfgPage::eventFilter(QObject* watched, QEvent* event) {
  if (ui::LeavesControl(event) && Contents() != nullptr) {
    if (watched == vid_) CheckVid();
    if (watched == pid_) CheckPid();
    if (watched == product_) CheckProduct();
    if (watched == hidInterval_) CheckInterval();
  }
  return ConfigPage::eventFilter(watched, event);
}

void CUsbCfgPage::CheckId(QString& text) {
  const QByteArray bytes = text.toLatin1();
  const char* refusal =
      image::CheckIdText(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
  if (refusal == nullptr) return;
  RunDialog([&] { context_.dialogs.ShowMessage(this, QString::fromLatin1(refusal)); });
  text.clear();
}

void CUsbCfgPage::CheckVid() {
  UpdateFromControls();
  CheckId(values_.vid);
  if (Contents() != nullptr) UpdateControls();
}

void CUsbCfgPage::CheckPid() {
  UpdateFromControls();
  CheckId(values_.pid);
  if (Contents() != nullptr) UpdateControls();
}

void CUsbCfgPage::CheckProduct() {
  UpdateFromControls();
  if (values_.product.size() < static_cast<qsizetype>(image::kProductMinimumLength)) {
    RunDialog([&] { context_.dialogs.ShowMessage(this, QString::fromLatin1(kTwoCharactersText)); });
    values_.product.clear();
  }
  if (Contents() != nullptr) UpdateControls();
}

void CUsbCfgPage::CheckInterval() {
  UpdateFromControls();
  const QByteArray bytes = values_.hidInterval.toLatin1();
  if (!image::HidIntervalAccepted(
          std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())))) {
    values_.hidInterval.clear();
    UpdateControls();
  }
}

void CUsbCfgPage::OnResetClicked() {
  if (!RunDialog([&] { return context_.dialogs.Ask(this, QString::fromLatin1(kResetQuestion)); }) ||
      Contents() == nullptr)
    return;
  Reset();
}

}  // namespace veltra::pages
