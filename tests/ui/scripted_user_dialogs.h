#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include <QString>

#include "ui/user_dialogs.h"

namespace veltra::ui::testing {

// A UserDialogs double: answers from queues the test fills and records every dialog it was
// asked to show, in order. An unexpected question is answered with Cancel and counted.
class ScriptedUserDialogs final : public UserDialogs {
 public:
  enum class Kind { kMessage, kQuestion, kSaveFile, kOpenFile };
  struct Entry {
    Kind kind;
    QString text;  // message or question text; the filter for file dialogs
    QWidget* owner;
  };

  void AnswerQuestion(bool ok) { answers_.push_back(ok); }
  // nullopt: the user cancels the dialog.
  void AnswerFile(std::optional<QString> path) { files_.push_back(std::move(path)); }
  // Runs when a dialog is raised, before it is answered (to look at the state behind it).
  void OnDialog(std::function<void(const Entry&)> hook) { hook_ = std::move(hook); }

  const std::vector<Entry>& Entries() const { return entries_; }
  QStringList Messages() const;   // texts of message boxes only
  QStringList Questions() const;  // texts of questions only
  QStringList Texts() const;      // messages and questions, in order
  int Unanswered() const { return unanswered_; }
  bool AllAnswersUsed() const { return answers_.empty() && files_.empty(); }
  void Clear();

  void ShowMessage(QWidget* owner, const QString& text) override;
  bool Ask(QWidget* owner, const QString& text) override;
  std::optional<QString> GetSaveFileName(QWidget* owner, const QString& filter,
                                         const QString& defaultSuffix) override;
  std::optional<QString> GetOpenFileName(QWidget* owner, const QString& filter,
                                         const QString& defaultSuffix) override;

  QString LastDefaultSuffix() const { return lastSuffix_; }

 private:
  void Record(Kind kind, const QString& text, QWidget* owner);
  std::optional<QString> NextFile();

  std::deque<bool> answers_;
  std::deque<std::optional<QString>> files_;
  std::vector<Entry> entries_;
  std::function<void(const Entry&)> hook_;
  QString lastSuffix_;
  int unanswered_ = 0;
};

}  // namespace veltra::ui::testing
