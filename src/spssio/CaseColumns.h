// The values of several variables, case after case, straight from the
// file's blocks: each case is decoded once, numbers are taken as stored and
// strings converted to UTF-8 only when they hold more than ASCII. Like
// CaseSource, the cases split at the file's case index, so that stretches
// of them can be read on several threads at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "spssio/detail/BlockFile.h"
#include "spssio/detail/ColumnScanner.h"

namespace brindle {

class SavReader;
class SystemFile;
class TextConverter;

class CaseColumns {
 public:
  CaseColumns();
  ~CaseColumns();
  CaseColumns(const CaseColumns&) = delete;
  CaseColumns& operator=(const CaseColumns&) = delete;

  // Starts at the first case of the open file, one column per
  // variable of vars (0-based dictionary positions, in the order given).
  // False when a position is out of range.
  bool open(SystemFile& file, const std::vector<int>& vars);

  // Gives a compressed file that has no case index yet one (a point about
  // every `every` cases), by a pass that decodes no value, and starts again
  // at the first case. keepGoing(cases passed) is asked before each further
  // batch;
  // false stops the pass (the index then covers the cases passed). False
  // when stopped so.
  bool buildIndex(std::int64_t every, const std::function<bool(std::int64_t)>& keepGoing);

  // About `parts` segments that together hold every case of the file, the
  // last one open-ended (it reads on to the end of the data, as a pass from
  // the first case would); empty when the file cannot be split (fewer than
  // two cases, a compressed file without a complete case index).
  std::vector<CaseSegment> split(std::size_t parts) const;
  // Reads one segment of whole's file with a file of its own, for a thread
  // of its own. False when the file cannot be opened again or the segment
  // does not start where its point says.
  bool openSegment(const CaseColumns& whole, const CaseSegment& segment);

  // Reads up to about `want` further cases (fewer for wide cases); returns
  // how many are at hand (cases 0..n-1 below). Fewer than want, or none,
  // when status() is no longer SPSS_OK.
  std::size_t read(std::size_t want);
  // SPSS_OK, SPSS_FILE_END, or the code of the damage that stopped reading.
  int status() const { return m_scanner.status(); }
  // What stopped the reading, worded as spssLastErrorText words it.
  std::string error() const;

  // Column c (numeric) of case i.
  double number(std::size_t i, std::size_t c) const;
  // Column c (a string) of case i in UTF-8 without trailing blanks, as the
  // value calls give it (zero bytes read as blanks); valid until the next
  // call.
  std::string_view text(std::size_t i, std::size_t c);

  // Hands the open file's case stream back at its first case (a segment's
  // source leaves the open file alone).
  void close();

 private:
  static constexpr std::size_t kBatchBytes = std::size_t(8) << 20;
  struct Piece {
    std::size_t slot, bytes;
  };
  struct Column {
    int width = 0;         // 0 numeric
    std::size_t slot = 0;  // a number's slot
    std::size_t firstPiece = 0, pieces = 0;
  };
  bool start(const SavReader& reader, const std::vector<int>& vars);

  SystemFile* m_file = nullptr;   // null for a segment
  SavReader* m_reader = nullptr;  // the open file's; null for a segment
  const SavReader* m_layout = nullptr;
  bool m_swap = false;
  std::size_t m_rowBytes = 8;
  std::vector<int> m_vars;
  std::vector<Column> m_columns;
  std::vector<Piece> m_pieces;
  std::vector<std::size_t> m_elements;
  ColumnScanner m_scanner;
  BlockFile m_segmentFile;
  std::unique_ptr<TextConverter> m_converter;  // this source's own, for threads
  std::string m_text;
  std::vector<std::uint8_t> m_gather;
};

}  // namespace brindle
