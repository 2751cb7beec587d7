#include "ui/qt_user_dialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QMessageBox>

#include "ui/file_filter.h"
#include "ui/window_fit.h"

namespace veltra::ui {

namespace {

QMessageBox::StandardButton RunMessageBox(QWidget* owner, const QString& text,
                                          QMessageBox::StandardButtons buttons) {
  QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), text, buttons, owner);
  box.setDefaultButton(QMessageBox::Ok);
  // As wide as the title bar needs for the whole caption: the box sizes itself to its layout.
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    const QMargins margins = grid->contentsMargins();
    grid->addItem(
        new QSpacerItem(CaptionWidth(box.windowTitle()) - margins.left() - margins.right(), 0,
                        QSizePolicy::Minimum, QSizePolicy::Minimum),
        grid->rowCount(), 0, 1, grid->columnCount());
  }
  // The owner is disabled while a background operation runs; its boxes still take input.
  box.setEnabled(true);
  // Modal to its owner, as a message box is: other windows of the tool (the device panel) go on
  // taking input.
  if (owner != nullptr) box.setWindowModality(Qt::WindowModal);
  return static_cast<QMessageBox::StandardButton>(box.exec());
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
  return RunFileDialog(owner, true, filter, defaultSuffix);
}

std::optional<QString> QtUserDialogs::GetOpenFileName(QWidget* owner, const QString& filter,
                                                      const QString& defaultSuffix) {
  return RunFileDialog(owner, false, filter, defaultSuffix);
}

std::optional<QString> QtUserDialogs::RunFileDialog(QWidget* owner, bool save,
                                                    const QString& filter,
                                                    const QString& defaultSuffix) {
  QFileDialog dialog(owner, QString(), folder_.Folder(), QtFileFilter(filter));
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(defaultSuffix);
  dialog.setEnabled(true);
  if (owner != nullptr) dialog.setWindowModality(Qt::WindowModal);
  FitFileColumnsOnShow(dialog);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const QString chosen = dialog.selectedFiles().constFirst();
  folder_.Remember(chosen);
  return chosen;
}

}  // namespace veltra::ui
