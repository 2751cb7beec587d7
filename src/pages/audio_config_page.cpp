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

#include "image/audio_io_rules.h"
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
const char* const CAudioCfgPage::kUnknownLayoutText =
    "The Audio I/O section is %1 bytes long, not %2, and holds no whole volume records: the "
    "volume groups show the defaults. Save keeps the section as it is until a volume is edited "
    "here.";
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

using image::AudioControl;

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

image::ChipTraits CAudioCfgPage::Chip() const {
  return context_.model.Chip();
}

QWidget* CAudioCfgPage::Control(AudioControl control) const {
  switch (control) {
    case AudioControl::kOutputTerminal:
      return outputTerminal_;
    case AudioControl::kPlaybackAsynchronous:
      return playbackAsynchronous_;
    case AudioControl::kSpdifOut:
      return spdifOut_;
    case AudioControl::kPlaybackI2sMode:
      return playbackI2sMode_;
    case AudioControl::kPlaybackI2s:
      return playbackI2s_;
    case AudioControl::kPlaybackDsp:
      return playbackDsp_;
    case AudioControl::kPlaybackMclk:
      return playbackMclk_;
    case AudioControl::kInputTerminal:
      return inputTerminal_;
    case AudioControl::kRecordMode:
      return recordMode_;
    case AudioControl::kAgc:
      return agc_;
    case AudioControl::kDigitalMic:
      return digitalMic_;
    case AudioControl::kSpdifIn:
      return spdifIn_;
    case AudioControl::kStereoMixerInput:
      return stereoMixerInput_;
    case AudioControl::kRecordI2sMode:
      return recordI2sMode_;
    case AudioControl::kRecordI2s:
      return recordI2s_;
    case AudioControl::kRecordDsp:
      return recordDsp_;
    case AudioControl::kRecordMclk:
      return recordMclk_;
    case AudioControl::kAaPath:
      return aaPath_;
  }
  return nullptr;
}

image::AudioOptions CAudioCfgPage::ShownOptions() const {
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
  return o;
}

void CAudioCfgPage::RunRule(void (image::AudioIoRules::*rule)()) {
  image::AudioRuleState state;
  state.options = ShownOptions();
  state.volumeDisabled = VolumeDisabled();
  const image::ChipTraits chip = Chip();
  image::AudioIoRules rules(chip, state);
  (rules.*rule)();
  // The rules change only option values; each is shown as the rule left it.
  for (const image::AudioRuleChange& change : state.changes) {
    const bool value = state.options.*image::FieldOf(change.control).option;
    QWidget* control = Control(change.control);
    if (auto* box = qobject_cast<QCheckBox*>(control)) {
      box->setChecked(value);
    } else if (auto* list = qobject_cast<QComboBox*>(control)) {
      list->setCurrentIndex(value ? 1 : 0);
    }
  }
  for (size_t i = 0; i < state.enable.size(); ++i)
    if (state.enable[i]) Control(static_cast<AudioControl>(i))->setEnabled(*state.enable[i]);
  for (size_t i = 0; i < state.groupEnable.size(); ++i)
    if (state.groupEnable[i]) EnableGroupContents(volumes_[i].box, *state.groupEnable[i]);
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
  RunDialog([&] { context_.dialogs.ShowMessage(this, QString::fromLatin1(message)); });
  if (Contents() == nullptr) return;
  UpdateControls();
  ResetGroup(record);
}

void CAudioCfgPage::LoadVolumes(const image::Section& section) {
  // Only the whole records a stored section holds have a layout; a section of any other
  // length shows the defaults.
  const std::optional<image::AudioIoSection> stored = image::DecodeAudioIoSection(section.Bytes());
  foreignLayout_ = section.Length() != image::kAudioIoSectionLength;
  foreignRecordsShown_ = stored.has_value();
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
  const image::TerminalItems terminals = image::TerminalItemsOf(Chip().variant);
  for (const char* item : terminals.output)
    outputTerminal_->addItem(QString::fromLatin1(item));
  for (const char* item : terminals.input)
    inputTerminal_->addItem(QString::fromLatin1(item));
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
    RunDialog([&] {
      context_.dialogs.ShowMessage(
          this, QString::fromLatin1(foreignRecordsShown_ ? kForeignLayoutText : kUnknownLayoutText)
                    .arg(audio != nullptr ? audio->Length() : 0)
                    .arg(image::kAudioIoSectionLength));
    });
  }
}

void CAudioCfgPage::StoreContents() {
  UpdateFromControls();
  image::Section* header = context_.model.FindSection(image::section_type::kHeader);
  if (header != nullptr && header->HasData()) {
    // Only this page's bits change; the other pages' bits are kept as they are now.
    const image::AudioOptions o = ShownOptions();
    image::SetAudioOptions(header->data, o);
  }
  StoreVolumes();
  UpdateControls();
}

// ---- option rules ----------------------------------------------------------------------------

void CAudioCfgPage::PlaybackRule() {
  RunRule(&image::AudioIoRules::Playback);
}

void CAudioCfgPage::RecordRule() {
  RunRule(&image::AudioIoRules::Record);
}

void CAudioCfgPage::PlaybackDspRule() {
  RunRule(&image::AudioIoRules::PlaybackDsp);
}

void CAudioCfgPage::RecordDspRule() {
  RunRule(&image::AudioIoRules::RecordDsp);
}

void CAudioCfgPage::RecordModeRule() {
  RunRule(&image::AudioIoRules::RecordMode);
}

void CAudioCfgPage::RecordI2sModeRule() {
  RunRule(&image::AudioIoRules::RecordI2sMode);
}

void CAudioCfgPage::AaRule() {
  UpdateFromControls();
  RunRule(&image::AudioIoRules::Aa);
}

void CAudioCfgPage::PlaybackVolumeRule() {
  RunRule(&image::AudioIoRules::PlaybackVolume);
}

void CAudioCfgPage::RecordingVolumeRule() {
  RunRule(&image::AudioIoRules::RecordingVolume);
}

void CAudioCfgPage::StereoMixerRule() {
  RunRule(&image::AudioIoRules::StereoMixer);
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
  RunRule(&image::AudioIoRules::CapabilityRestrictions);
  for (const AudioControl control : image::VariantLockedControls(Chip().variant))
    Lock(Control(control));
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
  if (!RunDialog([&] { return context_.dialogs.Ask(this, QString::fromLatin1(kResetQuestion)); }) ||
      Contents() == nullptr)
    return;
  // The page's defaults, not the image's: nothing is read again.
  volumeControlDisabled_ = 0;
  UpdateControls();
  Reset();
  MarkVolumesEdited();
}

}  // namespace veltra::pages
