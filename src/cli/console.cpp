#include "cli/console.h"

#include <unistd.h>

#include <iostream>

namespace veltra::cli {
namespace {

const Console* replacement = nullptr;

}  // namespace

const Console& CurrentConsole() {
  if (replacement != nullptr) return *replacement;
  static const Console process{&std::cin, ::isatty(STDIN_FILENO) == 1,
                               ::isatty(STDERR_FILENO) == 1};
  return process;
}

ScopedConsole::ScopedConsole(const Console& console) : previous_(replacement), console_(console) {
  replacement = &console_;
}

ScopedConsole::~ScopedConsole() {
  replacement = previous_;
}

}  // namespace veltra::cli
