// brindle-cli's commands over the core:
//   info FILE, vars FILE, labels FILE VAR, doc FILE,
//   freq FILE VAR [--weight WVAR]; each takes [--no-fixed-format]
//   export data|vars|labels FILE [--out PATH] [--formatted|--labels]: CSV
//   cases FILE [--from N] [--count K] [--vars A,B,...] [--labels|--formatted]:
//   cases as tab-separated lines under a line of names
// Every command takes [--password PW | --password-file F] for an encrypted
// file (F "-": standard input); without one such a file cannot be read, and
// a wrong password is a file error (1).
// Each command writes UTF-8 lines ending in "\n" to `out` and messages to
// `err`, and returns the exit code: 0 success, 1 the file cannot be opened or
// read (for info, freq and export data also: the data ended early; for
// cases: the data is damaged within the cases asked for; what
// the cases read give is still written), 2 a usage error, an unknown variable or a weight variable
// that cannot be found. Output that cannot be written is a failure (1) of
// every command.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "format/FormatValue.h"

namespace brindle::cli {

// args excludes the program name. seps are the locale's number separators.
int RunCli(const std::vector<std::string>& args, const NumberSeparators& seps, std::ostream& out,
           std::ostream& err);

// The separators of the C library's current LC_NUMERIC locale; "." and ","
// where the locale defines no grouping character.
NumberSeparators LocaleSeparators();

std::string UsageText();

// code, once out is flushed; 1 with a message on err when out could not be
// written (a full disk, a closed descriptor). RunCli ends with it.
int CheckedExit(std::ostream& out, std::ostream& err, int code);

}  // namespace brindle::cli
