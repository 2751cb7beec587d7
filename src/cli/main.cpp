#include <iostream>
#include <string>
#include <vector>

#include "cli/dispatch.h"

int main(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i)
    args.emplace_back(argv[i]);
  return veltra::cli::RunCli(args, std::cout, std::cerr);
}
