#include "ui/qt_user_dialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>

#include "ui/file_filter.h"

namespace veltra::ui {

namespace {

QMessageBox::StandardButton RunMessageBox(QWidget* owner, const QString& text,
                                          QMessageBox::StandardButtons buttons) {
  QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), text, buttons, owner);
  box.setDefaultButton(QMessageBox::Ok);
  // The owner is disabled while a background operation runs; its boxes still take input.
  box.setEnabled(true);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

std::optional<QString> RunFileDialog(QWidget* owner, QFileDialog::AcceptMode mode,
                                     const QString& filter, const QString& defaultSuffix) {
  QFileDialog dialog(owner, QString(), QString(), QtFileFilter(filter));
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile
                                                     : QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(defaultSuffix);
  dialog.setEnabled(true);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().constFirst();
}

}  // namespace

void QtUserDialogs::ShowMessage(QWidget* owner, const QString& text) {
  RunMessageBox(owner, text, QMessageBox::Ok);
}

bool QtUserDialogs::Ask(QWidget* owner, const QString& text) {
  return RunMessageBox(owner, text, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

std::optional<QString> QtUserDialogs::GetSaveFileName(QWidget* owner, const QString& filter,
                                                      const QString& defaultSuffix) {
  return RunFileDialog(owner, QFileDialog::AcceptSave, filter, defaultSuffix);
}

std::optional<QString> QtUserDialogs::GetOpenFileName(QWidget* owner, const QString& filter,
                                                      const QString& defaultSuffix) {
  return RunFileDialog(owner, QFileDialog::AcceptOpen, filter, defaultSuffix);
}

}  // namespace veltra::ui
