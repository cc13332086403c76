#include <clocale>
#include <iostream>

#include "cli/CliCommands.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << brindle::cli::UsageText();
    return brindle::cli::CheckedExit(std::cout, std::cerr, 0);
  }
  if (args.size() == 1 && args[0] == "--version") {
    std::cout << "brindle-cli " << BRINDLE_VERSION << "\n";
    return brindle::cli::CheckedExit(std::cout, std::cerr, 0);
  }
  return brindle::cli::RunCli(args, brindle::cli::LocaleSeparators(), std::cout, std::cerr);
}
