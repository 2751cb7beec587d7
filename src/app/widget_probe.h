#pragma once

#include <memory>

#include <QObject>
#include <QString>
#include <QTimer>

namespace veltra::app {

// For end-to-end tests that drive the tool from outside with real input events: when the
// environment names a folder in VELTRA_PROBE_DIR, the tool keeps there a description of its
// visible windows and controls with their places on the screen (widgets.tsv), and saves a
// picture of the whole screen when a file named "grab" asks for one. Nothing happens otherwise.
//
// widgets.tsv, one line each, tab-separated:
//   screen  -       -           -      x y w h   (available area)  dpr
//   window  TITLE   objectName  class  x y w h   visible enabled   active
//   widget  TITLE   objectName  class  x y w h   visible enabled   state   text  owner
//   tab     TITLE   tab bar     index  x y w h   1       enabled   current text
//   item    TITLE   view        row    x y w h   1       enabled   state   text
// Places are in the screen's device pixels, as input events take them; an item's place is the
// part of it a click reaches. State lists flags (focus, checked, clipped: partly outside a
// widget that holds it, cut: a label's or check box's text needs more room than it has, covered:
// another widget lies where a click aims at the control, frame: it lies on a frame line or the
// title of a group box beside it, tabstop: Tab can give it the focus, current, active,
// caption-cut: a window narrower than its caption needs in a title bar, hidden: an item
// scrolled out of its view); owner is the nearest named widget that holds the control; a
// progress bar's text is "VALUE/MAXIMUM" and what it shows; "-" stands for an empty field.
class WidgetProbe final : public QObject {
  Q_OBJECT

 public:
  static constexpr char kEnvironmentVariable[] = "VELTRA_PROBE_DIR";

  explicit WidgetProbe(QString directory, QObject* parent = nullptr);
  // A probe when the environment asks for one, else nullptr.
  static std::unique_ptr<WidgetProbe> FromEnvironment();

  // The description as it stands now.
  static QString Describe();

 private:
  void Poll();
  void WriteDescription(const QString& text);
  void AnswerGrab();

  QString directory_;
  QString written_;
  QTimer timer_;
};

}  // namespace veltra::app
