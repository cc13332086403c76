#include <clocale>
#include <iostream>

#include "cli/CliCommands.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + 1, argv + argc);
  return brindle::cli::RunCli(args, brindle::cli::LocaleSeparators(), std::cout, std::cerr);
}
