// veltra-config's main window with a stand-in for a page wider than the others: the Audio I/O
// page's contents take the size of that page's template (567 x 334 units) and hold a button in
// their far corner. wide_page_test.sh drives it with real input.

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include "app/gui_backend.h"
#include "app/main_window.h"
#include "app/widget_probe.h"
#include "log/local_time.h"
#include "pages/audio_config_page.h"
#include "platform/debug_output.h"
#include "platform/log_file_store.h"
#include "ui/dialog_units.h"
#include "ui/qt_user_dialogs.h"

using namespace veltra;

namespace {

void GrowContents(pages::ConfigPage& page) {
  auto* contents = page.findChild<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
  if (contents == nullptr) qFatal("the page has no contents");
  const ui::DialogUnits units(contents->font());
  contents->setMinimumSize(units.Size(567, 334));
  auto* corner = new QPushButton(QStringLiteral("Far corner"), contents);
  corner->setObjectName(QStringLiteral("farCorner"));
  corner->setGeometry(units.Rect(517, 311, 43, 16));
  corner->show();
  QObject::connect(corner, &QPushButton::clicked, corner,
                   [corner] { corner->setText(QStringLiteral("Reached")); });
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("veltra-config"));
  const std::unique_ptr<app::WidgetProbe> probe = app::WidgetProbe::FromEnvironment();

  app::GuiBackend backend(veltra::backend::DeviceOptions{});
  ui::QtUserDialogs dialogs;
  platform::PosixLogFileStore logFile(platform::PosixLogFileStore::DefaultPath());
  platform::StderrDebugOutput debug;
  log::SystemLocalTime localTime;
  app::CDemoDlg window(app::MainWindowServices{backend.Channel(),
                                               backend.Transport(),
                                               dialogs,
                                               logFile,
                                               debug,
                                               localTime,
                                               backend.Window(),
                                               {},
                                               &backend.Timers(),
                                               backend.Description(),
                                               {}});

  // A moment after the contents exist, as contents that settle their size once laid out do: the
  // window follows a size asked for at any time, not only when the page is selected.
  pages::ConfigPage& page = window.AudioPage();
  QObject::connect(&page, &pages::ConfigPage::ContentsCreated, &page,
                   [&page] { QTimer::singleShot(0, &page, [&page] { GrowContents(page); }); });

  window.show();
  return QApplication::exec();
}
