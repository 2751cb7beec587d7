#pragma once

#include <QObject>
#include <QString>

#include "ui/user_dialogs.h"

namespace veltra::app {

class CDemoDlg;

// Walks the main window through Connect on the simulated device and saves a picture of the
// window on every page (docs/screenshots); then ends the dialog. For the screenshot script.
class ScreenshotTour final : public QObject {
  Q_OBJECT

 public:
  ScreenshotTour(CDemoDlg& window, QString eepromType, QString vid, QString pid, QString directory);
  // Starts once the event loop runs.
  void Start();
  bool Succeeded() const { return succeeded_; }

 private:
  void Connect();
  void TakePictures();
  void Fail(const QString& why);

  CDemoDlg& window_;
  QString eepromType_;
  QString vid_;
  QString pid_;
  QString directory_;
  bool succeeded_ = false;
};

// The dialogs of the screenshot run, which nobody watches: a message box would wait for ever, so
// each message goes to stderr instead, a question is answered Cancel and a file dialog cancelled.
class UnattendedDialogs final : public ui::UserDialogs {
 public:
  void ShowMessage(QWidget* owner, const QString& text) override;
  bool Ask(QWidget* owner, const QString& text) override;
  std::optional<QString> GetSaveFileName(QWidget* owner, const QString& filter,
                                         const QString& defaultSuffix) override;
  std::optional<QString> GetOpenFileName(QWidget* owner, const QString& filter,
                                         const QString& defaultSuffix) override;
};

// "PlayBack EQ Config" -> "playback-eq-config".
QString ScreenshotFileStem(const QString& title);

}  // namespace veltra::app
