#pragma once

#include <QString>

class QFileDialog;

namespace veltra::ui {

// The width a window needs for the window manager to show its whole caption: the text in a
// title bar's font, usually bold and larger than the windows' own, beside the window's icon and
// up to three buttons, each about as wide as the title bar is high. An estimate: the window
// manager's font and buttons are not known to the application.
int CaptionWidth(const QString& caption);

// Once the file dialog is laid out and before it shows, widens its file list's Size, Type and
// Date columns to what they show, and the dialog with them, within the screen. A native dialog
// is left as it is.
void FitFileColumnsOnShow(QFileDialog& dialog);

}  // namespace veltra::ui
