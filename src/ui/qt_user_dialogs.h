#pragma once

#include "ui/recent_folder.h"
#include "ui/user_dialogs.h"

namespace veltra::ui {

// The real dialogs: message boxes captioned with the application's name, without an icon;
// native-looking file dialogs that ask before overwriting and open in the folder last used.
class QtUserDialogs final : public UserDialogs {
 public:
  explicit QtUserDialogs(RecentFolder folder = RecentFolder()) : folder_(std::move(folder)) {}

  void ShowMessage(QWidget* owner, const QString& text) override;
  bool Ask(QWidget* owner, const QString& text) override;
  std::optional<QString> GetSaveFileName(QWidget* owner, const QString& filter,
                                         const QString& defaultSuffix) override;
  std::optional<QString> GetOpenFileName(QWidget* owner, const QString& filter,
                                         const QString& defaultSuffix) override;

 private:
  std::optional<QString> RunFileDialog(QWidget* owner, bool save, const QString& filter,
                                       const QString& defaultSuffix);

  RecentFolder folder_;
};

}  // namespace veltra::ui
