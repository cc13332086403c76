// The document of a file (the file author's 80-character lines) as the
// reader parsed it from the dictionary: the lines of every document record,
// in file order, wherever the records stand among the others.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brindle {

struct FileKey;
class SystemFile;

struct DocumentReadResult {
  // Empty on success. Otherwise the message to show ("file open error",
  // "cannot find document", ...).
  std::string message;
  bool found = false;
  std::int32_t lineCount = 0;
  std::vector<std::string> lines;  // the raw 80-byte lines, trailing blanks kept
};

// The document of an open file; "cannot find document" when it has no
// document record.
DocumentReadResult DocumentOf(const SystemFile& file);

// Opens fileName and reads its document. Never throws for file problems:
// "file open error" when the file cannot be opened (or an encrypted one
// with key, the key its open found, does not open), "file corrupt or larger
// than 2 Gb" when its dictionary cannot be read.
DocumentReadResult ReadDocumentRecord(const std::string& fileName, const FileKey* key = nullptr);

// The document window's lines: the count line, an empty line, then the lines
// converted to UTF-8 from `encoding` (the file's, as the I/O module reports
// it; empty: windows-1252).
std::vector<std::string> DocumentWindowLines(const DocumentReadResult& doc,
                                             const std::string& encoding = {});

}  // namespace brindle
