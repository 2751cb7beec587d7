#include "app/screenshot_tour.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTimer>

#include "app/main_window.h"
#include "app/user_output.h"

namespace veltra::app {

QString ScreenshotFileStem(const QString& title) {
  QString stem = title.toLower();
  stem.replace(QRegularExpression(QStringLiteral("[^a-z0-9]+")), QStringLiteral("-"));
  while (stem.startsWith(u'-'))
    stem.remove(0, 1);
  while (stem.endsWith(u'-'))
    stem.chop(1);
  return stem;
}

ScreenshotTour::ScreenshotTour(CDemoDlg& window, QString eepromType, QString vid, QString pid,
                               QString directory)
    : QObject(nullptr),
      window_(window),
      eepromType_(std::move(eepromType)),
      vid_(std::move(vid)),
      pid_(std::move(pid)),
      directory_(std::move(directory)) {}

void ScreenshotTour::Start() {
  QTimer::singleShot(300, this, &ScreenshotTour::Connect);
}

void ScreenshotTour::Connect() {
  auto* type = window_.findChild<QComboBox*>(QStringLiteral("1244"));
  auto* vid = window_.findChild<QLineEdit*>(QStringLiteral("1016"));
  auto* pid = window_.findChild<QLineEdit*>(QStringLiteral("1018"));
  auto* connect = window_.findChild<QPushButton*>(QStringLiteral("1017"));
  if (type == nullptr || vid == nullptr || pid == nullptr || connect == nullptr)
    return Fail(QStringLiteral("controls not found"));
  type->setCurrentIndex(type->findText(eepromType_));
  vid->setText(vid_);
  pid->setText(pid_);
  QObject::connect(&window_, &CDemoDlg::OperationFinished, this,
                   [this] { QTimer::singleShot(300, this, &ScreenshotTour::TakePictures); });
  connect->click();
}

void ScreenshotTour::TakePictures() {
  if (!window_.IsConnected()) return Fail(QStringLiteral("the simulated device did not connect"));
  if (!QDir().mkpath(directory_)) return Fail(QStringLiteral("cannot create ") + directory_);
  QTabWidget& pages = window_.PageSet();
  for (int i = 0; i < pages.count(); ++i) {
    pages.setCurrentIndex(i);
    for (int settle = 0; settle < 5; ++settle)
      QCoreApplication::processEvents();
    const QString file =
        QDir(directory_)
            .filePath(
                QStringLiteral("%1-%2.png").arg(i + 1).arg(ScreenshotFileStem(pages.tabText(i))));
    if (!window_.grab().save(file)) return Fail(QStringLiteral("cannot write ") + file);
    TellUser(file + u'\n', OutputStream::kOutput, OtherwiseTo::kDebugger);
  }
  succeeded_ = true;
  window_.done(QDialog::Accepted);
}

void UnattendedDialogs::ShowMessage(QWidget* /*owner*/, const QString& text) {
  QString line = text;
  line.replace(u'\n', u' ');
  TellUser(QStringLiteral("veltra-config: screenshots: message: %1\n").arg(line.simplified()),
           OutputStream::kError, OtherwiseTo::kDebugger);
}

bool UnattendedDialogs::Ask(QWidget* owner, const QString& text) {
  ShowMessage(owner, text);
  return false;
}

std::optional<QString> UnattendedDialogs::GetSaveFileName(QWidget* /*owner*/,
                                                          const QString& /*filter*/,
                                                          const QString& /*defaultSuffix*/) {
  return std::nullopt;
}

std::optional<QString> UnattendedDialogs::GetOpenFileName(QWidget* /*owner*/,
                                                          const QString& /*filter*/,
                                                          const QString& /*defaultSuffix*/) {
  return std::nullopt;
}

void ScreenshotTour::Fail(const QString& why) {
  TellUser(QStringLiteral("veltra-config: screenshots: %1\n").arg(why), OutputStream::kError,
           OtherwiseTo::kDebugger);
  window_.done(QDialog::Rejected);
}

}  // namespace veltra::app
