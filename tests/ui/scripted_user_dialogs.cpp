#include "ui/scripted_user_dialogs.h"

#include <QStringList>

namespace veltra::ui::testing {

void ScriptedUserDialogs::Record(Kind kind, const QString& text, QWidget* owner) {
  entries_.push_back(Entry{kind, text, owner});
  if (hook_) hook_(entries_.back());
}

QStringList ScriptedUserDialogs::Messages() const {
  QStringList texts;
  for (const Entry& entry : entries_)
    if (entry.kind == Kind::kMessage) texts << entry.text;
  return texts;
}

QStringList ScriptedUserDialogs::Questions() const {
  QStringList texts;
  for (const Entry& entry : entries_)
    if (entry.kind == Kind::kQuestion) texts << entry.text;
  return texts;
}

QStringList ScriptedUserDialogs::Texts() const {
  QStringList texts;
  for (const Entry& entry : entries_)
    if (entry.kind == Kind::kMessage || entry.kind == Kind::kQuestion) texts << entry.text;
  return texts;
}

void ScriptedUserDialogs::Clear() {
  answers_.clear();
  files_.clear();
  entries_.clear();
  unanswered_ = 0;
}

void ScriptedUserDialogs::ShowMessage(QWidget* owner, const QString& text) {
  Record(Kind::kMessage, text, owner);
}

bool ScriptedUserDialogs::Ask(QWidget* owner, const QString& text) {
  Record(Kind::kQuestion, text, owner);
  if (answers_.empty()) {
    ++unanswered_;
    return false;
  }
  const bool ok = answers_.front();
  answers_.pop_front();
  return ok;
}

std::optional<QString> ScriptedUserDialogs::NextFile() {
  if (files_.empty()) {
    ++unanswered_;
    return std::nullopt;
  }
  std::optional<QString> path = files_.front();
  files_.pop_front();
  return path;
}

std::optional<QString> ScriptedUserDialogs::GetSaveFileName(QWidget* owner, const QString& filter,
                                                            const QString& defaultSuffix) {
  lastSuffix_ = defaultSuffix;
  Record(Kind::kSaveFile, filter, owner);
  return NextFile();
}

std::optional<QString> ScriptedUserDialogs::GetOpenFileName(QWidget* owner, const QString& filter,
                                                            const QString& defaultSuffix) {
  lastSuffix_ = defaultSuffix;
  Record(Kind::kOpenFile, filter, owner);
  return NextFile();
}

}  // namespace veltra::ui::testing
