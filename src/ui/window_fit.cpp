#include "ui/window_fit.h"

#include <algorithm>
#include <initializer_list>

#include <QDateTime>
#include <QEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLocale>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTreeView>

namespace veltra::ui {

namespace {

// The file list's columns after the name.
enum Column { kSize = 1, kType = 2, kDate = 3 };

// The widest of the texts a column shows, as the file system model writes them.
int WidestText(const QFontMetrics& metrics, Column column) {
  const QLocale locale = QLocale::system();
  int widest = 0;
  auto take = [&](const QString& text) {
    widest = std::max(widest, metrics.horizontalAdvance(text));
  };
  switch (column) {
    case kSize:
      for (qint64 bytes :
           {qint64{1023}, qint64{1023} << 10 | 1013, qint64{1023} << 20 | 1013, qint64{1023} << 30})
        take(locale.formattedDataSize(bytes));
      break;
    case kType:
      for (const char* type : {"bin File", "Folder", "File"})
        take(QString::fromLatin1(type));
      break;
    case kDate:
      for (int month = 1; month <= 12; ++month)
        for (const QTime time : {QTime(10, 58, 58), QTime(23, 58, 58)})
          take(locale.toString(QDateTime(QDate(2028, month, 28), time), QLocale::ShortFormat));
      break;
  }
  return widest;
}

void FitFileColumns(QFileDialog& dialog) {
  auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
  if (view == nullptr) return;
  QHeaderView* header = view->header();
  const QFontMetrics metrics(view->font());
  const QStyle* style = header->style();
  const int padding = 2 * style->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header) +
                      style->pixelMetric(QStyle::PM_HeaderMarkSize, nullptr, header) +
                      metrics.averageCharWidth();
  for (const Column column : {kSize, kType, kDate}) {
    const QString title = header->model() != nullptr
                              ? header->model()->headerData(column, Qt::Horizontal).toString()
                              : QString();
    const int wanted = std::max(WidestText(metrics, column), metrics.horizontalAdvance(title));
    header->resizeSection(column, std::max(header->sectionSize(column), wanted + padding));
  }
  // The view gets whatever the dialog grows by.
  const int missing =
      header->length() + view->verticalScrollBar()->sizeHint().width() - view->viewport()->width();
  if (missing <= 0) return;
  int width = dialog.width() + missing;
  if (const QScreen* screen = dialog.screen())
    width = std::min(width, screen->availableGeometry().width());
  dialog.resize(std::max(width, dialog.width()), dialog.height());
}

class FitOnShow final : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    // Sent once the children are laid out and before the window is on the screen.
    if (event->type() == QEvent::Show) {
      if (auto* dialog = qobject_cast<QFileDialog*>(watched)) FitFileColumns(*dialog);
    }
    return QObject::eventFilter(watched, event);
  }
};

}  // namespace

int CaptionWidth(const QString& caption) {
  // The window manager's font is not known here: allow for one half as large again as the
  // system's title font, in bold, as window managers commonly draw captions.
  QFont font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
  font.setBold(true);
  if (font.pixelSize() > 0)
    font.setPixelSize(font.pixelSize() * 3 / 2);
  else
    font.setPointSizeF(font.pointSizeF() * 1.5);
  const QFontMetrics metrics(font);
  const int bar = metrics.height() * 2;
  // The icon, three buttons and a margin at either end: five slots as wide as the bar is high.
  return metrics.horizontalAdvance(caption) + 5 * bar;
}

void FitFileColumnsOnShow(QFileDialog& dialog) {
  dialog.installEventFilter(new FitOnShow(&dialog));
}

}  // namespace veltra::ui
