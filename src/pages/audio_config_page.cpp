#include "pages/audio_config_page.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>

#include "image/eeprom_config.h"
#include "image/header_options.h"
#include "ui/dialog_layout.h"
#include "ui/group_frame.h"
#include "ui/user_dialogs.h"

namespace veltra::pages {

const char* const CAudioCfgPage::kForeignLayoutText =
    "The Audio I/O section is %1 bytes long, not %2: the volume groups show the whole records "
    "it holds and the defaults for the others. Save keeps the section as it is until a volume "
    "is edited here.";
const char* const CAudioCfgPage::kResetQuestion =
    "All changes for Volume Config before save will be discarded !!!";
// The first two lines end with a blank.
const char* const CAudioCfgPage::kWindowsXpNote =
    "Due to limitation of Windows XP. \n"
    "The \"MAXIMUM\" and \"MINIMUM\" volume cannot be set as \"INITIAL\" value; moreover, the "
    "\"INITIAL MUTE\" function \n"
    "will be ineffective in Windows XP.";

namespace {

namespace record = image::volume_record;

// Ids of each volume group's box, lists and mute box, in record order.
struct VolumeIds {
  const char* box;
  const char* minimum;
  const char* maximum;
  const char* initial;
  const char* mute;
};
constexpr std::array<VolumeIds, image::kVolumeRecordCount> kVolumeIds{{
    {"1175", "1118", "1117", "1019", "1116"},
    {"1173", "1020", "1017", "1021", "1070"},
    {"1171", "1023", "1022", "1024", "1071"},
    {"1259", "1029", "1028", "1030", "1072"},
    {"1174", "1038", "1037", "1039", "1073"},
    {"1172", "1044", "1043", "1045", "1074"},
}};

// The order in which a load rebuilds the groups' lists.
constexpr std::array<int, image::kVolumeRecordCount> kLoadOrder{
    record::kPlayback,      record::kMicInRecording, record::kLineInRecording,
    record::kStereoMixerIn, record::kMicInAa,        record::kLineInAa};

// Capability flags of the options.
constexpr int kPlaybackVolumeFlag = 0;
constexpr int kMicInRecordingFlag = 1;
constexpr int kLineInRecordingFlag = 2;
constexpr int kMicInAaFlag = 3;
constexpr int kLineInAaFlag = 4;

constexpr int kVariantWithoutRecord = 1;
constexpr int kVariantWithoutPlayback = 2;

constexpr int kAsynchronous = 1;

bool IsSlave(const QComboBox* i2sMode) {
  return i2sMode->currentText() == QLatin1String("Slave");
}

void SelectItem(QComboBox* list, int index) {
  list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

int SelectedIndex(const QComboBox* list) {
  return list->currentIndex() < 0 ? 0 : list->currentIndex();
}

}  // namespace

CAudioCfgPage::CAudioCfgPage(const PageContext& context, QWidget* parent)
    : ConfigPage(QStringLiteral("Audio I/O Config"), parent),
      context_(context),
      groups_{image::VolumeGroup(image::kVolumeGroupKinds[0]),
              image::VolumeGroup(image::kVolumeGroupKinds[1]),
              image::VolumeGroup(image::kVolumeGroupKinds[2]),
              image::VolumeGroup(image::kVolumeGroupKinds[3]),
              image::VolumeGroup(image::kVolumeGroupKinds[4]),
              image::VolumeGroup(image::kVolumeGroupKinds[5])} {
  setObjectName(QStringLiteral("CAudioCfgPage"));
}

// ---- controls --------------------------------------------------------------------------------

void CAudioCfgPage::CreateContents(QWidget& contents) {
  const ui::DialogLayout layout(contents);
  const ui::DialogUnits& units = layout.Units();

  auto label = [&](const QString& text, QRect rect) { return layout.Label(text, rect); };
  auto check = [&](const char* text, const char* id, QRect rect) {
    return layout.CheckBox(text, id, rect);
  };
  auto list = [&](const char* id, QStringList items, QRect rect) {
    return layout.List(id, items, rect);
  };
  auto group = [&](const char* text, const char* id, QRect rect) {
    return layout.Group(text, rect, id);
  };
  const QStringList i2sModes{QStringLiteral("Master"), QStringLiteral("Slave")};

  reset_ = layout.Button("Reset", "1128", units.Rect(7, 7, 40, 16));
  disableVolumeControl_ = check("Disable Volume Control", "1119", units.Rect(60, 10, 110, 10));

  group("Output Setting", nullptr, units.Rect(7, 28, 160, 108));
  label(QStringLiteral("Output Terminal:"), units.Rect(14, 42, 72, 8));
  outputTerminal_ = list("1132", {}, units.Rect(88, 40, 70, 13));
  playbackAsynchronous_ =
      check("Enable Playback Asynchronous Mode", "1250", units.Rect(14, 56, 150, 10));
  spdifOut_ = check("Enable SPDIF Out", "1107", units.Rect(14, 68, 110, 10));
  label(QStringLiteral("PlayBack I2S Mode:"), units.Rect(14, 84, 72, 8));
  playbackI2sMode_ = list("1137", i2sModes, units.Rect(88, 82, 70, 13));
  playbackI2s_ = check("Enable PlayBack  I2S", "1109", units.Rect(14, 97, 110, 10));
  playbackDsp_ = check("Enable PlayBack  DSP", "1111", units.Rect(14, 109, 110, 10));
  playbackMclk_ = check("Enable PlayBack  MCLK", "1113", units.Rect(14, 121, 110, 10));

  group("Input Setting", "1265", units.Rect(172, 28, 304, 108));
  label(QStringLiteral("Input Terminal:"), units.Rect(179, 42, 72, 8));
  inputTerminal_ = list("1134", {}, units.Rect(253, 40, 70, 13));
  label(QStringLiteral("Rec. Mode:"), units.Rect(179, 57, 72, 8));
  recordMode_ = list("1136", {QStringLiteral("Synchronous"), QStringLiteral("Asynchronous")},
                     units.Rect(253, 55, 70, 13));
  agc_ = check("Enable AGC ", "1106", units.Rect(332, 41, 140, 10));
  digitalMic_ = check("Enable Digital Mic", "1252", units.Rect(332, 53, 140, 10));
  spdifIn_ = check("Enable SPDIF In", "1108", units.Rect(332, 65, 140, 10));
  stereoMixerInput_ =
      check("Enable Stereo Mixer Input Terminal", "1255", units.Rect(332, 77, 140, 10));
  label(QStringLiteral("Record I2S Mode:"), units.Rect(179, 84, 72, 8));
  recordI2sMode_ = list("1138", i2sModes, units.Rect(253, 82, 70, 13));
  recordI2s_ = check("Enable Record  I2S", "1110", units.Rect(179, 97, 110, 10));
  recordDsp_ = check("Enable Record  DSP", "1114", units.Rect(179, 109, 110, 10));
  recordMclk_ = check("Enable Record MCLK", "1112", units.Rect(179, 121, 110, 10));

  QGroupBox* aaGroup = group("A-A path Setting", "1271", units.Rect(481, 28, 79, 108));
  aaPath_ = check("Enable AAPath", "1105", units.Rect(489, 44, 68, 10));

  // Playback and the A-A paths on the left, the recording paths on the right. The captions
  // carry the hardware ranges: a font that needs more room than the template gives widens the
  // groups, and the page with them, rather than cut a caption short.
  int groupWidth = units.X(274);
  for (const image::VolumeGroupKind& kind : image::kVolumeGroupKinds) {
    ui::GroupFrame probe(QString::fromLatin1(kind.caption));
    probe.setFont(contents.font());
    groupWidth = std::max(groupWidth, probe.minimumSizeHint().width());
  }
  const int leftColumn = units.X(7);
  const int rightColumn = leftColumn + groupWidth + units.X(5);
  BuildVolumeGroup(contents, record::kPlayback, leftColumn, 142, groupWidth);
  BuildVolumeGroup(contents, record::kLineInAa, leftColumn, 192, groupWidth);
  BuildVolumeGroup(contents, record::kMicInAa, leftColumn, 242, groupWidth);
  BuildVolumeGroup(contents, record::kLineInRecording, rightColumn, 142, groupWidth);
  BuildVolumeGroup(contents, record::kMicInRecording, rightColumn, 192, groupWidth);
  BuildVolumeGroup(contents, record::kStereoMixerIn, rightColumn, 242, groupWidth);
  // The row of option groups ends where the volume groups end.
  aaGroup->setGeometry(aaGroup->geometry().adjusted(
      0, 0, std::max(0, rightColumn + groupWidth - 1 - aaGroup->geometry().right()), 0));

  note_ = layout.Label(kWindowsXpNote, units.Rect(7, 294, 553, 30), "1264");
  contents.setMinimumSize(std::max({units.X(567), rightColumn + groupWidth + units.X(7),
                                    note_->geometry().right() + 1 + units.X(7)}),
                          units.Y(334));

  connect(reset_, &QPushButton::clicked, this, &CAudioCfgPage::OnResetClicked);
  connect(disableVolumeControl_, &QCheckBox::clicked, this,
          &CAudioCfgPage::OnDisableVolumeControlClicked);
  connect(recordMode_, &QComboBox::activated, this, &CAudioCfgPage::OnRecordModeChosen);
  connect(playbackI2sMode_, &QComboBox::activated, this, &CAudioCfgPage::OnI2sModeChosen);
  connect(recordI2sMode_, &QComboBox::activated, this, &CAudioCfgPage::OnI2sModeChosen);
  for (QCheckBox* box : {playbackI2s_, playbackMclk_})
    connect(box, &QCheckBox::clicked, this, &CAudioCfgPage::OnPlaybackI2sOrMclkClicked);
  for (QCheckBox* box : {recordI2s_, recordMclk_})
    connect(box, &QCheckBox::clicked, this, &CAudioCfgPage::OnRecordI2sOrMclkClicked);
  connect(playbackDsp_, &QCheckBox::clicked, this, &CAudioCfgPage::PlaybackDspRule);
  connect(recordDsp_, &QCheckBox::clicked, this, &CAudioCfgPage::RecordDspRule);
  connect(digitalMic_, &QCheckBox::clicked, this, &CAudioCfgPage::OnDigitalMicClicked);
  connect(spdifIn_, &QCheckBox::clicked, this, &CAudioCfgPage::RecordModeRule);
  connect(playbackAsynchronous_, &QCheckBox::clicked, this,
          &CAudioCfgPage::OnPlaybackAsynchronousClicked);
  connect(aaPath_, &QCheckBox::clicked, this, &CAudioCfgPage::AaRule);
  connect(stereoMixerInput_, &QCheckBox::clicked, this, &CAudioCfgPage::StereoMixerRule);

  firstActivation_ = true;
  for (const VolumeControls& group : volumes_)
    for (QComboBox* volumeList : {group.minimum, group.maximum, group.initial})
      volumeList->setEnabled(false);
  Reset();
}

void CAudioCfgPage::BuildVolumeGroup(QWidget& contents, int record, int left, int y, int width) {
  const ui::DialogUnits units(contents.font());
  const VolumeIds& ids = kVolumeIds[static_cast<size_t>(record)];
  VolumeControls& controls = volumes_[static_cast<size_t>(record)];

  controls.box = new ui::GroupFrame(
      QString::fromLatin1(image::kVolumeGroupKinds[static_cast<size_t>(record)].caption),
      &contents);
  controls.box->setObjectName(QString::fromLatin1(ids.box));
  const QRect rows = units.Rect(0, y, 0, 46);
  controls.box->setGeometry(left, rows.y(), width, rows.height());

  // Places inside the group, x in dialog units from its left edge. Each list sits under its
  // caption, its unit under it.
  auto place = [&](int x, int top, int w, int h) {
    return units.Rect(x, top, w, h).translated(left, 0);
  };
  auto volumeList = [&](const char* caption, const char* id, int x) {
    auto* text = new QLabel(QString::fromLatin1(caption), &contents);
    text->setGeometry(place(x, y + 12, 56, 8));
    auto* widget = new QComboBox(&contents);
    widget->setObjectName(QString::fromLatin1(id));
    widget->setGeometry(place(x, y + 21, 48, 13));
    auto* unit = new QLabel(QStringLiteral("(dB)"), &contents);
    unit->setGeometry(place(x, y + 36, 20, 8));
    return widget;
  };
  controls.minimum = volumeList("Minimum:", ids.minimum, 10);
  controls.maximum = volumeList("Maximum:", ids.maximum, 66);
  controls.initial = volumeList("Initial value:", ids.initial, 122);
  controls.mute = new QCheckBox(QStringLiteral("Initial Mute"), &contents);
  controls.mute->setObjectName(QString::fromLatin1(ids.mute));
  controls.mute->setGeometry(place(190, y + 23, 70, 10));

  connect(controls.minimum, &QComboBox::activated, this,
          [this, record](int index) { OnMinimumChosen(record, index); });
  connect(controls.maximum, &QComboBox::activated, this,
          [this, record](int index) { OnMaximumChosen(record, index); });
  connect(controls.initial, &QComboBox::activated, this, [this, record](int index) {
    MarkVolumesEdited();
    groups_[static_cast<size_t>(record)].InitialSelected(index);
  });
  connect(controls.mute, &QCheckBox::clicked, this, &CAudioCfgPage::MarkVolumesEdited);
}

void CAudioCfgPage::ReleaseContents() {
  volumes_ = {};
  outputTerminal_ = playbackI2sMode_ = inputTerminal_ = recordMode_ = recordI2sMode_ = nullptr;
  playbackAsynchronous_ = spdifOut_ = playbackI2s_ = playbackDsp_ = playbackMclk_ = nullptr;
  agc_ = digitalMic_ = spdifIn_ = stereoMixerInput_ = nullptr;
  recordI2s_ = recordDsp_ = recordMclk_ = aaPath_ = disableVolumeControl_ = nullptr;
  reset_ = nullptr;
  note_ = nullptr;
  variantLocks_.clear();
}

void CAudioCfgPage::UpdateFromControls() {
  volumeControlDisabled_ = disableVolumeControl_->isChecked() ? 1 : 0;
  for (size_t i = 0; i < volumes_.size(); ++i)
    initialMute_[i] = volumes_[i].mute->isChecked() ? 1 : 0;
}

void CAudioCfgPage::UpdateControls() {
  disableVolumeControl_->setChecked(volumeControlDisabled_ != 0);
  for (size_t i = 0; i < volumes_.size(); ++i)
    volumes_[i].mute->setChecked(initialMute_[i] != 0);
}

void CAudioCfgPage::OnSetActive() {
  if (!HasContents()) return;
  if (!std::exchange(firstActivation_, false)) UpdateControls();
}

void CAudioCfgPage::OnKillActive() {
  if (HasContents()) UpdateFromControls();
}

int CAudioCfgPage::Variant() const {
  return context_.model.GetChipVariant();
}

bool CAudioCfgPage::Capability(int flag) const {
  return context_.model.GetCapability(flag) != 0;
}

void CAudioCfgPage::EnableGroupContents(QWidget* groupBox, bool enable) {
  auto* box = qobject_cast<QGroupBox*>(groupBox);
  if (box == nullptr || box->parentWidget() == nullptr) return;
  const QRect frame = box->geometry();
  for (QObject* child : box->parentWidget()->children()) {
    auto* sibling = qobject_cast<QWidget*>(child);
    if (sibling == nullptr || qobject_cast<QLabel*>(sibling) != nullptr) continue;
    // The box itself and anything enclosing it share the whole frame.
    const QRect common = frame.intersected(sibling->geometry());
    if (common.isEmpty() || common == frame) continue;
    sibling->setEnabled(enable);
  }
}

// ---- volume groups ---------------------------------------------------------------------------

void CAudioCfgPage::ShowLists(int record) {
  const image::VolumeGroup& group = groups_[static_cast<size_t>(record)];
  const VolumeControls& controls = volumes_[static_cast<size_t>(record)];
  const std::pair<QComboBox*, const image::VolumeList*> lists[] = {
      {controls.minimum, &group.Minimum()},
      {controls.maximum, &group.Maximum()},
      {controls.initial, &group.Initial()}};
  for (const auto& [widget, values] : lists) {
    const QSignalBlocker quiet(widget);
    widget->clear();
    for (const int value : values->values)
      widget->addItem(QString::number(value));
    SelectItem(widget, values->selected);
  }
}

void CAudioCfgPage::ResetGroup(int record) {
  if (!groups_[static_cast<size_t>(record)].Reset(VolumeDisabled())) return;
  ShowLists(record);
  const VolumeControls& controls = volumes_[static_cast<size_t>(record)];
  for (QComboBox* widget : {controls.minimum, controls.maximum, controls.initial})
    widget->setEnabled(true);
}

void CAudioCfgPage::OnMinimumChosen(int record, int index) {
  MarkVolumesEdited();
  RunMinimumHandler(record, index);
}

void CAudioCfgPage::OnMaximumChosen(int record, int index) {
  MarkVolumesEdited();
  RunMaximumHandler(record, index);
}

void CAudioCfgPage::RunMinimumHandler(int record, int index) {
  UpdateFromControls();
  AfterHandler(record, groups_[static_cast<size_t>(record)].MinimumSelected(index));
}

void CAudioCfgPage::RunMaximumHandler(int record, int index) {
  UpdateFromControls();
  AfterHandler(record, groups_[static_cast<size_t>(record)].MaximumSelected(index));
}

void CAudioCfgPage::AfterHandler(int record, const char* message) {
  ShowLists(record);
  if (message == nullptr) return;
  context_.dialogs.ShowMessage(this, QString::fromLatin1(message));
  UpdateControls();
  ResetGroup(record);
}

void CAudioCfgPage::LoadVolumes(const image::Section& section) {
  // Only the whole records a stored section holds have a layout; a section of any other
  // length shows the defaults.
  const std::optional<image::AudioIoSection> stored = image::DecodeAudioIoSection(section.Bytes());
  foreignLayout_ = section.Length() != image::kAudioIoSectionLength;
  if (!stored) return;
  for (int i = 0; i < stored->recordCount; ++i) {
    const image::VolumeRecord& words = stored->records[static_cast<size_t>(i)];
    groups_[static_cast<size_t>(i)].Load({image::VolumeDb(words.maximum),
                                          image::VolumeDb(words.minimum),
                                          image::VolumeDb(words.initial)});
    ShowLists(i);
  }
  for (size_t i = 0; i < initialMute_.size(); ++i)
    initialMute_[i] = (stored->muteBits >> i) & 1;
}

void CAudioCfgPage::StoreVolumes() {
  image::Section* section = context_.model.FindSection(image::section_type::kAudioIo);
  if (section == nullptr) return;
  if (VolumeDisabled()) {
    section->SetPresent(false);
    return;
  }
  if (!section->HasData()) return;
  section->SetPresent(true);
  if (foreignLayout_ && !volumesEdited_) return;

  image::AudioIoSection values;
  values.recordCount = static_cast<int>(image::kVolumeRecordCount);
  for (size_t i = 0; i < groups_.size(); ++i) {
    const image::VolumeSettings settings = groups_[i].Stored();
    values.records[i] = {image::VolumeWord(settings.maximum), image::VolumeWord(settings.minimum),
                         image::VolumeWord(settings.initial)};
    if (initialMute_[i] != 0) values.muteBits = static_cast<uint8_t>(values.muteBits | 1u << i);
  }
  // From here on the section has the layout this page writes.
  section->data.assign(image::kAudioIoSectionLength, 0);
  section->SetLength(image::kAudioIoSectionLength);
  image::EncodeAudioIoSection(values, section->data);
  foreignLayout_ = false;
}

// ---- reset, load, store ----------------------------------------------------------------------

void CAudioCfgPage::Reset() {
  // 1.
  volumeControlDisabled_ = 0;
  ResetGroup(record::kPlayback);
  // 2.
  for (QCheckBox* box :
       {playbackAsynchronous_, spdifOut_, playbackI2s_, playbackDsp_, playbackMclk_})
    box->setChecked(false);
  playbackI2sMode_->setCurrentIndex(0);
  // 3.
  ResetGroup(record::kMicInRecording);
  ResetGroup(record::kLineInRecording);
  ResetGroup(record::kStereoMixerIn);
  // 4.
  recordMode_->setCurrentIndex(0);
  for (QCheckBox* box :
       {agc_, digitalMic_, spdifIn_, stereoMixerInput_, recordI2s_, recordDsp_, recordMclk_})
    box->setChecked(false);
  recordI2sMode_->setCurrentIndex(0);
  // 5.
  ResetGroup(record::kMicInAa);
  ResetGroup(record::kLineInAa);
  // 6.
  aaPath_->setChecked(true);
  // 7.
  UnlockAll();
  // 8.
  for (size_t i = 0; i < initialMute_.size(); ++i)
    initialMute_[i] = image::kVolumeGroupKinds[i].mutedByDefault ? 1 : 0;
  // 9. The terminals the chip variant has.
  outputTerminal_->clear();
  inputTerminal_->clear();
  const int variant = Variant();
  if (variant != kVariantWithoutPlayback)
    outputTerminal_->addItems({QStringLiteral("Speaker"), QStringLiteral("Headphone")});
  if (variant != kVariantWithoutRecord) inputTerminal_->addItem(QStringLiteral("MicIn"));
  if (variant == 3) inputTerminal_->addItem(QStringLiteral("LineIn"));
  SelectItem(outputTerminal_, 0);
  SelectItem(inputTerminal_, 0);
  // 10.
  UpdateControls();
  AllRules();
  VariantRestrictions();
}

void CAudioCfgPage::LoadContents() {
  Reset();
  foreignLayout_ = false;
  volumesEdited_ = false;
  const image::EepromConfig& model = context_.model;
  if (!model.IsEmpty()) {
    const image::Section* header = model.FindSection(image::section_type::kHeader);
    if (header != nullptr && header->HasData()) {
      const image::AudioOptions o = image::GetAudioOptions(header->data);
      SelectItem(outputTerminal_, o.headphone ? 1 : 0);
      SelectItem(inputTerminal_, o.lineIn ? 1 : 0);
      spdifOut_->setChecked(o.spdifOutEnabled);
      spdifIn_->setChecked(o.spdifIn);
      aaPath_->setChecked(o.aaPath);
      stereoMixerInput_->setChecked(o.stereoMixerInput);
      digitalMic_->setChecked(o.digitalMic);
      SelectItem(recordMode_, o.recordAsynchronous ? 1 : 0);
      playbackAsynchronous_->setChecked(o.playbackAsynchronous);
      agc_->setChecked(o.agc);
      playbackI2s_->setChecked(o.playbackI2s);
      playbackDsp_->setChecked(o.playbackDsp);
      SelectItem(playbackI2sMode_, o.playbackI2sSlave ? 1 : 0);
      playbackMclk_->setChecked(o.playbackMclk);
      recordI2s_->setChecked(o.recordI2s);
      recordDsp_->setChecked(o.recordDsp);
      SelectItem(recordI2sMode_, o.recordI2sSlave ? 1 : 0);
      recordMclk_->setChecked(o.recordMclk);
    }
    const image::Section* audio = model.FindSection(image::section_type::kAudioIo);
    if (audio != nullptr && audio->HasData()) {
      if (audio->IsPresent()) {
        volumeControlDisabled_ = 0;
        UpdateControls();
        LoadVolumes(*audio);
      } else {
        for (size_t i = 0; i < initialMute_.size(); ++i)
          initialMute_[i] = image::kVolumeGroupKinds[i].mutedByDefault ? 1 : 0;
        volumeControlDisabled_ = 1;
      }
    }
    UpdateControls();
  }
  AllRules();
  VariantRestrictions();
  UpdateControls();
  // Every group's lists are rebuilt around what was loaded.
  for (const int i : kLoadOrder) {
    RunMinimumHandler(i, groups_[static_cast<size_t>(i)].Minimum().selected);
    RunMaximumHandler(i, groups_[static_cast<size_t>(i)].Maximum().selected);
  }
  if (foreignLayout_) {
    const image::Section* audio = model.FindSection(image::section_type::kAudioIo);
    context_.dialogs.ShowMessage(this, QString::fromLatin1(kForeignLayoutText)
                                           .arg(audio != nullptr ? audio->Length() : 0)
                                           .arg(image::kAudioIoSectionLength));
  }
}

void CAudioCfgPage::StoreContents() {
  UpdateFromControls();
  image::Section* header = context_.model.FindSection(image::section_type::kHeader);
  if (header != nullptr && header->HasData()) {
    // Only this page's bits change; the other pages' bits are kept as they are now.
    image::AudioOptions o;
    o.headphone = outputTerminal_->currentText().contains(QStringLiteral("Headphone"));
    o.lineIn = inputTerminal_->currentText().contains(QStringLiteral("LineIn"));
    o.spdifOutEnabled = spdifOut_->isChecked();
    o.spdifIn = spdifIn_->isChecked();
    o.aaPath = aaPath_->isChecked();
    o.stereoMixerInput = stereoMixerInput_->isChecked();
    o.digitalMic = digitalMic_->isChecked();
    o.recordAsynchronous = SelectedIndex(recordMode_) == 1;
    o.playbackAsynchronous = playbackAsynchronous_->isChecked();
    o.agc = agc_->isChecked();
    o.playbackI2s = playbackI2s_->isChecked();
    o.playbackDsp = playbackDsp_->isChecked();
    o.playbackI2sSlave = SelectedIndex(playbackI2sMode_) == 1;
    o.playbackMclk = playbackMclk_->isChecked();
    o.recordI2s = recordI2s_->isChecked();
    o.recordDsp = recordDsp_->isChecked();
    o.recordI2sSlave = SelectedIndex(recordI2sMode_) == 1;
    o.recordMclk = recordMclk_->isChecked();
    image::SetAudioOptions(header->data, o);
  }
  StoreVolumes();
  UpdateControls();
}

// ---- option rules ----------------------------------------------------------------------------

void CAudioCfgPage::PlaybackRule() {
  if (Variant() == kVariantWithoutPlayback) return;
  const bool slave = IsSlave(playbackI2sMode_);
  if (playbackDsp_->isChecked()) {
    playbackI2s_->setChecked(false);
  } else if (slave && !playbackMclk_->isChecked()) {
    playbackAsynchronous_->setChecked(true);
  }
  const bool dsp = playbackDsp_->isChecked();
  const bool i2s = playbackI2s_->isChecked();
  playbackDsp_->setEnabled(!i2s);
  playbackI2s_->setEnabled(!dsp);
  playbackI2sMode_->setEnabled(!dsp);
  playbackMclk_->setEnabled(!dsp && slave);
  if (!VolumeDisabled() && Capability(kPlaybackVolumeFlag))
    EnableGroupContents(volumes_[record::kPlayback].box, !i2s);
}

void CAudioCfgPage::RecordRule() {
  if (Variant() == kVariantWithoutRecord) return;
  if (recordDsp_->isChecked()) recordI2s_->setChecked(false);
  const bool digitalMic = digitalMic_->isChecked();
  recordI2s_->setEnabled(!recordDsp_->isChecked() && !digitalMic);
  recordDsp_->setEnabled(!recordI2s_->isChecked());
  recordMclk_->setEnabled(!digitalMic && IsSlave(recordI2sMode_));
}

void CAudioCfgPage::PlaybackDspRule() {
  if (Variant() == kVariantWithoutPlayback) return;
  const bool slave = IsSlave(playbackI2sMode_);
  const bool dsp = playbackDsp_->isChecked();
  if (dsp) {
    playbackI2s_->setChecked(false);
  } else if (slave && !playbackMclk_->isChecked()) {
    playbackAsynchronous_->setChecked(true);
  }
  playbackI2s_->setEnabled(!dsp);
  playbackI2sMode_->setEnabled(!dsp);
  playbackMclk_->setEnabled(!dsp && slave);
  if (!dsp && playbackMclk_->isChecked()) recordMode_->setCurrentIndex(kAsynchronous);
}

void CAudioCfgPage::RecordDspRule() {
  if (Variant() == kVariantWithoutRecord) return;
  if (recordDsp_->isChecked()) recordI2s_->setChecked(false);
  recordI2s_->setEnabled(!recordDsp_->isChecked() && !digitalMic_->isChecked());
}

void CAudioCfgPage::RecordModeRule() {
  // Never back to synchronous: that is the user's choice.
  if (playbackAsynchronous_->isChecked() || spdifIn_->isChecked())
    recordMode_->setCurrentIndex(kAsynchronous);
  if (IsSlave(recordI2sMode_) && !digitalMic_->isChecked() && !recordMclk_->isChecked())
    recordMode_->setCurrentIndex(kAsynchronous);
}

void CAudioCfgPage::RecordI2sModeRule() {
  recordI2sMode_->setEnabled(!digitalMic_->isChecked());
}

void CAudioCfgPage::AaRule() {
  UpdateFromControls();
  const bool busy =
      playbackI2s_->isChecked() || recordI2s_->isChecked() || digitalMic_->isChecked();
  const int variant = Variant();
  if (variant == 0 || variant == 3) {
    if (busy || VolumeDisabled()) {
      aaPath_->setEnabled(false);
    } else {
      aaPath_->setEnabled(Capability(kMicInAaFlag) || Capability(kLineInAaFlag));
    }
  }
  const bool groups = !VolumeDisabled() && aaPath_->isChecked() && !busy;
  if (Capability(kMicInAaFlag)) EnableGroupContents(volumes_[record::kMicInAa].box, groups);
  if (Capability(kLineInAaFlag)) EnableGroupContents(volumes_[record::kLineInAa].box, groups);
}

void CAudioCfgPage::PlaybackVolumeRule() {
  EnableGroupContents(volumes_[record::kPlayback].box,
                      !VolumeDisabled() && !playbackI2s_->isChecked());
}

void CAudioCfgPage::RecordingVolumeRule() {
  const bool enable = !VolumeDisabled() && !digitalMic_->isChecked() && !recordI2s_->isChecked();
  if (Capability(kMicInRecordingFlag))
    EnableGroupContents(volumes_[record::kMicInRecording].box, enable);
  if (Capability(kLineInRecordingFlag))
    EnableGroupContents(volumes_[record::kLineInRecording].box, enable);
}

void CAudioCfgPage::StereoMixerRule() {
  EnableGroupContents(volumes_[record::kStereoMixerIn].box,
                      !VolumeDisabled() && !digitalMic_->isChecked() && !recordI2s_->isChecked() &&
                          stereoMixerInput_->isChecked());
}

void CAudioCfgPage::AllRules() {
  RecordModeRule();
  PlaybackRule();
  RecordRule();
  RecordI2sModeRule();
  AaRule();
  PlaybackVolumeRule();
  RecordingVolumeRule();
  StereoMixerRule();
}

void CAudioCfgPage::VariantRestrictions() {
  const std::pair<int, int> flagged[] = {{record::kPlayback, kPlaybackVolumeFlag},
                                         {record::kMicInRecording, kMicInRecordingFlag},
                                         {record::kMicInAa, kMicInAaFlag},
                                         {record::kLineInRecording, kLineInRecordingFlag},
                                         {record::kLineInAa, kLineInAaFlag}};
  for (const auto& [group, flag] : flagged)
    if (!Capability(flag)) EnableGroupContents(volumes_[static_cast<size_t>(group)].box, false);
  if (!Capability(kMicInAaFlag) && !Capability(kLineInAaFlag)) aaPath_->setEnabled(false);

  std::vector<QWidget*> locked;
  switch (Variant()) {
    case 0:
      locked = {inputTerminal_, spdifIn_, stereoMixerInput_};
      break;
    case kVariantWithoutRecord:
      locked = {inputTerminal_, spdifIn_,    aaPath_,    stereoMixerInput_,
                recordMode_,    digitalMic_, agc_,       recordI2sMode_,
                recordI2s_,     recordDsp_,  recordMclk_};
      break;
    case kVariantWithoutPlayback:
      locked = {
          outputTerminal_,       spdifOut_,        spdifIn_,     aaPath_,      stereoMixerInput_,
          playbackAsynchronous_, playbackI2sMode_, playbackI2s_, playbackDsp_, playbackMclk_};
      break;
    default:
      locked = {inputTerminal_};
      break;
  }
  for (QWidget* control : locked)
    Lock(control);
}

void CAudioCfgPage::Lock(QWidget* control) {
  // A full list takes no more: the control stays as it is.
  if (static_cast<int>(variantLocks_.size()) >= kVariantLockLimit) return;
  control->setEnabled(false);
  variantLocks_.push_back({control, false});
}

void CAudioCfgPage::UnlockAll() {
  for (const VariantLock& lock : variantLocks_)
    lock.control->setEnabled(true);
  variantLocks_.clear();
}

// ---- handlers --------------------------------------------------------------------------------

void CAudioCfgPage::OnRecordModeChosen() {
  UpdateFromControls();
  RecordModeRule();
  UpdateControls();
}

void CAudioCfgPage::OnI2sModeChosen() {
  UpdateFromControls();
  PlaybackRule();
  RecordRule();
  RecordModeRule();
  UpdateControls();
}

void CAudioCfgPage::OnPlaybackI2sOrMclkClicked() {
  PlaybackRule();
  AaRule();
}

void CAudioCfgPage::OnRecordI2sOrMclkClicked() {
  RecordRule();
  RecordModeRule();
  StereoMixerRule();
  RecordingVolumeRule();
  AaRule();
}

void CAudioCfgPage::OnDigitalMicClicked() {
  RecordI2sModeRule();
  RecordRule();
  RecordModeRule();
  StereoMixerRule();
  RecordingVolumeRule();
  AaRule();
}

void CAudioCfgPage::OnPlaybackAsynchronousClicked() {
  PlaybackRule();
  RecordModeRule();
  AaRule();
}

void CAudioCfgPage::OnDisableVolumeControlClicked() {
  UpdateFromControls();
  for (const VolumeControls& group : volumes_)
    EnableGroupContents(group.box, !VolumeDisabled());
  aaPath_->setEnabled(!VolumeDisabled());
  AllRules();
  VariantRestrictions();
}

void CAudioCfgPage::OnResetClicked() {
  if (!context_.dialogs.Ask(this, QString::fromLatin1(kResetQuestion))) return;
  // The page's defaults, not the image's: nothing is read again.
  volumeControlDisabled_ = 0;
  UpdateControls();
  Reset();
  MarkVolumesEdited();
}

}  // namespace veltra::pages
