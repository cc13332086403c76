// The cases of one frequency pass: the value of the counted variable and,
// for a weighted pass, the weight, for batches of consecutive cases. Read
// either straight from the file's blocks (ColumnScanner, only the elements
// the pass needs) or case by case through the I/O module's calls; both give
// the same values, the same texts and stop at the same case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "spssio/detail/BlockFile.h"
#include "spssio/detail/ColumnScanner.h"

namespace brindle {

class SavReader;
class SystemFile;

class CaseSource {
 public:
  enum class Start { Ok, NoVariable, NoWeight };

  // Starts at the first case of the open file. weightName null: no
  // weight. A weight variable that does not exist or is not numeric gives
  // NoWeight. viaModule: read case by case, the way spssReadCaseRecord and
  // the value calls read.
  // indexEvery > 0: a compressed file's first pass straight from the file
  // also builds its case index, a point about every indexEvery cases.
  Start open(SystemFile& file, const std::string& varName, const std::string* weightName,
             bool viaModule, std::int64_t indexEvery = 0);

  // About `parts` segments that together hold the first `cases` cases, for
  // passes on several threads at once; empty when the file cannot be split
  // there (a pass through the module, a compressed file whose case index
  // does not yet reach that far).
  std::vector<CaseSegment> split(std::int64_t cases, std::size_t parts) const;
  // Reads one segment of whole's file (opened straight from the file) with a
  // file of its own, so that sources of different segments may read on
  // different threads. A source takes one segment after another this way.
  // False when the file cannot be opened again.
  bool openSegment(const CaseSource& whole, const CaseSegment& segment);

  // Reads up to about `want` further cases; returns how many are at hand
  // (indexes 0..n-1 below). Batches of wide values are kept to a few
  // megabytes, so fewer than want may come while status() is SPSS_OK; none
  // or fewer otherwise: status() says why.
  std::size_t read(std::size_t want);
  // SPSS_OK, SPSS_FILE_END, or the code of the damage that stopped reading.
  int status() const;
  std::string error() const;

  double number(std::size_t i) const;
  double weight(std::size_t i) const;
  // A string value's stored form, storedWidth() bytes.
  const std::uint8_t* stored(std::size_t i);
  std::size_t storedWidth() const { return m_viaModule ? m_moduleBuffer : m_storedWidth; }
  // The table key of a stored form: the whole value in UTF-8, up to the first
  // NUL, without trailing blanks and control characters. Not for a segment's
  // source: the whole file's source converts what the segments counted.
  std::string text(std::string_view stored) const;

  // Back to the first case (the I/O module's stream included); a segment's
  // source leaves the open file alone.
  void close();

 private:
  // The cases of one batch take at most about this many bytes.
  static constexpr std::size_t kBatchBytes = std::size_t(8) << 20;
  double element(std::size_t i, std::size_t slot) const;

  SystemFile* m_file = nullptr;  // null for a segment
  SavReader* m_reader = nullptr;
  bool m_viaModule = false;
  int m_width = 0;  // 0 numeric
  std::size_t m_storedWidth = 0;
  std::size_t m_caseBytes = 8;     // what one case of a batch takes
  std::size_t m_moduleBuffer = 0;  // a string value's UTF-8 text with its NUL
  bool m_weighted = false;
  bool m_swap = false;

  // Straight from the file.
  ColumnScanner m_scanner;
  std::vector<std::size_t> m_elements;
  BlockFile m_segmentFile;  // a segment's own
  std::size_t m_valueSlot = 0, m_weightSlot = 0;
  struct Piece {
    std::size_t slot, bytes;
  };
  std::vector<Piece> m_pieces;  // where a string's bytes lie in a row
  std::vector<std::uint8_t> m_gather;

  // Through the module.
  std::size_t m_varIndex = 0, m_weightIndex = 0;
  std::vector<double> m_values, m_weights;
  std::vector<std::uint8_t> m_texts;
  int m_moduleStatus = 0;
  std::string m_moduleError;
};

// About `parts` segments that together hold the first `cases` cases of
// reader's data; empty when it cannot be split there (see CaseSource::split).
std::vector<CaseSegment> SplitCases(const SavReader& reader, std::int64_t cases, std::size_t parts);

// Counts the cases of the open file straight from its blocks,
// decoding no value, and builds a compressed file's case index on the way
// (a point about every indexEvery cases). *code: SPSS_FILE_END when the data
// ended soundly, else the code that stopped it, as spssReadCaseRecord gives
// it at the same case. The module's case stream is back at the first case.
std::int64_t CountStoredCases(SystemFile& file, int* code, std::int64_t indexEvery = 4096);

}  // namespace brindle
