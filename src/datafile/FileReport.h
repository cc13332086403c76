// Texts about the open file: the file properties report and the messages for
// a file that cannot be opened.
#pragma once

#include <cstdint>
#include <string>

#include "datafile/DataFileState.h"

namespace brindle {

// The file properties report. systemString and caseSize are what the I/O
// module reports for the file; tabs line the values up in the message box.
// The file's warnings, when it has any, end the report after an empty line
// and a heading, one line each.
std::string FileInfoReport(const DataFileState& file, const std::string& systemString,
                           std::int64_t caseSize);

// The character encoding as the report names it: the encoding record's name
// when there is one, else the code page ("windows-1252 (code page 1252)"),
// else "not declared (read as windows-1252)".
std::string EncodingText(const std::string& declaredName, int codePage);

// The "File open error" text for a failed spssOpenRead with this code. A
// damaged file's text ends with detail (the module's last error text: which
// record, at which byte offset).
std::string OpenErrorText(int code, const std::string& fileName, const std::string& detail = {});

}  // namespace brindle
