#pragma once

#include <memory>

#include <QSettings>
#include <QString>

namespace veltra::ui {

// The folder the file dialogs open in: the one that held the file last chosen in any of them.
// It is kept as one value of its own in the tool's settings store (the organisation and
// application of the tool's registry key), beside the two log settings, which it leaves alone.
class RecentFolder {
 public:
  static constexpr char kValueName[] = "LastFolder";

  // The tool's own store.
  RecentFolder();
  // The store in this settings file (tests).
  explicit RecentFolder(QString settingsFile);

  // Empty when none has been remembered or it is no folder any more.
  QString Folder() const;
  // Remembers the folder that holds this file.
  void Remember(const QString& chosenFile);

 private:
  std::unique_ptr<QSettings> OpenStore() const;

  QString settingsFile_;
};

}  // namespace veltra::ui
