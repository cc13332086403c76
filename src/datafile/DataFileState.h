// The state of the one open data file, as the main window keeps it.
#pragma once

#include <cstdint>
#include <string>

namespace brindle {

struct DataFileState {
  int FileHandle = -1;            // the I/O module's handle; -1 when no file is open
  std::string FileName;           // as the caller passed it or the user chose it
  int NumVars = 0;
  std::int64_t NumCases = -1;     // -1 when unknown; an estimate (the cases that can be read) when CaseCountEstimated
  bool CaseCountEstimated = false;
  int Compression = 0;            // 1 = compressed (bytecode or zlib)
  int HasDocument = 0;
  std::string FileDate;           // "dd mmm yy"
  std::string FileTime;           // "hh:mm:ss"
  std::string WeightVarName;      // the file's own weight variable; empty when none
  bool FileReleased = false;
};

}  // namespace brindle
