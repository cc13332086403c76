// The state of the one open data file, as the main window keeps it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace brindle {

struct FileKey;
class SystemFile;

// What the file system says about a file: enough to notice a rewrite that
// keeps the file's own time stamp, or comes within the same second.
struct FileIdentity {
  bool known = false;  // false when the file could not be examined
  std::int64_t size = 0;
  std::int64_t modified = 0;  // modification time in the file system's ticks
  bool operator==(const FileIdentity&) const = default;
};

struct DataFileState {
  // The open file itself, which everything reads through. Null when no file
  // is open and while the file is released.
  std::shared_ptr<SystemFile> File;
  // A file is open: held (File), or released and to be taken back.
  bool FileOpen() const { return File != nullptr || FileReleased; }
  std::string FileName;  // as the caller passed it or the user chose it
  int NumVars = 0;
  std::int64_t NumCases =
      -1;  // -1 when unknown; an estimate (the cases that can be read) when CaseCountEstimated
  bool CaseCountEstimated = false;
  int Compression = 0;  // 1 = compressed (bytecode or zlib)
  int HasDocument = 0;
  std::string FileDate;       // "dd mmm yy"
  std::string FileTime;       // "hh:mm:ss"
  std::string WeightVarName;  // the file's own weight variable; empty when none
  bool FileReleased = false;
  FileIdentity OpenedIdentity;  // size and modification time when it was opened
  // Taking the released file back found it changed or gone: the screen no
  // longer shows what the handle holds, and nothing may read through it
  // until the file is closed or loaded afresh.
  bool FileStale = false;
  // The key of an encrypted file (never its password), for reopening it
  // after a release; null for a file that is not encrypted.
  std::shared_ptr<const FileKey> Key;
};

}  // namespace brindle
