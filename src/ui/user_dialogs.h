#pragma once

#include <optional>

#include <QString>

class QWidget;

namespace veltra::ui {

// Every message box and file dialog of the tool goes through this interface, so tests answer
// them instead of blocking on a modal window. Calls happen on the GUI thread only.
class UserDialogs {
 public:
  virtual ~UserDialogs() = default;
  // A result message with an OK button.
  virtual void ShowMessage(QWidget* owner, const QString& text) = 0;
  // A question with OK and Cancel; true only for OK.
  virtual bool Ask(QWidget* owner, const QString& text) = 0;
  // filter uses the Windows form "Name (*.ext)|*.ext||"; defaultSuffix has no dot.
  // nullopt when the user cancels.
  virtual std::optional<QString> GetSaveFileName(QWidget* owner, const QString& filter,
                                                 const QString& defaultSuffix) = 0;
  virtual std::optional<QString> GetOpenFileName(QWidget* owner, const QString& filter,
                                                 const QString& defaultSuffix) = 0;
};

}  // namespace veltra::ui
