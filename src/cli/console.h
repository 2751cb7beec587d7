#pragma once

#include <istream>

namespace veltra::cli {

// What a command may know of the terminal it runs at: where answers to a prompt come from, and
// whether a person is there to see prompts and progress.
struct Console {
  std::istream* in = nullptr;
  bool inputIsTerminal = false;
  bool errorIsTerminal = false;
};

// The process's own: standard input, and isatty of standard input and standard error.
const Console& CurrentConsole();

// Replaces the console for one scope (tests).
class ScopedConsole {
 public:
  explicit ScopedConsole(const Console& console);
  ~ScopedConsole();
  ScopedConsole(const ScopedConsole&) = delete;
  ScopedConsole& operator=(const ScopedConsole&) = delete;

 private:
  const Console* previous_;
  Console console_;
};

}  // namespace veltra::cli
