#pragma once

#include "ui/user_dialogs.h"

namespace veltra::ui {

// The real dialogs: message boxes captioned with the application's name, without an icon;
// native-looking file dialogs that ask before overwriting.
class QtUserDialogs final : public UserDialogs {
 public:
  void ShowMessage(QWidget* owner, const QString& text) override;
  bool Ask(QWidget* owner, const QString& text) override;
  std::optional<QString> GetSaveFileName(QWidget* owner, const QString& filter,
                                         const QString& defaultSuffix) override;
  std::optional<QString> GetOpenFileName(QWidget* owner, const QString& filter,
                                         const QString& defaultSuffix) override;
};

}  // namespace veltra::ui
