#include "app/main_window.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>

#include "app/app_icon.h"
#include "app/background_operations.h"
#include "app/log_settings.h"
#include "app/model_message_sink.h"
#include "app/progress_window.h"
#include "app/qt_platform_window.h"
#include "app/qt_timers.h"
#include "device/channel.h"
#include "device/eeprom_types.h"
#include "device/transport.h"
#include "image/audio_io_rules.h"
#include "image/eeprom_config.h"
#include "image/header_options.h"
#include "image/operation_texts.h"
#include "pages/about_page.h"
#include "pages/audio_config_page.h"
#include "pages/mcu_page.h"
#include "pages/playback_eq_page.h"
#include "pages/record_eq_page.h"
#include "pages/usb_config_page.h"
#include "ui/dialog_units.h"
#include "ui/group_frame.h"
#include "ui/hex_string.h"
#include "ui/tool_settings.h"
#include "ui/tool_tip.h"
#include "ui/user_dialogs.h"

namespace veltra::app {

const char* const CDemoDlg::kTitle = "Veltra Configuration";
const char* const CDemoDlg::kStopQuestion = "Stop the connection without further saving ?";
const char* const CDemoDlg::kRefreshQuestion = "All changes before save will be discarded !!!";
const char* const CDemoDlg::kExitQuestion = "Exit the configuration tool without further saving ?";
const char* const CDemoDlg::kEraseQuestion =
    "Erase the whole EEPROM ? Its contents will be lost !!!";
const char* const CDemoDlg::kUsedOnlySetting = "WriteUsedOnly";

namespace {

// The template's width and height in dialog units; the height with a row added under the
// commands for the check box of the used-part Save.
constexpr int kWidth = 254;
constexpr int kHeight = 352;
// The page set ends just above the "EEPROM  TYPE" label.
constexpr int kPageSetHeight = 299;

// The room every page gets, in dialog units of the window's font: as wide as the widest page
// but the Audio I/O page and as high as the highest. A page whose contents need more makes the
// window grow while it is the current page.
constexpr int kPageAreaWidth = 324;
constexpr int kPageAreaHeight = 334;

// The one font of the window, pages included: "MS Sans Serif" 8 of the pages' templates. A
// smaller screen gets a smaller font, down to the smallest that still reads well.
constexpr int kFontPixels = 11;
constexpr int kSmallestFontPixels = 8;
// The window manager's title bar and frame before the window has been shown (the toolkit
// assumes as much when it centres a dialog).
constexpr int kUnknownFrameHeight = 40;

// Tabs as compact as a property sheet's, so that all six titles fit over the pages.
class CompactTabStyle final : public QProxyStyle {
 public:
  using QProxyStyle::QProxyStyle;
  int pixelMetric(PixelMetric metric, const QStyleOption* option,
                  const QWidget* widget) const override {
    if (metric == PM_TabBarTabHSpace) return kTabTextMargin * 2;
    return QProxyStyle::pixelMetric(metric, option, widget);
  }

 private:
  static constexpr int kTabTextMargin = 7;
};

}  // namespace

CDemoDlg::CDemoDlg(MainWindowServices services, QWidget* parent)
    : QDialog(parent), services_(std::move(services)) {
  // 1. The controls and their limits.
  BuildControls();
  // 2. The icon.
  setWindowIcon(ApplicationIcon());
  // 3. Settings and log.
  const log::LogSettings settings =
      services_.readLogSettings ? services_.readLogSettings() : ReadLogSettings();
  log_.emplace(
      log::DiagnosticLog::Start(settings, services_.logFile, services_.debug, services_.localTime));
  // 4. The driver; a failure shows only when Connect cannot attach.
  platformWindow_ = &services_.window;
  platformWindow_->SetAlive(true);
  platformWindow_->SetMessageHandler([this](uint32_t message, uintptr_t wParam, intptr_t lParam) {
    OnPostedMessage(message, wParam, lParam);
  });
  platformWindow_->SetDeviceChangeHandler(
      [this](uint32_t event, const platform::DeviceBroadcast* header) {
        OnDeviceChange(event, header);
      });
  services_.channel.OpenDriver();
  // 5. The one image model; its messages are owned by this window.
  messageSink_ = std::make_unique<ModelMessageSink>(*this, services_.dialogs);
  model_.reset();
  model_ = std::make_unique<image::EepromConfig>(services_.transport, messageSink_.get());
  // The start option checks the box for this run; only the user's own click is remembered.
  usedOnly_->setChecked(services_.usedOnlySave || ui::OpenToolSettings(services_.settingsFile)
                                                      ->value(QLatin1String(kUsedOnlySetting))
                                                      .toBool());
  model_->SetWriteExtent(usedOnly_->isChecked() ? image::WriteExtent::kUsedOnly
                                                : image::WriteExtent::kWhole);
  connect(usedOnly_, &QCheckBox::toggled, this, &CDemoDlg::OnUsedOnlyToggled);
  // 6. The three pages of every state; USB Config selected.
  CreatePages();
  AddPage(*usbPage_);
  AddPage(*audioPage_);
  AddPage(*mcuPage_);
  pageSet_->show();
  ChooseFontForScreen();
  SelectPage(*usbPage_);
  FitToCurrentPage();
  // 7. The progress window, hidden.
  progress_ = new CProgress(this);
  // 8. The completion event exists with the window (completion_), not signalled.
  operations_ = new BackgroundOperations(
      BackgroundOperations::Services{
          *this, *progress_, *model_, services_.transport, services_.dialogs, state_, completion_,
          [this] { OnReadDone(); }, services_.storageProblem,
          [this](const std::string& line) { log_->LogPrintf("%s\n", line.c_str()); }},
      this);
  connect(operations_, &BackgroundOperations::Ending, this, &CDemoDlg::OnOperationEnding);
  connect(operations_, &BackgroundOperations::Finished, this, &CDemoDlg::OperationFinished);
  // 9. Device buttons off; the type list stays on with nothing chosen.
  SetDeviceButtonsEnabled(false);
  // 10.
  state_.connected = 0;
  state_.signalOnFinish = 1;
  state_.operationCode = kNoOperation;
}

CDemoDlg::~CDemoDlg() {
  // An operation still running keeps the GUI thread until it has ended; its end finds a window
  // that is going away and hands it nothing.
  operations_->disconnect(this);
  delete operations_;
  operations_ = nullptr;
  model_.reset();
  delete progress_;
  progress_ = nullptr;
  if (state_.connected == 1) {
    state_.connected = 0;
    Disconnect();
    connect_->setText(QStringLiteral("Connect"));
  }
  services_.channel.CloseDriver();
  // No notice may reach the handlers of a window that is going away.
  platformWindow_->SetAlive(false);
  platformWindow_->SetMessageHandler({});
  platformWindow_->SetDeviceChangeHandler({});
}

void CDemoDlg::BuildControls() {
  setObjectName(QStringLiteral("CDemoDlg"));
  setWindowTitle(QString::fromLatin1(kTitle));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFont(ui::TemplateFont(kFontPixels));

  pageSet_ = new QTabWidget(this);
  pageSet_->setObjectName(QStringLiteral("pageSet"));
  tabStyle_ = new CompactTabStyle;
  tabStyle_->setParent(this);
  pageSet_->tabBar()->setStyle(tabStyle_);
  connect(pageSet_, &QTabWidget::currentChanged, this, &CDemoDlg::OnCurrentPageChanged);

  // The row's controls are placed by FitToCurrentPage from their template rectangles.
  auto place = [&](QWidget* widget, QRect rect) {
    rowControls_.emplace_back(widget, rect);
    return widget;
  };
  auto label = [&](const char* text, QRect rect) {
    return place(new QLabel(QString::fromLatin1(text), this), rect);
  };
  auto button = [&](const char* text, const char* id, QRect rect) {
    auto* widget = new QPushButton(QString::fromLatin1(text), this);
    widget->setObjectName(QString::fromLatin1(id));
    widget->setAutoDefault(false);
    widget->setDefault(false);
    place(widget, rect);
    return widget;
  };
  auto edit = [&](const char* id, QRect rect) {
    auto* widget = new QLineEdit(this);
    widget->setObjectName(QString::fromLatin1(id));
    widget->setMaxLength(4);
    place(widget, rect);
    return widget;
  };

  label("EEPROM  TYPE", QRect(7, 301, 81, 8));
  eepromType_ = new QComboBox(this);
  eepromType_->setObjectName(QStringLiteral("1244"));
  for (const device::EepromType& type : device::kEepromTypes)
    eepromType_->addItem(
        QString::fromLatin1(type.name.data(), static_cast<qsizetype>(type.name.size())));
  eepromType_->setCurrentIndex(-1);
  // The list's height in the template (30) includes the drop-down; the closed box is one row.
  place(eepromType_, QRect(7, 310, 48, 12));
  connect(eepromType_, &QComboBox::currentIndexChanged, this, &CDemoDlg::OnEepromTypeChanged);

  refresh_ = button("Refresh", "5", QRect(65, 310, 30, 12));
  erase_ = button("Erase", "4", QRect(65, 327, 30, 12));
  save_ = button("Save EEPROM", "3", QRect(7, 327, 52, 12));
  // One unit deeper than the template: Connect keeps its air above the line at the smallest font.
  auto* frame = place(new ui::GroupFrame(this), QRect(105, 304, 133, 21));
  label("VID", QRect(108, 312, 15, 8));
  vid_ = edit("1016", QRect(125, 310, 22, 12));
  label("PID", QRect(154, 312, 15, 8));
  pid_ = edit("1018", QRect(171, 310, 22, 12));
  connect_ = button("Connect", "1017", QRect(201, 310, 32, 12));
  dump_ = button("EEPROM -> FILE", "1160", QRect(104, 327, 64, 12));
  load_ = button("FILE -> EEPROM", "1161", QRect(172, 327, 64, 12));
  // The frame is drawn behind the controls it surrounds.
  frame->lower();
  usedOnly_ = new QCheckBox(QStringLiteral("Write only the part the configuration uses"), this);
  usedOnly_->setObjectName(QStringLiteral("usedOnly"));
  usedOnly_->setToolTip(ui::WrappedToolTip(QStringLiteral(
      "Save EEPROM then writes only the bytes the configuration occupies: the header, the "
      "directory, the sections and the places of the tail records. The rest of the EEPROM is "
      "left as it was instead of being written over, which makes the Save quicker on a large "
      "EEPROM.")));
  place(usedOnly_, QRect(7, 341, 200, 9));

  for (QPushButton* command : {refresh_, erase_, save_, connect_, dump_, load_})
    command->installEventFilter(this);
  // Ctrl+PageDown and Ctrl+PageUp switch pages from any control of the page set, as Ctrl+Tab
  // does; a slider or list would take them as its own page keys. The pages' controls come and
  // go with their contents, so the keys are caught on their way to any of them.
  qApp->installEventFilter(this);

  connect(refresh_, &QPushButton::clicked, this, &CDemoDlg::OnRefreshClicked);
  connect(erase_, &QPushButton::clicked, this, &CDemoDlg::OnEraseClicked);
  connect(save_, &QPushButton::clicked, this, &CDemoDlg::OnSaveClicked);
  connect(connect_, &QPushButton::clicked, this, &CDemoDlg::OnConnectClicked);
  connect(dump_, &QPushButton::clicked, this, &CDemoDlg::OnDumpClicked);
  connect(load_, &QPushButton::clicked, this, &CDemoDlg::OnLoadClicked);
}

void CDemoDlg::CreatePages() {
  const pages::PageContext context{*model_, services_.dialogs, services_.transport, *log_};
  usbPage_ = new pages::CUsbCfgPage(context, this);
  audioPage_ = new pages::CAudioCfgPage(context, this);
  mcuPage_ = new pages::CMCUPage(context, this);
  playbackEqPage_ = new pages::CEQPage(context, this);
  recordEqPage_ = new pages::CRecordEQPage(context, this);
  aboutPage_ = new pages::CAboutPage(context, services_.backendDescription, this);
  // Pages wait hidden until the page set takes them.
  for (pages::ConfigPage* page : std::initializer_list<pages::ConfigPage*>{
           usbPage_, audioPage_, mcuPage_, playbackEqPage_, recordEqPage_, aboutPage_})
    page->hide();
}

bool CDemoDlg::IsBusy() const {
  return operations_ != nullptr && operations_->Busy();
}

QStringList CDemoDlg::PageTitles() const {
  QStringList titles;
  for (int i = 0; i < pageSet_->count(); ++i)
    titles << pageSet_->tabText(i);
  return titles;
}

pages::ConfigPage* CDemoDlg::CurrentPage() const {
  return qobject_cast<pages::ConfigPage*>(pageSet_->currentWidget());
}

// ---- commands --------------------------------------------------------------------------------

void CDemoDlg::OnEepromTypeChanged(int index) {
  if (index < 0) {
    // No type chosen, as at start: the next Connect reads as a fresh start does, not with the
    // size of a read that failed.
    state_.transferLength = 0;
    services_.transport.SetTransportEepromSize(device::kInitialEepromSize);
    return;
  }
  if (index >= static_cast<int>(device::kEepromTypes.size())) return;
  const device::EepromType& type = device::kEepromTypes[static_cast<size_t>(index)];
  state_.transferLength = type.size - 1;
  services_.transport.SetTransportEepromSize(type.size);
}

void CDemoDlg::OnConnectClicked() {
  if (state_.connected == 0) {
    ConnectAndRead();
    return;
  }
  if (!services_.dialogs.Ask(this, QString::fromLatin1(kStopQuestion))) return;
  Disconnect();
  state_.connected = 0;
}

void CDemoDlg::OnRefreshClicked() {
  if (!services_.dialogs.Ask(this, QString::fromLatin1(kRefreshQuestion))) return;
  Disconnect();
  state_.connected = 0;
  ConnectAndRead();
}

void CDemoDlg::ConnectAndRead() {
  vidText_ = vid_->text();
  pidText_ = pid_->text();
  const uint16_t vid = ui::HexBoxValue(vidText_);
  const uint16_t pid = ui::HexBoxValue(pidText_);
  if (services_.channel.ConnectDevice(vid, pid, platformWindow_, nullptr, kDeviceArrivalMessage,
                                      kDeviceRemovalMessage) == 0) {
    services_.dialogs.ShowMessage(this, QString::fromLatin1(image::text::kCannotFindDevice));
    Disconnect();
    return;
  }
  StartOperation(kReadImage, 0);
}

void CDemoDlg::OnSaveClicked() {
  image::Section* header = model_->FindSection(image::section_type::kHeader);
  if (header != nullptr && header->HasData()) {
    image::SetHeaderVid(header->data, ui::HexBoxValue(vidText_));
    image::SetHeaderPid(header->data, ui::HexBoxValue(pidText_));
  }
  // A page that refuses to store has said why; then nothing is written.
  bool stored = usbPage_->Store() && audioPage_->Store();
  if (stored && model_->GetCapability(image::capability_flag::kPlaybackEq) != 0)
    stored = playbackEqPage_->Store();
  if (stored && model_->GetCapability(image::capability_flag::kRecordEq) != 0)
    stored = recordEqPage_->Store();
  if (!stored || !mcuPage_->Store()) return;
  StartOperation(kSaveImage, 1);
}

void CDemoDlg::OnUsedOnlyToggled(bool checked) {
  model_->SetWriteExtent(checked ? image::WriteExtent::kUsedOnly : image::WriteExtent::kWhole);
  // A store that cannot be written only costs the convenience.
  const std::unique_ptr<QSettings> store = ui::OpenToolSettings(services_.settingsFile);
  store->setValue(QLatin1String(kUsedOnlySetting), checked);
  store->sync();
}

void CDemoDlg::OnEraseClicked() {
  // One click beside Save EEPROM must not wipe the chip.
  if (!services_.dialogs.Ask(this, QString::fromLatin1(kEraseQuestion))) return;
  StartOperation(kErase, 1);
}

void CDemoDlg::OnDumpClicked() {
  StartOperation(kDumpToFile, 1);
}

void CDemoDlg::OnLoadClicked() {
  StartOperation(kLoadFromFile, 1);
}

void CDemoDlg::StartOperation(int operationCode, int signalOnFinish) {
  if (operations_ == nullptr || operations_->Busy()) return;
  if (services_.timers != nullptr) services_.timers->SetHeld(true);
  // Without a progress thread nothing would ever release the timers again.
  if (!operations_->Start(operationCode, signalOnFinish) && services_.timers != nullptr)
    services_.timers->SetHeld(false);
}

// Runs in the step that enables the window again: a click queued behind it may start the next
// operation at once, which must find the timers held by itself, not released by this one.
void CDemoDlg::OnOperationEnding(int operationCode) {
  if (services_.timers != nullptr) services_.timers->SetHeld(false);
  // A read that failed outright leaves no EEPROM type chosen: show it so, or picking the same
  // type again would change nothing and every later Connect would find the size too small.
  if (operationCode == kReadImage && state_.transferLength == 0) eepromType_->setCurrentIndex(-1);
  // The device is ours again: hand on what it reported meanwhile.
  if (std::exchange(removalDeferred_, false)) OnPostedMessage(kDeviceRemovalMessage, 0, 0);
  auto notices = std::move(deferredNotices_);
  deferredNotices_.clear();
  for (const auto& [event, header] : notices)
    OnDeviceChange(event, header ? &*header : nullptr);
}

void CDemoDlg::OnReadDone() {
  if (state_.readOk == 1) {
    connect_->setText(QStringLiteral("Stop"));
    model_->LoadTailRecords();
    SetDeviceButtonsEnabled(true);
    eepromType_->setEnabled(false);
    usbPage_->Load();
    audioPage_->Load();
    if (model_->GetCapability(image::capability_flag::kPlaybackEq) != 0) {
      AddPage(*playbackEqPage_);
      playbackEqPage_->Load();
    }
    if (model_->GetCapability(image::capability_flag::kRecordEq) != 0) {
      AddPage(*recordEqPage_);
      recordEqPage_->Load();
    }
    mcuPage_->Load();
    AddPage(*aboutPage_);
    SelectPage(*usbPage_);
    state_.connected = 1;
  } else {
    services_.dialogs.ShowMessage(this, QString::fromLatin1(image::text::kSizeTooSmall));
  }
  completion_.Set();
}

void CDemoDlg::Disconnect() {
  services_.channel.DetachDevice();
  SetDeviceButtonsEnabled(false);
  eepromType_->setEnabled(true);
  connect_->setText(QStringLiteral("Connect"));
  SelectPage(*usbPage_);
  for (pages::ConfigPage* page :
       std::initializer_list<pages::ConfigPage*>{playbackEqPage_, recordEqPage_, aboutPage_})
    if (HasPage(*page)) RemovePage(*page);
}

void CDemoDlg::reject() {
  if (IsBusy()) return;
  if (services_.dialogs.Ask(this, QString::fromLatin1(kExitQuestion))) QDialog::reject();
}

bool CDemoDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    auto* control = qobject_cast<QWidget*>(watched);
    if ((key->key() == Qt::Key_PageDown || key->key() == Qt::Key_PageUp) &&
        key->modifiers() == Qt::ControlModifier && control != nullptr && control != pageSet_ &&
        pageSet_->isAncestorOf(control)) {
      // The page set itself takes only Ctrl+Tab and Ctrl+Shift+Tab.
      const bool next = key->key() == Qt::Key_PageDown;
      QKeyEvent tab(QEvent::KeyPress, next ? Qt::Key_Tab : Qt::Key_Backtab,
                    next ? Qt::ControlModifier : Qt::ControlModifier | Qt::ShiftModifier);
      QCoreApplication::sendEvent(pageSet_, &tab);
      return true;
    }
  }
  // The click gives the button the focus first: a control left with a value its check refuses
  // shows its message then, which takes the click's release. The press reaches the button only
  // afterwards, with no button held, and no click would follow: say so rather than drop it.
  if (event->type() == QEvent::MouseButtonPress) {
    auto* command = qobject_cast<QPushButton*>(watched);
    const auto* press = static_cast<QMouseEvent*>(event);
    if (command != nullptr && command->isEnabled() &&
        (QGuiApplication::mouseButtons() & press->button()) == 0) {
      services_.dialogs.ShowMessage(
          this, QStringLiteral("%1 did not run. Press %1 again.").arg(command->text()));
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

bool CDemoDlg::event(QEvent* event) {
  // A page's contents asked for another size.
  if (event->type() == QEvent::LayoutRequest) FitToCurrentPage();
  return QDialog::event(event);
}

// ---- size and font ---------------------------------------------------------------------------

std::vector<pages::ConfigPage*> CDemoDlg::AllPages() const {
  return {usbPage_, audioPage_, mcuPage_, playbackEqPage_, recordEqPage_, aboutPage_};
}

void CDemoDlg::ChooseFontForScreen() {
  const QScreen* screen = this->screen();
  const QRect available = screen != nullptr ? screen->availableGeometry() : QRect();
  for (int pixels = kFontPixels;; --pixels) {
    setFont(ui::TemplateFont(pixels));
    const ui::DialogUnits units(font());
    for (pages::ConfigPage* page : AllPages())
      page->SetPageArea(units.Size(kPageAreaWidth, kPageAreaHeight));
    // With only the page area asked for, as no page has contents yet.
    const QSize pageSet = pageSet_->minimumSizeHint();
    const int width =
        std::max(pageSet.width(), TabRowWidth(pageSet.width() - units.X(kPageAreaWidth)));
    // The row of commands spans the regular width, as the template's spans its window.
    rowUnits_ = units.Scaled(width * 4.0 / (kWidth * units.AverageCharWidth()));
    regularSize_ = QSize(width, pageSet.height() + RowHeight());
    const bool fits =
        available.isEmpty() || (regularSize_.height() + kUnknownFrameHeight <= available.height() &&
                                regularSize_.width() <= available.width());
    if (fits || pixels <= kSmallestFontPixels) break;
  }
}

int CDemoDlg::TabRowWidth(int frameWidth) const {
  // Every title the page set can show, as the page set draws them.
  QTabBar row;
  row.setFont(font());
  row.setStyle(tabStyle_);
  row.setUsesScrollButtons(false);
  row.setElideMode(Qt::ElideNone);
  for (const pages::ConfigPage* page : AllPages())
    row.addTab(page->Title());
  return row.sizeHint().width() + frameWidth;
}

int CDemoDlg::RowHeight() const {
  return rowUnits_.Y(kHeight) - rowUnits_.Y(kPageSetHeight);
}

void CDemoDlg::FitToCurrentPage() {
  if (regularSize_.isEmpty()) return;  // before the font has been chosen
  const QSize pageSet = pageSet_->minimumSizeHint().expandedTo(QSize(regularSize_.width(), 0));
  pageSet_->setGeometry(0, 0, pageSet.width(), pageSet.height());
  // The row keeps its place under the page set and its width.
  const int rowTop = pageSet.height() - rowUnits_.Y(kPageSetHeight);
  for (const auto& [widget, rect] : rowControls_)
    widget->setGeometry(
        rowUnits_.Rect(rect.x(), rect.y(), rect.width(), rect.height()).translated(0, rowTop));
  setFixedSize(pageSet.width(), pageSet.height() + RowHeight());
  KeepOnScreen();
}

void CDemoDlg::KeepOnScreen() {
  const QScreen* screen = this->screen();
  if (!isVisible() || screen == nullptr) return;
  const QRect available = screen->availableGeometry();
  const QRect frame = frameGeometry();
  QPoint shift(std::min(0, available.right() - frame.right()),
               std::min(0, available.bottom() - frame.bottom()));
  // A window larger than the screen keeps its top left corner on it.
  shift.setX(std::max(shift.x(), available.left() - frame.left()));
  shift.setY(std::max(shift.y(), available.top() - frame.top()));
  if (!shift.isNull()) move(pos() + shift);
}

// ---- messages from the device channel --------------------------------------------------------

void CDemoDlg::OnPostedMessage(uint32_t message, uintptr_t /*wParam*/, intptr_t /*lParam*/) {
  if (message != kDeviceRemovalMessage) return;  // the arrival message is not handled
  if (state_.connected == 1) {
    // Detaching now would pull the device from under the worker thread: let it go when the
    // operation has ended.
    if (IsBusy()) {
      removalDeferred_ = true;
      return;
    }
    Disconnect();
    state_.connected = 0;
  }
}

void CDemoDlg::OnDeviceChange(uint32_t event, const platform::DeviceBroadcast* header) {
  if (IsBusy()) {
    // The worker thread owns the channel and the transport until the operation ends.
    deferredNotices_.emplace_back(event, header != nullptr
                                             ? std::optional<platform::DeviceBroadcast>(*header)
                                             : std::nullopt);
    return;
  }
  services_.channel.OnDeviceChange(event, header);
}

// ---- the page set ----------------------------------------------------------------------------

void CDemoDlg::SetDeviceButtonsEnabled(bool enabled) {
  for (QPushButton* button : {save_, erase_, dump_, load_, refresh_})
    button->setEnabled(enabled);
}

bool CDemoDlg::HasPage(pages::ConfigPage& page) const {
  return pageSet_->indexOf(&page) >= 0;
}

void CDemoDlg::AddPage(pages::ConfigPage& page) {
  if (HasPage(page)) return;
  // Only the current page's contents count for the page set's size.
  page.setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  pageSet_->addTab(&page, page.Title());
}

void CDemoDlg::RemovePage(pages::ConfigPage& page) {
  const int index = pageSet_->indexOf(&page);
  if (index < 0) return;
  pageSet_->removeTab(index);
  if (activePage_ == &page) activePage_ = nullptr;
  page.hide();
  page.setParent(this);
  page.hide();
  // The page's window goes with it; adding it again creates the contents anew.
  page.DestroyContents();
}

void CDemoDlg::SelectPage(pages::ConfigPage& page) {
  if (HasPage(page)) pageSet_->setCurrentWidget(&page);
}

void CDemoDlg::OnCurrentPageChanged(int index) {
  auto* page = qobject_cast<pages::ConfigPage*>(pageSet_->widget(index));
  if (page == activePage_) return;
  if (activePage_ != nullptr) {
    activePage_->OnKillActive();
    activePage_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  }
  activePage_ = page;
  if (activePage_ != nullptr) {
    activePage_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    activePage_->OnSetActive();
  }
  // The window takes the new page's size now; a page that shows its contents for the first time
  // asks again once they are laid out.
  FitToCurrentPage();
}

}  // namespace veltra::app
