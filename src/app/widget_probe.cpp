#include "app/widget_probe.h"

#include <algorithm>
#include <cmath>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QTabBar>

#include "ui/group_frame.h"
#include "ui/window_fit.h"

namespace veltra::app {

namespace {

constexpr int kPollMilliseconds = 50;
// A list longer than this is not a control anybody clicks through in a test.
constexpr int kMostItems = 200;

QString Field(QString text) {
  if (text.isEmpty()) return QStringLiteral("-");
  text.replace(u'\t', u' ');
  text.replace(u'\n', u' ');
  text.replace(u'\r', u' ');
  return text;
}

// A single screen at the origin, as the tests run it: device pixels are logical ones times the
// ratio.
QString Place(const QRect& logical, double ratio) {
  auto device = [ratio](int value) { return std::lround(static_cast<double>(value) * ratio); };
  // Corners, not sizes, are scaled: at a fractional scale a rounded width added to a rounded
  // left edge may end a pixel past the rounded right edge.
  const long left = device(logical.x());
  const long top = device(logical.y());
  return QStringList{QString::number(left), QString::number(top),
                     QString::number(device(logical.x() + logical.width()) - left),
                     QString::number(device(logical.y() + logical.height()) - top)}
      .join(u'\t');
}

QString TextOf(const QWidget& widget) {
  if (const auto* button = qobject_cast<const QAbstractButton*>(&widget)) return button->text();
  if (const auto* label = qobject_cast<const QLabel*>(&widget)) return label->text();
  if (const auto* edit = qobject_cast<const QLineEdit*>(&widget)) return edit->text();
  if (const auto* list = qobject_cast<const QComboBox*>(&widget)) return list->currentText();
  if (const auto* group = qobject_cast<const QGroupBox*>(&widget)) return group->title();
  // "VALUE/MAXIMUM TEXT", so that a test sees the bar move.
  if (const auto* bar = qobject_cast<const QProgressBar*>(&widget))
    return QStringLiteral("%1/%2 %3").arg(bar->value()).arg(bar->maximum()).arg(bar->text());
  return {};
}

QRect GlobalRect(const QWidget& widget, const QRect& local) {
  return QRect(widget.mapToGlobal(local.topLeft()), local.size());
}

// Whether a label's or check box's text needs more room than the control has: lower than a line
// of its font, or narrower than the text.
bool IsTextCut(const QWidget& widget) {
  const auto* label = qobject_cast<const QLabel*>(&widget);
  const bool choice =
      qobject_cast<const QCheckBox*>(&widget) || qobject_cast<const QRadioButton*>(&widget);
  if (label == nullptr && !choice) return false;
  if (label != nullptr && (label->text().isEmpty() || !label->pixmap().isNull())) return false;
  if (widget.height() < widget.fontMetrics().height()) return true;
  if (label != nullptr && label->wordWrap())
    return widget.height() < label->heightForWidth(widget.width());
  return widget.width() < widget.sizeHint().width();
}

// Whether some part of the widget lies outside one of the widgets that contain it.
bool IsClipped(const QWidget& widget) {
  QRect rect = GlobalRect(widget, widget.rect());
  for (const QWidget* outer = widget.parentWidget(); outer != nullptr;
       outer = outer->isWindow() ? nullptr : outer->parentWidget()) {
    if (!GlobalRect(*outer, outer->rect()).contains(rect)) return true;
  }
  return false;
}

// Where a group box's frame and title are, in its parent's coordinates: the frame's outer edge,
// the room inside its lines and the title. Ours say so; another's, as its style lays it out.
struct GroupPlaces {
  QRect frame;
  QRect inside;
  QRect title;
};

GroupPlaces PlacesOf(const QGroupBox& group) {
  GroupPlaces places;
  if (const auto* own = qobject_cast<const ui::GroupFrame*>(&group)) {
    places = {own->FrameRect(), own->InsideRect(), own->TitleRect()};
  } else {
    QStyleOptionGroupBox option;
    option.initFrom(&group);
    option.text = group.title();
    option.subControls = QStyle::SC_GroupBoxFrame;
    if (!option.text.isEmpty()) option.subControls |= QStyle::SC_GroupBoxLabel;
    const QStyle* style = group.style();
    places = {
        group.rect(),
        style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxContents, &group),
        option.text.isEmpty() ? QRect()
                              : style->subControlRect(QStyle::CC_GroupBox, &option,
                                                      QStyle::SC_GroupBoxLabel, &group)};
  }
  const QPoint at = group.pos();
  return {places.frame.translated(at), places.inside.translated(at), places.title.translated(at)};
}

// Whether the widget lies on a frame line or the title of a group box beside it (the controls a
// group frames are its siblings): partly inside the frame and partly not, or over the title. A
// push button with less than two pixels of air to a line inside the frame sits on it as well:
// its bevel runs into the line.
bool IsOnGroupFrame(const QWidget& widget) {
  const QWidget* parent = widget.parentWidget();
  if (parent == nullptr || widget.isWindow()) return false;
  const QRect place = widget.geometry();
  for (const QObject* child : parent->children()) {
    const auto* group = qobject_cast<const QGroupBox*>(child);
    if (group == nullptr || group == &widget || !group->isVisible()) continue;
    if (place.contains(group->geometry())) continue;  // it holds the group
    const GroupPlaces places = PlacesOf(*group);
    const int air = qobject_cast<const QPushButton*>(&widget) != nullptr ? 2 : 0;
    if (place.intersects(places.frame) &&
        !places.inside.adjusted(air, air, -air, -air).contains(place))
      return true;
    if (place.intersects(places.title)) return true;
  }
  return false;
}

// Where a person clicks the control: its middle, or a check box's box at its left end (the room
// right of its text takes no click). The end-to-end tests click the same point.
QPoint ClickPoint(const QWidget& widget) {
  const bool choice =
      qobject_cast<const QCheckBox*>(&widget) || qobject_cast<const QRadioButton*>(&widget);
  const QRect rect = widget.rect();
  return choice ? QPoint(rect.height() / 2, rect.center().y()) : rect.center();
}

// Whether another widget of the window lies over the control where a click aims at it.
bool IsCovered(const QWidget& widget) {
  const bool control =
      qobject_cast<const QAbstractButton*>(&widget) || qobject_cast<const QLineEdit*>(&widget) ||
      qobject_cast<const QComboBox*>(&widget) || qobject_cast<const QAbstractSlider*>(&widget);
  if (!control) return false;
  const QWidget* window = widget.window();
  const QWidget* at =
      window->childAt(window->mapFromGlobal(widget.mapToGlobal(ClickPoint(widget))));
  return at != &widget && !widget.isAncestorOf(at);
}

// Whether Tab can give the control the keyboard focus.
bool IsTabStop(const QWidget& widget) {
  return widget.isEnabled() && (widget.focusPolicy() & Qt::TabFocus) != 0 &&
         widget.focusProxy() == nullptr;
}

// The nearest named widget that holds this one, so that equal names in different places (a
// page's VID box and the window's) can be told apart.
QString OwnerOf(const QWidget& widget) {
  for (const QWidget* outer = widget.parentWidget(); outer != nullptr;
       outer = outer->parentWidget()) {
    if (!outer->objectName().isEmpty() && !outer->objectName().startsWith(QLatin1String("qt_")))
      return outer->objectName();
    if (outer->isWindow()) break;
  }
  return {};
}

QString Line(const QStringList& fields) {
  return fields.join(u'\t');
}

void DescribeWindow(QWidget& window, double ratio, QStringList& lines) {
  const QString title = Field(window.windowTitle());
  QStringList windowState;
  if (window.isActiveWindow()) windowState << QStringLiteral("active");
  // A window with a title bar narrower than its caption needs.
  const Qt::WindowType type = window.windowType();
  if ((type == Qt::Window || type == Qt::Dialog || type == Qt::Sheet) &&
      window.width() < ui::CaptionWidth(window.windowTitle()))
    windowState << QStringLiteral("caption-cut");
  lines << Line({QStringLiteral("window"), title, Field(window.objectName()),
                 QString::fromLatin1(window.metaObject()->className()),
                 Place(window.geometry(), ratio), QStringLiteral("1"),
                 window.isEnabled() ? QStringLiteral("1") : QStringLiteral("0"),
                 Field(windowState.join(u','))});
  const QList<QWidget*> widgets = window.findChildren<QWidget*>();
  for (QWidget* widget : widgets) {
    if (widget->window() != &window || !widget->isVisible()) continue;
    QStringList state;
    if (widget->hasFocus()) state << QStringLiteral("focus");
    if (IsClipped(*widget)) state << QStringLiteral("clipped");
    if (IsTextCut(*widget)) state << QStringLiteral("cut");
    if (IsCovered(*widget)) state << QStringLiteral("covered");
    if (IsOnGroupFrame(*widget)) state << QStringLiteral("frame");
    if (IsTabStop(*widget)) state << QStringLiteral("tabstop");
    if (const auto* button = qobject_cast<QAbstractButton*>(widget); button && button->isChecked())
      state << QStringLiteral("checked");
    const QString enabled = widget->isEnabled() ? QStringLiteral("1") : QStringLiteral("0");
    lines << Line({QStringLiteral("widget"), title, Field(widget->objectName()),
                   QString::fromLatin1(widget->metaObject()->className()),
                   Place(GlobalRect(*widget, widget->rect()), ratio), QStringLiteral("1"), enabled,
                   Field(state.join(u',')), Field(TextOf(*widget)), Field(OwnerOf(*widget))});
    if (const auto* tabs = qobject_cast<QTabBar*>(widget)) {
      for (int i = 0; i < tabs->count(); ++i)
        lines << Line(
            {QStringLiteral("tab"), title, Field(tabs->objectName()), QString::number(i),
             Place(GlobalRect(*tabs, tabs->tabRect(i)), ratio), QStringLiteral("1"),
             tabs->isTabEnabled(i) && tabs->isEnabled() ? QStringLiteral("1") : QStringLiteral("0"),
             i == tabs->currentIndex() ? QStringLiteral("current") : QStringLiteral("-"),
             Field(tabs->tabText(i))});
    }
    if (const auto* view = qobject_cast<QAbstractItemView*>(widget); view && view->model()) {
      const QAbstractItemModel& model = *view->model();
      const int rows = std::min(model.rowCount(view->rootIndex()), kMostItems);
      for (int row = 0; row < rows; ++row) {
        const QModelIndex index = model.index(row, 0, view->rootIndex());
        const QRect rect = view->visualRect(index);
        if (!rect.isValid()) continue;
        // The part of the item a click reaches; an item scrolled out of the view is hidden and
        // keeps its whole place, which tells which way to scroll.
        const QRect shown = rect.intersected(view->viewport()->rect());
        QStringList state;
        if (index == view->currentIndex()) state << QStringLiteral("current");
        if (shown.height() * 2 < rect.height()) state << QStringLiteral("hidden");
        lines << Line(
            {QStringLiteral("item"), title, Field(view->objectName()), QString::number(row),
             Place(GlobalRect(*view->viewport(), shown.isEmpty() ? rect : shown), ratio),
             QStringLiteral("1"), view->isEnabled() ? QStringLiteral("1") : QStringLiteral("0"),
             Field(state.join(u',')), Field(index.data().toString())});
      }
    }
  }
}

}  // namespace

WidgetProbe::WidgetProbe(QString directory, QObject* parent)
    : QObject(parent), directory_(std::move(directory)) {
  QDir().mkpath(directory_);
  connect(&timer_, &QTimer::timeout, this, &WidgetProbe::Poll);
  timer_.start(kPollMilliseconds);
}

std::unique_ptr<WidgetProbe> WidgetProbe::FromEnvironment() {
  const QString directory = qEnvironmentVariable(kEnvironmentVariable);
  if (directory.isEmpty()) return nullptr;
  return std::make_unique<WidgetProbe>(directory);
}

QString WidgetProbe::Describe() {
  QStringList lines;
  const QScreen* screen = QGuiApplication::primaryScreen();
  const double ratio = screen != nullptr ? screen->devicePixelRatio() : 1.0;
  if (screen != nullptr)
    lines << Line({QStringLiteral("screen"), QStringLiteral("-"), QStringLiteral("-"),
                   QStringLiteral("-"), Place(screen->availableGeometry(), ratio),
                   QString::number(ratio)});
  const QList<QWidget*> windows = QApplication::topLevelWidgets();
  for (QWidget* window : windows)
    if (window->isVisible()) DescribeWindow(*window, ratio, lines);
  return lines.join(u'\n') + u'\n';
}

void WidgetProbe::Poll() {
  const QString text = Describe();
  if (text != written_) WriteDescription(text);
  AnswerGrab();
}

void WidgetProbe::WriteDescription(const QString& text) {
  // Replaced whole, so a reader never sees half a description.
  QSaveFile file(QDir(directory_).filePath(QStringLiteral("widgets.tsv")));
  if (!file.open(QIODevice::WriteOnly)) return;
  file.write(text.toUtf8());
  if (file.commit()) written_ = text;
}

void WidgetProbe::AnswerGrab() {
  QFile request(QDir(directory_).filePath(QStringLiteral("grab")));
  if (!request.exists() || !request.open(QIODevice::ReadOnly)) return;
  const QString target = QString::fromUtf8(request.readAll()).trimmed();
  request.close();
  if (QScreen* screen = QGuiApplication::primaryScreen(); screen != nullptr && !target.isEmpty())
    screen->grabWindow(0).save(target);
  request.remove();
}

}  // namespace veltra::app
