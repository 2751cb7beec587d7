#include "pages/mcu_page.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

#include "image/eeprom_config.h"
#include "image/header_options.h"
#include "image/mcu_info.h"
#include "ui/dialog_layout.h"
#include "ui/user_dialogs.h"

namespace veltra::pages {

const char* const CMCUPage::kResetQuestion =
    "All changes for MCU Config before save will be discarded !!!";
const char* const CMCUPage::kOpenFailedText = "Open File Failed";
const char* const CMCUPage::kExceedsEepromText = image::mcu_text::kExceedsEeprom;
const char* const CMCUPage::kExceedsSectionText = image::mcu_text::kExceedsSection;
const char* const CMCUPage::kRefusedKeepsText =
    "The file is not used: Enable MCU, the MCU section and the file chosen before, if any, stay "
    "as they were.";
const char* const CMCUPage::kFileChangedText =
    "MCU File Size changed since it was read. Nothing saved: Read MCU File again";
const char* const CMCUPage::kFileReadFailedText =
    "MCU File cannot be read completely. Nothing saved";
const char* const CMCUPage::kFileFilter = "MCU files (*.bin)|*.bin||";

namespace {

constexpr char kFileSuffix[] = "bin";

std::array<QString, 5> InfoTexts(const std::optional<image::McuInfo>& info) {
  if (!info) return {};
  auto text = [](uint16_t word) {
    return QStringLiteral("%1").arg(word, 4, 16, QLatin1Char('0')).toUpper();
  };
  return {text(info->chipId), text(info->vid), text(info->pid), text(info->chipVersion),
          text(info->fwVersion)};
}

// The info block at the end of a file of this length; nullopt when it has none or it cannot be
// read.
std::optional<image::McuInfo> ReadFileInfo(QFile& file, uint64_t length) {
  if (length < image::kMcuInfoLength) return std::nullopt;
  std::array<uint8_t, image::kMcuInfoLength> block{};
  if (!file.seek(static_cast<qint64>(length - image::kMcuInfoLength))) return std::nullopt;
  const qint64 got = file.read(reinterpret_cast<char*>(block.data()), block.size());
  if (got != static_cast<qint64>(block.size())) return std::nullopt;
  return image::ReadMcuInfo(block, image::McuWordOrder::kFile);
}

}  // namespace

CMCUPage::CMCUPage(const PageContext& context, QWidget* parent)
    : ConfigPage(QStringLiteral("MCU Config"), parent), context_(context) {
  setObjectName(QStringLiteral("CMCUPage"));
}

CMCUPage::~CMCUPage() = default;

void CMCUPage::CreateContents(QWidget& contents) {
  // In the window's font, which the page shares with the rest of the window.
  const ui::DialogLayout layout(contents);
  contents.setMinimumSize(layout.Units().Size(324, 306));

  // A label left of its box, on the box's text line.
  auto infoBox = [&](const char* caption, const char* id, int x, int y, int labelWidth) {
    layout.Label(caption, layout.Rect(x - labelWidth - 3, y + 4, labelWidth, 8));
    QLineEdit* box = layout.Edit(id, layout.Rect(x, y, 33, 16));
    box->setReadOnly(true);
    return box;
  };

  reset_ = layout.Button("Reset", "1128", layout.Rect(7, 7, 40, 16));
  layout.Group("MCU related setting", layout.Rect(7, 37, 298, 218));
  jumpToSram_ =
      layout.CheckBox("Enable Jump to MCU SRAM Code", "1254", layout.Rect(16, 50, 132, 10));
  lyncHeadset_ =
      layout.CheckBox("Enable Lync Basic HeadSet", "1251", layout.Rect(157, 50, 116, 10));

  layout.Group("MCU Info In File", layout.Rect(18, 65, 275, 76));
  fileInfo_ = {infoBox("Chip ID", "1257", 74, 75, 48), infoBox("VID", "1016", 157, 75, 30),
               infoBox("PID", "1018", 157, 96, 30), infoBox("Chip Version", "1131", 74, 96, 48),
               infoBox("FW Version", "1132", 74, 120, 48)};
  enableMcu_ = layout.CheckBox("Enable MCU", "1103", layout.Rect(202, 75, 56, 10));
  readMcuFile_ = layout.Button("Read MCU File", "1256", layout.Rect(136, 122, 51, 14));

  // The caption ends in a blank.
  layout.Group("MCU Info In EEPROM ", layout.Rect(18, 156, 275, 83));
  eepromInfo_ = {infoBox("Chip ID", "1258", 74, 168, 48), infoBox("VID", "1017", 157, 167, 30),
                 infoBox("PID", "1019", 157, 189, 30), infoBox("Chip Version", "1136", 74, 190, 48),
                 infoBox("FW Version", "1137", 74, 211, 48)};

  connect(reset_, &QPushButton::clicked, this, &CMCUPage::OnResetClicked);
  connect(enableMcu_, &QCheckBox::clicked, this, &CMCUPage::OnEnableMcuClicked);
  connect(readMcuFile_, &QPushButton::clicked, this, &CMCUPage::OnReadMcuFileClicked);
  Clear();
}

void CMCUPage::ReleaseContents() {
  enableMcu_ = jumpToSram_ = lyncHeadset_ = nullptr;
  fileInfo_ = {};
  eepromInfo_ = {};
  readMcuFile_ = reset_ = nullptr;
}

void CMCUPage::UpdateFromControls() {
  values_.enableMcu = enableMcu_->isChecked();
  values_.jumpToSram = jumpToSram_->isChecked();
  values_.lyncHeadset = lyncHeadset_->isChecked();
  for (size_t i = 0; i < fileInfo_.size(); ++i) {
    values_.fileInfo[i] = fileInfo_[i]->text();
    values_.eepromInfo[i] = eepromInfo_[i]->text();
  }
}

void CMCUPage::UpdateControls() {
  enableMcu_->setChecked(values_.enableMcu);
  jumpToSram_->setChecked(values_.jumpToSram);
  lyncHeadset_->setChecked(values_.lyncHeadset);
  for (size_t i = 0; i < fileInfo_.size(); ++i) {
    fileInfo_[i]->setText(values_.fileInfo[i]);
    eepromInfo_[i]->setText(values_.eepromInfo[i]);
  }
  readMcuFile_->setEnabled(values_.enableMcu);
}

void CMCUPage::Clear() {
  values_ = Values{};
  UpdateControls();
}

void CMCUPage::CloseMcuFile() {
  mcuFile_.reset();
  mcuFileLength_ = 0;
}

void CMCUPage::LoadContents() {
  CloseMcuFile();
  Clear();
  const image::EepromConfig& model = context_.model;
  if (!model.IsEmpty()) {
    const image::Section* mcu = model.FindSection(image::section_type::kMcu);
    if (mcu != nullptr && mcu->HasData() && mcu->IsPresent()) {
      values_.enableMcu = true;
      values_.eepromInfo =
          InfoTexts(image::ReadMcuInfo(mcu->Bytes(), image::McuWordOrder::kEeprom));
    }
    const image::Section* header = model.FindSection(image::section_type::kHeader);
    if (header != nullptr && header->HasData()) {
      const image::McuOptions options = image::GetMcuOptions(header->data);
      values_.lyncHeadset = options.lyncHeadset;
      values_.jumpToSram = options.jumpToSram;
    }
  }
  UpdateControls();
}

void CMCUPage::OnEnableMcuClicked() {
  // Unchecking keeps an open file: checking again stores it.
  UpdateFromControls();
  readMcuFile_->setEnabled(values_.enableMcu);
}

void CMCUPage::OnReadMcuFileClicked() {
  UpdateFromControls();
  const std::optional<QString> path = RunDialog([&] {
    return context_.dialogs.GetOpenFileName(this, QString::fromLatin1(kFileFilter),
                                            QString::fromLatin1(kFileSuffix));
  });
  if (Contents() == nullptr) return;
  if (!path) {
    CloseMcuFile();
    return;
  }

  auto file = std::make_unique<QFile>(*path);
  // A pipe or device has no length to check the firmware against; a named pipe is refused
  // before opening it, as the open would wait, with the whole window, for a writer.
  std::optional<platform::FileStamp> stamp;
  if (QFileInfo(*path).isFile() && file->open(QIODevice::ReadOnly) && !file->isSequential())
    stamp = platform::StampOfOpenFile(file->handle());
  if (!stamp) {
    CloseMcuFile();
    RunDialog([&] { context_.dialogs.ShowMessage(this, QString::fromLatin1(kOpenFailedText)); });
    if (Contents() != nullptr) UpdateControls();
    return;
  }
  const uint64_t length = stamp->size;
  const char* refusal =
      image::McuFileRefusal(length, context_.model.ExceedsEepromSize(length) != 0);
  if (refusal != nullptr) {
    // A refused file changes nothing, and the page shows so: Enable MCU stays as it was
    // (unchecking it would drop the firmware the EEPROM holds at the next Save), and so do the
    // file chosen before and the file group showing it.
    RunDialog([&] {
      context_.dialogs.ShowMessage(
          this, QStringLiteral("%1\n\n%2")
                    .arg(QString::fromLatin1(refusal), QString::fromLatin1(kRefusedKeepsText)));
    });
    if (Contents() != nullptr) UpdateControls();
    return;
  }
  CloseMcuFile();
  values_.fileInfo = InfoTexts(ReadFileInfo(*file, length));
  mcuFile_ = std::move(file);
  mcuFileLength_ = length;
  mcuFileStamp_ = *stamp;
  UpdateControls();
}

void CMCUPage::OnResetClicked() {
  if (!RunDialog([&] { return context_.dialogs.Ask(this, QString::fromLatin1(kResetQuestion)); }) ||
      Contents() == nullptr)
    return;
  Clear();
  CloseMcuFile();
}

bool CMCUPage::McuFileUnchanged() const {
  const std::optional<platform::FileStamp> now =
      platform::StampOfPath(QFile::encodeName(mcuFile_->fileName()).toStdString());
  return now == mcuFileStamp_ && platform::StampOfOpenFile(mcuFile_->handle()) == mcuFileStamp_;
}

std::optional<std::vector<uint8_t>> CMCUPage::ReadWholeMcuFile() {
  // A file replaced by rename (as editors and build tools save) leaves the open handle on the
  // old firmware; one rewritten in place no longer matches what the file group shows.
  if (!McuFileUnchanged()) {
    context_.dialogs.ShowMessage(this, QString::fromLatin1(kFileChangedText));
    return std::nullopt;
  }
  std::vector<uint8_t> firmware(mcuFileLength_);
  uint64_t got = 0;
  if (mcuFile_->seek(0)) {
    while (got < firmware.size()) {
      const qint64 n = mcuFile_->read(reinterpret_cast<char*>(firmware.data() + got),
                                      static_cast<qint64>(firmware.size() - got));
      if (n <= 0) break;
      got += static_cast<uint64_t>(n);
    }
  }
  if (got != firmware.size()) {
    context_.dialogs.ShowMessage(this, QString::fromLatin1(kFileReadFailedText));
    return std::nullopt;
  }
  // Written to while it was read: the bytes may be half old, half new.
  if (!McuFileUnchanged()) {
    context_.dialogs.ShowMessage(this, QString::fromLatin1(kFileChangedText));
    return std::nullopt;
  }
  return firmware;
}

void CMCUPage::WriteOptionByte() {
  image::Section* header = context_.model.FindSection(image::section_type::kHeader);
  if (header == nullptr || !header->HasData()) return;
  // The other bits of byte 8 are taken from the image as it is now.
  image::SetMcuOptions(header->data, {values_.jumpToSram, values_.lyncHeadset});
}

void CMCUPage::StoreContents() {
  UpdateFromControls();
  image::Section* mcu = context_.model.FindSection(image::section_type::kMcu);
  if (!values_.enableMcu) {
    if (mcu != nullptr) mcu->SetPresent(false);
    WriteOptionByte();
    return;
  }
  if (mcu == nullptr) return;

  if (mcuFile_ != nullptr) {
    // The file is read before anything changes, so a refused Save leaves the model as it was.
    std::optional<std::vector<uint8_t>> firmware = ReadWholeMcuFile();
    if (!firmware) {
      StoreFailed();
      return;
    }
    mcu->SetPresent(true);
    mcu->SetLength(static_cast<uint32_t>(firmware->size()));
    mcu->data = std::move(*firmware);
  }
  // Without a file the section keeps the firmware it was read with.
  WriteOptionByte();
}

}  // namespace veltra::pages
