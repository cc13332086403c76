// A fault the reader met in a file that it could still read, and what it did
// about it ("ignored", "used F8.2", "kept the last label"). The reader keeps
// them in the order met while it opens a file.
#pragma once

#include <cstdint>
#include <string>

namespace brindle {

struct FileWarning {
  int record = 0;            // record type: 1 header, 2 variable, 3/4 value labels,
                             // 6 document, 7 extension, 999 end; 0 the case data
  int subtype = 0;           // an extension record's subtype; 0 otherwise
  std::int64_t offset = -1;  // where the record starts in the file; -1 when no one place
  std::string text;          // what was wrong and what the reader did, plain words, UTF-8
};

// One line for a user: "record 7 subtype 21 at offset 1234: <text>",
// "case data: <text>" for the data, without the offset when there is none.
std::string WarningLine(const FileWarning& w);

}  // namespace brindle
