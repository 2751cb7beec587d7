#include <iostream>
#include <string>
#include <vector>

#include "cli/dispatch.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include "platform/windows_api.h"
#include "platform/windows_text.h"

#include <shellapi.h>
#endif

int main(int argc, char** argv) {
  std::vector<std::string> args;
#ifdef _WIN32
  (void)argc;
  (void)argv;
  // argv is in the ANSI code page; file names and strings are taken as UTF-8 throughout.
  int count = 0;
  if (wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
    for (int i = 1; i < count; ++i)
      args.push_back(veltra::platform::Utf8FromWide(wide[i]));
    ::LocalFree(wide);
  }
  // Text mode would turn every 0x0A of a dump to standard output into 0x0D 0x0A.
  ::_setmode(::_fileno(stdout), _O_BINARY);
  ::_setmode(::_fileno(stderr), _O_BINARY);
  ::SetConsoleOutputCP(CP_UTF8);
#else
  for (int i = 1; i < argc; ++i)
    args.emplace_back(argv[i]);
#endif
  return veltra::cli::RunCli(args, std::cout, std::cerr);
}
