#pragma once

#include <QString>

namespace veltra::app {

enum class OutputStream { kOutput, kError };
// Where the text goes when the program has no stream to write it to: a Windows window program
// started from the desktop has none.
enum class OtherwiseTo { kMessageBox, kDebugger };

// Text for the person who started the program, on its standard output or error. A Windows
// program without that stream shows it in a message box (help, version, a wrong command line) or
// sends it to the debugger output (the lines of an unattended run, which no box may hold up).
void TellUser(const QString& text, OutputStream stream, OtherwiseTo otherwise);

}  // namespace veltra::app
