#include "ui/file_filter.h"

#include <QStringList>

namespace veltra::ui {

QString QtFileFilter(const QString& windowsFilter) {
  const QStringList parts = windowsFilter.split(u'|');
  QStringList entries;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString description = parts[i].trimmed();
    QString patterns = parts[i + 1].trimmed();
    if (description.isEmpty() && patterns.isEmpty()) break;  // the closing "||"
    patterns.replace(u';', u' ');
    if (description.contains(u'(')) {
      entries << description;
    } else if (description.isEmpty()) {
      entries << QStringLiteral("(%1)").arg(patterns);
    } else {
      entries << QStringLiteral("%1 (%2)").arg(description, patterns);
    }
  }
  return entries.join(QStringLiteral(";;"));
}

}  // namespace veltra::ui
