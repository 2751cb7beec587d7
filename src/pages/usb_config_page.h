#pragma once

#include <QString>

#include "pages/config_page.h"
#include "pages/page_context.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace veltra::pages {

// The "USB Config" page: USB identity, string descriptors, power and HID options. It owns the
// Header's VID, PID and bits 7..5 of byte 6 and 2..0 of byte 7, the three string sections, and
// drops the OC string section on every store.
class CUsbCfgPage : public ConfigPage {
  Q_OBJECT

 public:
  explicit CUsbCfgPage(const PageContext& context, QWidget* parent = nullptr);

  static const char* const kZeroText;
  static const char* const kSpecialCharactersText;
  static const char* const kTwoCharactersText;
  static const char* const kResetQuestion;

 protected:
  void CreateContents(QWidget& contents) override;
  void LoadContents() override;
  void StoreContents() override;
  void ReleaseContents() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The page's values as the controls show them.
  struct Values {
    QString vid;
    QString pid;
    QString manufacturer;
    QString product;
    QString serial;
    QString oc;  // never loaded or stored
    QString hidInterval;
    bool hidEnabled = true;
    bool remoteWakeup = false;
    int powered = 0;     // item index, -1 for none
    int powerRange = 0;  // item index, -1 for none
  };

  void UpdateFromControls();
  void UpdateControls();
  void Reset();
  void OnResetClicked();
  void CheckId(QString& text);
  void CheckVid();
  void CheckPid();
  void CheckProduct();
  void CheckInterval();

  PageContext context_;
  Values values_;

  QLineEdit* vid_ = nullptr;
  QLineEdit* pid_ = nullptr;
  QLineEdit* manufacturer_ = nullptr;
  QLineEdit* product_ = nullptr;
  QLineEdit* serial_ = nullptr;
  QLineEdit* oc_ = nullptr;
  QLineEdit* hidInterval_ = nullptr;
  QCheckBox* hidEnabled_ = nullptr;
  QCheckBox* remoteWakeup_ = nullptr;
  QComboBox* powered_ = nullptr;
  QComboBox* powerRange_ = nullptr;
  QPushButton* reset_ = nullptr;
};

}  // namespace veltra::pages
