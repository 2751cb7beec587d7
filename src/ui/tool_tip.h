#pragma once

#include <QString>

namespace veltra::ui {

// A tool tip of several sentences, as rich text, which the toolkit wraps at a readable width; a
// plain-text tip runs to one line as long as its longest paragraph. Paragraphs are separated by
// blank lines ("\n\n").
QString WrappedToolTip(const QString& text);

}  // namespace veltra::ui
