// A pass over the cases of an open system file that decodes only the 8-byte
// elements it is asked for, straight from the file's blocks: uncompressed
// data is read in large blocks and the wanted elements picked out of each
// case; bytecode data still walks every command byte but skips the literals
// of elements nobody asked for; ZSAV data is inflated block by block and
// then walked the same way.
//
// The values and the stopping points are those spssReadCaseRecord and the
// value calls give for the same file: the same elements, the same case
// limit, the same end-of-data, truncation and damage codes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace brindle {

class BlockFile;
class SavReader;
class ZsavInflater;
class ZsavBlockInflater;

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

  // Rewinds the reader's own case stream to the first case, and hands the
  // reader the case index this pass built.
  void finish();

 private:
  int begin(const SavReader& reader, BlockFile& file, const std::vector<std::size_t>& elements);
  void notePoint(const std::uint8_t* p);
  void keepIndex(std::int64_t cases);
  bool visit(const std::uint8_t* src);
  bool produceSlow(const std::uint8_t* src);
  bool slowGroup(const std::uint8_t*& p, const std::uint8_t* end);
  bool atCaseStart() const { return m_next == 0 && m_gap == m_visit[0].element; }
  void stop(int code, std::string message);
  std::size_t readUncompressed(std::size_t want);
  std::size_t readBytecode(std::size_t want);
  // Makes at least kGroupMax bytes of bytecode available at m_in..m_inEnd
  // unless the input ends first (then m_lastWindow is set). False on failure.
  bool fillWindow();
  bool fillInflated();
  // ZSAV with a sound block table: whole blocks inflated at once.
  bool readBlockTable(std::int64_t regionStart, std::int64_t trailerOffset,
                      std::int64_t trailerLength);
  bool fillFromBlocks();
  void consumeWindow(const std::uint8_t* p);

  struct VisitPoint {
    std::size_t element;   // element index within a case
    std::ptrdiff_t slot;   // -1: visited only because it ends the case
    std::size_t gapAfter;  // elements skipped before the next visit point
  };

  SavReader* m_reader = nullptr;  // null for a segment
  BlockFile* m_file = nullptr;
  std::int64_t m_dataStart = 0;
  int m_compression = 0;
  bool m_swap = false;
  std::size_t m_elementCount = 0;
  std::int64_t m_caseLimit = -1;
  std::int64_t m_regionEnd = 0;

  std::vector<std::size_t> m_elements;  // distinct asked-for elements, ascending
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

  struct ZsavBlock {
    std::int64_t offset;  // of the compressed bytes in the file
    std::size_t compressed;
    std::size_t inflated;
    std::int64_t at;  // of its first inflated byte in the inflated data
  };
  std::vector<ZsavBlock> m_blocks;  // empty: inflate as one stream of streams
  std::size_t m_nextBlock = 0;
  std::unique_ptr<ZsavBlockInflater> m_blockInflater;
  std::vector<std::uint8_t> m_spare;  // the buffer the next block lands in
  unsigned m_inflateThreads = 0;      // helpers inflating blocks ahead
  std::unique_ptr<ZsavInflater> m_inflater;
  std::vector<std::uint8_t> m_inflated;
  // [pos, end) is the window; [end, heldEnd) came from a zlib block that has
  // not ended yet and is held back until it has.
  std::size_t m_inflatedPos = 0, m_inflatedEnd = 0, m_heldEnd = 0;
  std::int64_t m_inflatedAt = 0;    // offset of m_inflated[0] in the inflated data
  bool m_cutBeforeTrailer = false;  // the file ends before the ZSAV trailer

  std::int64_t m_index = 0;
  // The case index under construction (m_indexing), and the case count at
  // which the next point is due.
  bool m_indexing = false;
  CaseIndex m_building;
  std::int64_t m_nextPoint = 0;
  void defer(int code, std::string message);

  int m_status = 0;
  std::string m_error;
  // A damaged zlib block: the window holds what came before it, and the end
  // of that window reports the damage instead of the end of the data.
  int m_pendingCode = 0;
  std::string m_pendingText;
};

}  // namespace brindle
