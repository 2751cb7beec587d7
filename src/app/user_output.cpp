#include "app/user_output.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

namespace veltra::app {

namespace {

#ifdef _WIN32
bool HasStream(OutputStream stream) {
  const HANDLE handle =
      ::GetStdHandle(stream == OutputStream::kOutput ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
         ::GetFileType(handle) != FILE_TYPE_UNKNOWN;
}
#endif

}  // namespace

void TellUser(const QString& text, OutputStream stream, OtherwiseTo otherwise) {
#ifdef _WIN32
  if (!HasStream(stream)) {
    const std::wstring wide = text.trimmed().toStdWString();
    if (otherwise == OtherwiseTo::kMessageBox) {
      // As every message of the tool: captioned with its name, no icon.
      ::MessageBoxW(nullptr, wide.c_str(), L"veltra-config", MB_OK);
    } else {
      ::OutputDebugStringW((wide + L"\n").c_str());
    }
    return;
  }
#else
  (void)otherwise;
#endif
  FILE* file = stream == OutputStream::kOutput ? stdout : stderr;
  std::fputs(text.toLocal8Bit().constData(), file);
  std::fflush(file);
}

}  // namespace veltra::app
