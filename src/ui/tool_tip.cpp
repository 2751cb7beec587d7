#include "ui/tool_tip.h"

#include <QStringList>

namespace veltra::ui {

QString WrappedToolTip(const QString& text) {
  QString html;
  for (const QString& paragraph : text.split(QStringLiteral("\n\n")))
    html += QStringLiteral("<p>%1</p>").arg(paragraph.toHtmlEscaped());
  return html;
}

}  // namespace veltra::ui
