// One stretch of a column pass: a decoder over the file's cases from the
// first case (the open file's own stream) or from a segment (a file of its
// own, so that segments can be read on several threads), turning the decoded
// rows into batches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "spssio/ColumnPass.h"
#include "spssio/detail/BlockFile.h"
#include "spssio/detail/ColumnScanner.h"

namespace brindle {

class ColumnLayout;
class SavReader;

class ColumnReader {
 public:
  // Cases [range.first, range.end) through reader's own stream, starting at
  // the nearest point before range.first that the reader knows. A pass from
  // the first case builds the case index (a point about every indexEvery
  // cases) when the file has no complete one. Returns an SPSS code.
  int startWhole(SavReader& reader, const ColumnLayout& layout, CaseRange range,
                 std::int64_t indexEvery);
  // A segment through a file of its own (opened once, kept for the next
  // segment); cases before range.first are dropped. Reads nothing of reader
  // but its layout. False when the file cannot be opened again.
  int startSegment(const SavReader& reader, const ColumnLayout& layout, const CaseSegment& segment,
                   std::int64_t first = 0);

  // Fills batch with up to `want` further cases (fewer for wide cases);
  // returns how many. None when the stretch has ended: status() says how.
  std::size_t next(CaseBatch& batch, std::size_t want);
  // SPSS_OK while cases may follow, SPSS_FILE_END at the stretch's or the
  // data's end, else the damage code.
  int status() const;
  const std::string& error() const { return m_code ? m_noFile : m_scanner.error(); }
  // Cases handed out so far.
  std::int64_t delivered() const { return m_delivered; }

  // Hands the open file's stream back at its first case, with the index this
  // pass built (a segment's reader leaves the open file alone).
  void finish();

 private:
  // Batches of wide cases are kept to about this many bytes.
  static constexpr std::size_t kBatchBytes = std::size_t(8) << 20;

  ColumnScanner m_scanner;
  BlockFile m_own;
  SavReader* m_reader = nullptr;  // the open file's, for a whole pass
  const ColumnLayout* m_layout = nullptr;
  std::int64_t m_at = 0;     // the number of the next case the decoder gives
  std::int64_t m_first = 0;  // cases before this one are dropped
  std::int64_t m_end = 0;
  std::int64_t m_delivered = 0;
  bool m_ended = false;
  int m_code = 0;  // SPSS_FILE_RERROR when a segment's file cannot be opened
  const std::string m_noFile = "the file could not be opened again";
};

}  // namespace brindle
