// Reads the document record (the file author's 80-character lines) straight
// from the file's bytes, without the I/O module: the dictionary is scanned for
// the termination record (999, 0), the first subtype-3 extension record
// (7, 3, 4) and the document record (6, n) behind it. Integers are read in
// the file's byte order, which the header's layout code (2 or 3) tells.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace brindle {

struct FileKey;

// The three scans over the bytes of a file. Offsets are from the file start;
// all scans stay behind the 176-byte header and never read outside `bytes`.
// bigEndian: the file's integers are big-endian.

// Whether the header's layout code reads as 2 or 3 only big-endian; false
// for a little-endian or unreadable header.
bool IsBigEndianFile(std::span<const unsigned char> header);

// The first offset p >= 176 where the integers at p and p + 4 are 999 and 0;
// 0 when there is none.
std::int64_t FindDictionaryEnd(std::span<const unsigned char> bytes, bool bigEndian = false);
// The highest offset p in [177, dictEnd - 12] where the integers at p, p + 4
// and p + 8 are 7, 3 and 4; dictEnd when there is none.
std::int64_t FindDocumentEnd(std::span<const unsigned char> bytes, std::int64_t dictEnd,
                             bool bigEndian = false);
// The highest offset p in [177, docEnd - 4] holding the integer 6. A 6 also at
// p - 4 means the 6 at p is the line count of a six-line document. Returns the
// offset of the first line's first byte and sets lineCount; 0 when none.
std::int64_t FindDocumentStart(std::span<const unsigned char> bytes, std::int64_t docEnd,
                               std::int32_t& lineCount, bool bigEndian = false);

struct DocumentReadResult {
  // Empty on success. Otherwise the message to show ("file open error",
  // "cannot find document", ...); empty with no lines when the file has no
  // termination record (nothing is shown then).
  std::string message;
  bool found = false;
  std::int32_t lineCount = 0;
  std::vector<std::string> lines;  // the raw 80-byte lines, trailing blanks kept
};

// Reads the document of fileName. Only the bytes up to the termination record
// are read, so files of any size work. Never throws for file problems. An
// encrypted file is read as its plaintext with key (the key its open found;
// "file open error" when it does not fit).
DocumentReadResult ReadDocumentRecord(const std::string& fileName, const FileKey* key = nullptr);

// The document window's lines: the count line, an empty line, then the lines
// converted to UTF-8 from `encoding` (the file's, as the I/O module reports
// it; empty: windows-1252).
std::vector<std::string> DocumentWindowLines(const DocumentReadResult& doc,
                                             const std::string& encoding = {});

}  // namespace brindle
