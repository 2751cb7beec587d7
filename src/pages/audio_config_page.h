#pragma once

#include <array>
#include <vector>

#include "image/audio_io_rules.h"
#include "image/audio_io_section.h"
#include "image/section.h"
#include "image/volume_group.h"
#include "pages/config_page.h"
#include "pages/page_context.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace veltra::pages {

// The "Audio I/O Config" page: terminals, S/PDIF, I2S, DSP, MCLK, record mode, AGC, digital
// microphone, stereo mixer and A-A path options (its bits of Header bytes 6, 7, 8 and 10) and
// the six volume ranges of the Audio I/O section. Option rules keep the controls consistent;
// the chip's variant and capability flags switch off what the chip lacks.
class CAudioCfgPage : public ConfigPage {
  Q_OBJECT

 public:
  explicit CAudioCfgPage(const PageContext& context, QWidget* parent = nullptr);

  static const char* const kResetQuestion;
  static const char* const kWindowsXpNote;
  // Shown on loading a section of another length (%1) than this page writes (%2).
  static const char* const kForeignLayoutText;
  // The same, for a section that holds no whole record to show.
  static const char* const kUnknownLayoutText;
  // Controls the variant restrictions may switch off before a reset switches them on again.
  static constexpr int kVariantLockLimit = 259;

  void OnSetActive() override;
  void OnKillActive() override;

  // Switches every control that lies inside the group box on or off, its labels excepted.
  // Nothing for a widget that is not a group box.
  static void EnableGroupContents(QWidget* groupBox, bool enable);

  int VariantLockCount() const { return static_cast<int>(variantLocks_.size()); }

 protected:
  void CreateContents(QWidget& contents) override;
  void LoadContents() override;
  void StoreContents() override;
  void ReleaseContents() override;

 private:
  struct VolumeControls {
    QGroupBox* box = nullptr;
    QComboBox* minimum = nullptr;
    QComboBox* maximum = nullptr;
    QComboBox* initial = nullptr;
    QCheckBox* mute = nullptr;
  };
  struct VariantLock {
    QWidget* control;
    bool enabled;
  };

  // left and width in pixels, y in dialog units.
  void BuildVolumeGroup(QWidget& contents, int record, int left, int y, int width);
  void UpdateFromControls();
  void UpdateControls();

  // Volume groups: the core unit's lists shown in the combo boxes.
  void ShowLists(int record);
  void ResetGroup(int record);
  void OnMinimumChosen(int record, int index);
  void OnMaximumChosen(int record, int index);
  void RunMinimumHandler(int record, int index);
  void RunMaximumHandler(int record, int index);
  void AfterHandler(int record, const char* message);
  void LoadVolumes(const image::Section& section);
  void StoreVolumes();

  // Page defaults and the rules between the option controls.
  void Reset();
  void PlaybackRule();
  void RecordRule();
  void PlaybackDspRule();
  void RecordDspRule();
  void RecordModeRule();
  void RecordI2sModeRule();
  void AaRule();
  void PlaybackVolumeRule();
  void RecordingVolumeRule();
  void StereoMixerRule();
  void AllRules();
  void VariantRestrictions();
  void Lock(QWidget* control);
  void UnlockAll();

  // Handlers of the option controls.
  void OnRecordModeChosen();
  void OnI2sModeChosen();
  void OnPlaybackI2sOrMclkClicked();
  void OnRecordI2sOrMclkClicked();
  void OnDigitalMicClicked();
  void OnPlaybackAsynchronousClicked();
  void OnDisableVolumeControlClicked();
  void OnResetClicked();
  void MarkVolumesEdited() { volumesEdited_ = true; }

  image::ChipTraits Chip() const;
  QWidget* Control(image::AudioControl control) const;
  image::AudioOptions ShownOptions() const;
  // Runs one of the core rules over the controls' values and shows what it decided.
  void RunRule(void (image::AudioIoRules::*rule)());
  bool VolumeDisabled() const { return volumeControlDisabled_ != 0; }

  PageContext context_;
  std::array<image::VolumeGroup, image::kVolumeRecordCount> groups_;

  // Bound to "Disable Volume Control" and the six "Initial Mute" boxes.
  int volumeControlDisabled_ = 0;
  std::array<int, image::kVolumeRecordCount> initialMute_{};
  std::vector<VariantLock> variantLocks_;
  // An Audio I/O section of another length than this page writes (another tool's) is stored
  // back as it was read unless the user changed a volume.
  bool foreignLayout_ = false;
  bool foreignRecordsShown_ = false;  // the groups show some of its records
  bool volumesEdited_ = false;
  bool firstActivation_ = true;

  std::array<VolumeControls, image::kVolumeRecordCount> volumes_{};
  QComboBox* outputTerminal_ = nullptr;
  QCheckBox* playbackAsynchronous_ = nullptr;
  QCheckBox* spdifOut_ = nullptr;
  QComboBox* playbackI2sMode_ = nullptr;
  QCheckBox* playbackI2s_ = nullptr;
  QCheckBox* playbackDsp_ = nullptr;
  QCheckBox* playbackMclk_ = nullptr;
  QComboBox* inputTerminal_ = nullptr;
  QComboBox* recordMode_ = nullptr;
  QCheckBox* agc_ = nullptr;
  QCheckBox* digitalMic_ = nullptr;
  QCheckBox* spdifIn_ = nullptr;
  QCheckBox* stereoMixerInput_ = nullptr;
  QComboBox* recordI2sMode_ = nullptr;
  QCheckBox* recordI2s_ = nullptr;
  QCheckBox* recordDsp_ = nullptr;
  QCheckBox* recordMclk_ = nullptr;
  QCheckBox* aaPath_ = nullptr;
  QCheckBox* disableVolumeControl_ = nullptr;
  QPushButton* reset_ = nullptr;
  QLabel* note_ = nullptr;
};

}  // namespace veltra::pages
