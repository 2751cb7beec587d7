#pragma once

#include <QString>

namespace veltra::ui {

// Turns a Windows file-dialog filter ("EERPOM files (*.bin)|*.bin||", pairs of description and
// pattern list separated by '|') into Qt's form ("EERPOM files (*.bin)", one entry per line).
// A description that does not already show its patterns gets them appended in parentheses.
QString QtFileFilter(const QString& windowsFilter);

}  // namespace veltra::ui
