#include "app_harness.h"

#include <QFile>

#include "app/progress_window.h"
#include "image/factory_image.h"
#include "platform/file_replace.h"
#include "platform/sim/sim_system.h"

namespace veltra::app::testing {

AppHarness::AppHarness(HarnessOptions options) {
  QVERIFY2(dir_.isValid(), "temporary directory");
  backend::DeviceOptions device = options.device;
  device.imageFile = dir_.filePath(QStringLiteral("eeprom.bin")).toStdString();
  if (options.contents == Contents::kFactory) {
    const uint32_t size = sim::PartInfo(backend::SimulatedPart(device)).size;
    auto image = image::BuildFactoryImage(device.vid, device.pid, size);
    QVERIFY(image.has_value());
    const std::string error = platform::ReplaceFile(device.imageFile, *image);
    QVERIFY2(error.empty(), error.c_str());
  } else if (options.contents == Contents::kGiven) {
    const std::string error = platform::ReplaceFile(device.imageFile, options.bytes);
    QVERIFY2(error.empty(), error.c_str());
  }
  backend_ = std::make_unique<GuiBackend>(device);
  logFile_ = std::make_unique<platform::PosixLogFileStore>(
      dir_.filePath(QStringLiteral("state/VeltraConfig.log")).toStdString());
  window_ = std::make_unique<CDemoDlg>(MainWindowServices{
      backend_->Channel(), backend_->Transport(), dialogs_, *logFile_, debug_, localTime_,
      backend_->Window(), [settings = options.log] { return settings; }, &backend_->Timers(),
      QStringLiteral("test device"), [this] { return backend_->StorageProblem(); },
      options.usedOnlySave,
      options.settingsFile.isEmpty() ? dir_.filePath(QStringLiteral("state/settings.ini"))
                                     : options.settingsFile});
  window_->show();
  QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
}

AppHarness::~AppHarness() {
  WaitIdle();
  window_.reset();
}

void AppHarness::ChooseType(const QString& name) {
  auto* list = Control<QComboBox>("1244");
  list->setCurrentIndex(list->findText(name));
}

void AppHarness::TypeIds(const QString& vid, const QString& pid) {
  auto* vidBox = Control<QLineEdit>("1016");
  auto* pidBox = Control<QLineEdit>("1018");
  vidBox->clear();
  pidBox->clear();
  QTest::keyClicks(vidBox, vid);
  QTest::keyClicks(pidBox, pid);
}

bool AppHarness::WaitIdle() {
  return QTest::qWaitFor([this] { return !window_->IsBusy() && window_->isEnabled(); }, 20000);
}

bool AppHarness::ClickAndWait(const char* id) {
  QPushButton* button = Button(id);
  if (button == nullptr || !button->isEnabled()) return false;
  button->click();
  return WaitIdle();
}

bool AppHarness::Connect(const QString& type) {
  ChooseType(type);
  TypeIds(QStringLiteral("5A52"), QStringLiteral("7731"));
  ClickAndWait("1017");
  return window_->IsConnected();
}

std::vector<uint8_t> AppHarness::EepromBytes() {
  auto lock = backend_->Simulated()->Machine().System().Lock();
  return backend_->Simulated()->Machine().Device().Eeprom().Contents();
}

void AppHarness::SetFaults(const sim::Faults& faults) {
  backend_->Simulated()->Machine().System().SetFaults(faults);
}

void AppHarness::WatchCover() {
  dialogs_.OnDialog([this](const ui::testing::ScriptedUserDialogs::Entry& entry) {
    // A question before an operation starts (Erase's) is asked on the window itself.
    if (entry.kind == ui::testing::ScriptedUserDialogs::Kind::kQuestion && !window_->IsBusy())
      return;
    if (!window_->isEnabled() && window_->Progress().isVisible()) {
      ++covered_;
    } else {
      ++uncovered_;
    }
  });
}

bool AppHarness::DeviceButtonsEnabled() {
  bool all = true;
  bool any = false;
  for (const char* id : {"3", "4", "5", "1160", "1161"}) {
    all = all && Button(id)->isEnabled();
    any = any || Button(id)->isEnabled();
  }
  if (all != any) qWarning("device buttons are not enabled together");
  return all;
}

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray Bytes(std::span<const uint8_t> bytes) {
  return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                    static_cast<qsizetype>(bytes.size()));
}

}  // namespace veltra::app::testing
