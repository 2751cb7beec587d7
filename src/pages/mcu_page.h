#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include <QString>

#include "image/mcu_info.h"
#include "pages/config_page.h"
#include "pages/page_context.h"
#include "platform/file_stamp.h"

class QCheckBox;
class QFile;
class QLineEdit;
class QPushButton;

namespace veltra::pages {

// The "MCU Config" page: the MCU firmware section and the MCU bits of Header byte 8 (bit 7 and
// bits 5-4). A firmware file chosen with "Read MCU File" stays open and is copied into the
// section at every Save while "Enable MCU" is on.
class CMCUPage : public ConfigPage {
  Q_OBJECT

 public:
  explicit CMCUPage(const PageContext& context, QWidget* parent = nullptr);
  ~CMCUPage() override;

  static const char* const kResetQuestion;
  static const char* const kOpenFailedText;
  static const char* const kExceedsEepromText;
  static const char* const kExceedsSectionText;
  // After either refusal: what stays as it was.
  static const char* const kRefusedKeepsText;
  static const char* const kFileChangedText;
  static const char* const kFileReadFailedText;
  static const char* const kFileFilter;

  // The largest firmware the section's 14-bit length can describe.
  static constexpr uint64_t kMaxFirmwareLength = image::kMaxFirmwareLength;

  bool HasMcuFile() const { return mcuFile_ != nullptr; }

 protected:
  void CreateContents(QWidget& contents) override;
  void LoadContents() override;
  void StoreContents() override;
  void ReleaseContents() override;

 private:
  struct Values {
    bool enableMcu = false;
    bool jumpToSram = false;
    bool lyncHeadset = false;
    std::array<QString, 5> fileInfo;
    std::array<QString, 5> eepromInfo;
  };

  void UpdateFromControls();
  void UpdateControls();
  void Clear();
  void CloseMcuFile();
  void OnEnableMcuClicked();
  void OnReadMcuFileClicked();
  void OnResetClicked();
  // The whole file as it was chosen; nullopt (after telling the user) when it cannot be.
  std::optional<std::vector<uint8_t>> ReadWholeMcuFile();
  // Whether the path still names the file that was chosen, unchanged.
  bool McuFileUnchanged() const;
  void WriteOptionByte();

  PageContext context_;
  Values values_;
  std::unique_ptr<QFile> mcuFile_;
  uint64_t mcuFileLength_ = 0;
  platform::FileStamp mcuFileStamp_;  // the chosen file as it was read

  QCheckBox* enableMcu_ = nullptr;
  QCheckBox* jumpToSram_ = nullptr;
  QCheckBox* lyncHeadset_ = nullptr;
  std::array<QLineEdit*, 5> fileInfo_{};
  std::array<QLineEdit*, 5> eepromInfo_{};
  QPushButton* readMcuFile_ = nullptr;
  QPushButton* reset_ = nullptr;
};

}  // namespace veltra::pages
