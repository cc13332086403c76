// The decoder of a system file's case data: a pass over the cases that
// decodes only the 8-byte elements it is asked for, from the windows of
// stored bytes CaseBytes hands out. Uncompressed cases have the wanted
// elements picked out; bytecode (stored, or inflated from ZSAV blocks) is
// walked command by command, skipping the literals of elements nobody asked
// for. Asked for every element, it is what spssReadCaseRecord reads
// (CaseCursor), so every pass stops where that does: the same case limit,
// the same end-of-data, truncation and damage codes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "spssio/detail/CaseBytes.h"

namespace brindle {

class BlockFile;
class SavReader;

// The command codes of bytecode compression; codes 1..251 stand for the
// number code - bias.
inline constexpr std::uint8_t kCodePad = 0;
inline constexpr std::uint8_t kCodeEnd = 252;
inline constexpr std::uint8_t kCodeLiteral = 253;
inline constexpr std::uint8_t kCodeSpaces = 254;
inline constexpr std::uint8_t kCodeSysmis = 255;

// The 8 element bytes each command code stands for, in the file's byte order
// when swap is set: numbers for 1..251, blanks for 254, system-missing for
// 255; zero bytes for the codes that stand for no element.
void FillBytecodePatterns(std::uint8_t (&patterns)[256][8], double bias, bool swap);

// A point of the case index: the start of a command group in the case data.
// A pass may begin there without decoding what comes before it.
struct CasePoint {
  std::int64_t offset = 0;  // in the bytecode: as stored, or as inflated from ZSAV blocks
  std::int64_t cases = 0;   // cases complete before the group
  std::size_t element = 0;  // elements of the next case that come before the group
  // The first case that begins at or after the point.
  std::int64_t firstCase() const { return cases + (element ? 1 : 0); }
};

// Points about every `every` cases of a compressed file, found by a full
// pass; valid for the first `cases` cases.
struct CaseIndex {
  std::int64_t every = 0;
  std::vector<CasePoint> points;  // ascending; the first is case 0
  std::int64_t cases = 0;
  bool complete = false;  // the pass reached the end of the data
};

// A stretch of cases a pass can read on its own: [from.firstCase(), end).
struct CaseSegment {
  CasePoint from;
  std::int64_t end = 0;
};

class ColumnScanner {
 public:
  ColumnScanner();
  ~ColumnScanner();
  ColumnScanner(const ColumnScanner&) = delete;
  ColumnScanner& operator=(const ColumnScanner&) = delete;

  // Starts at the first case of reader's data. elements are element indexes
  // within a case (any order, repeats allowed); each must be below the case's
  // element count. Returns an SPSS code (SPSS_OK; SPSS_INVALID_ARGUMENT for an
  // element out of range; the ZSAV header's codes). The reader's own case
  // stream is disturbed: call finish() before using it again.
  // indexEvery > 0: a compressed file without a case index gets one from
  // this pass, kept by the reader once the pass has read its cases soundly.
  int start(SavReader& reader, const std::vector<std::size_t>& elements,
            std::int64_t indexEvery = 0);

  // Starts at a segment of reader's data, reading through file (a file of its
  // own, open on the same data, so that segments can be read on several
  // threads at once). The pass ends with SPSS_FILE_END at segment.end.
  // Reads nothing of reader but its layout; finish() leaves it alone.
  int startSegment(const SavReader& reader, BlockFile& file,
                   const std::vector<std::size_t>& elements, const CaseSegment& segment);

  // Starts over the case data of file, stored as layout says, at its first
  // case or at segment; threads helpers inflate ZSAV blocks ahead.
  int open(BlockFile& file, const CaseLayout& layout, const std::vector<std::size_t>& elements,
           const CaseSegment* segment = nullptr, unsigned threads = 0);

  // Decodes further cases until at least `want` more are complete, the case
  // limit is reached, or the data ends or fails. Returns the number of cases
  // completed (it may exceed want by a few, never the case limit); row(i)
  // holds case i of them. A return below want means status() is not SPSS_OK.
  std::size_t read(std::size_t want);

  // The 8 stored bytes (file byte order) of each asked-for element of case i
  // of the last read(), at 8 * slotOf(element).
  const std::uint8_t* row(std::size_t i) const { return m_rows.data() + i * m_rowBytes; }
  // The slot of an element passed to Start (repeats share a slot).
  std::size_t slotOf(std::size_t element) const;

  // SPSS_OK while data may follow; SPSS_FILE_END at the end of the data (or
  // the case limit); otherwise the damage code spssReadCaseRecord gives.
  int status() const { return m_status; }
  const std::string& error() const { return m_error; }
  // What the ZSAV data header and trailer disagree about (found at the start).
  const std::vector<FileWarning>& dataWarnings() const { return m_bytes.warnings(); }

  // Rewinds the reader's own case stream to the first case, and hands the
  // reader the case index this pass built.
  void finish();

 private:
  int begin(BlockFile& file, const CaseLayout& layout, const std::vector<std::size_t>& elements,
            unsigned threads);
  int startAt(const CaseSegment& segment);
  void notePoint(const std::uint8_t* p);
  void keepIndex(std::int64_t cases);
  bool visit(const std::uint8_t* src);
  bool produceSlow(const std::uint8_t* src);
  bool slowGroup(const std::uint8_t*& p, const std::uint8_t* end);
  bool atCaseStart() const { return m_next == 0 && m_gap == m_visit[0].element; }
  void stop(int code, std::string message);
  void stopAtLimit();
  // The pass stopped at the file's case limit inside the command group at
  // codes, command `next` being the first not used; after is where the next
  // group begins. Notes further data found in the group, or leaves the
  // groups after it for probeBeyond().
  void atLimitIn(const std::uint8_t* codes, int next, const std::uint8_t* after);
  void probeBeyond();
  std::int64_t dataOffset(const std::uint8_t* p) const;
  void settle(int code, std::string message);
  std::size_t readUncompressed(std::size_t want);
  std::size_t readBytecode(std::size_t want);
  // Makes at least a command group's bytes available at m_in..m_inEnd
  // unless the input ends first (then m_lastWindow is set). False on failure.
  bool fillWindow();
  void takeWindow();
  void consumeWindow(const std::uint8_t* p);

  struct VisitPoint {
    std::size_t element;   // element index within a case
    std::ptrdiff_t slot;   // -1: visited only because it ends the case
    std::size_t gapAfter;  // elements skipped before the next visit point
  };

  SavReader* m_reader = nullptr;  // null for a segment
  CaseBytes m_bytes;
  int m_compression = 0;
  std::size_t m_elementCount = 0;
  std::int64_t m_caseLimit = -1;
  std::int64_t m_fileLimit = -1;        // the cases the file promises
  DataBeyondCount* m_beyond = nullptr;  // where further data is noted
  std::int64_t m_probeFrom = -1;        // where probeBeyond() starts; -1 none

  std::vector<std::size_t> m_elements;  // distinct asked-for elements, ascending
  bool m_whole = false;                 // every element of the case
  std::vector<VisitPoint> m_visit;      // asked-for elements plus the case's last element
  std::size_t m_rowBytes = 0;
  std::vector<std::uint8_t> m_rows;
  std::size_t m_done = 0;  // complete cases in m_rows
  std::size_t m_next = 0;  // next visit point
  std::size_t m_gap = 0;   // elements to skip before it

  std::uint8_t m_patterns[256][8];
  const std::uint8_t* m_in = nullptr;  // the bytecode window
  const std::uint8_t* m_inEnd = nullptr;
  bool m_lastWindow = false;

  std::int64_t m_index = 0;
  // The case index under construction (m_indexing), and the case count at
  // which the next point is due.
  bool m_indexing = false;
  CaseIndex m_building;
  std::int64_t m_nextPoint = 0;

  int m_status = 0;
  std::string m_error;
};

// The cases of a file one at a time, every element of each: the cursor
// behind spssReadCaseRecord and the value calls. It decodes a batch of cases
// ahead and hands them out in order, the damage that ends the data after
// the sound cases before it.
class CaseCursor {
 public:
  // file must stay open as long as the cursor is used. Returns an SPSS code;
  // for ZSAV the data header is checked here (SPSS_BAD_DATA when damaged).
  int start(BlockFile* file, const CaseLayout& layout);

  // Back to the first case. Clears a damage condition.
  int rewind();
  // Reads the next case into row(): SPSS_OK, SPSS_FILE_END when the data ends
  // at a case boundary (or the promised count is reached), another code when
  // the data is damaged or cut off inside a case; that code repeats until a
  // rewind.
  int next();
  // Positions before the 0-based case number: SPSS_INVALID_CASE when the data
  // has fewer cases. In compressed data it starts from the nearest point of
  // the case index, if there is one, rather than from the first case.
  int seek(std::int64_t caseNumber);
  // The case index seek() may use (it must outlive the cursor; null: none).
  void useIndex(const CaseIndex* index) { m_caseIndex = index; }

  // The current case's elementCount elements (zeros when there is none).
  const std::uint8_t* row() const { return m_hasRow ? m_decoder.row(m_at - 1) : m_none.data(); }
  // Where and how the case data is stored, for passes that decode it themselves.
  const CaseLayout& layout() const { return m_layout; }
  bool hasRow() const { return m_hasRow; }
  // What start() found wrong with the data's ZSAV header and trailer.
  const std::vector<FileWarning>& warnings() const { return m_decoder.dataWarnings(); }
  // Number of complete cases in an uncompressed data area (-1 otherwise).
  std::int64_t uncompressedCaseCount() const;
  const std::string& error() const { return m_error; }

 private:
  int fail(int code, std::string message);
  int restart(const CaseSegment* segment);

  ColumnScanner m_decoder;
  BlockFile* m_file = nullptr;
  const CaseIndex* m_caseIndex = nullptr;
  CaseLayout m_layout;
  std::vector<std::size_t> m_all;    // every element of a case
  std::vector<std::uint8_t> m_none;  // the row when there is no case
  std::size_t m_batch = 1;
  std::size_t m_at = 0, m_count = 0;  // next and end of the decoded batch
  std::int64_t m_index = 0;           // cases handed out since the start
  bool m_hasRow = false;
  int m_damage = 0;
  std::string m_error;
};

}  // namespace brindle
