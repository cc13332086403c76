#include <clocale>
#include <iostream>

#include "cli/CliCommands.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h first: shellapi.h needs its types.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <memory>

namespace {

// The arguments as UTF-8, whatever the system's ANSI code page: file names
// with letters outside it then still open.
std::vector<std::string> Utf8Arguments() {
  int count = 0;
  std::unique_ptr<LPWSTR, decltype(&LocalFree)> wide(CommandLineToArgvW(GetCommandLineW(), &count),
                                                     &LocalFree);
  std::vector<std::string> args;
  for (int i = 1; wide && i < count; ++i) {
    const wchar_t* arg = wide.get()[i];
    const int n = WideCharToMultiByte(CP_UTF8, 0, arg, -1, nullptr, 0, nullptr, nullptr);
    std::string text(std::size_t(n > 0 ? n : 1), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, arg, -1, text.data(), n, nullptr, nullptr);
    text.pop_back();  // the terminating zero
    args.push_back(std::move(text));
  }
  return args;
}

}  // namespace
#endif

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  std::ios::sync_with_stdio(false);
#ifdef _WIN32
  // Output is UTF-8 as everywhere; the console shows it as such. Standard
  // output and input are binary: CSV and TSV lines end in "\n" alone, and
  // the password's line end is the reader's business.
  SetConsoleOutputCP(CP_UTF8);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stdin), _O_BINARY);
  (void)argc;
  (void)argv;
  const std::vector<std::string> args = Utf8Arguments();
#else
  const std::vector<std::string> args(argv + 1, argv + argc);
#endif
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
