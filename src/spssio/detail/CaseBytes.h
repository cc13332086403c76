// The stored bytes of a system file's case data, handed out in windows for a
// decoder to walk: the file's own blocks for uncompressed and bytecode data,
// inflated blocks for ZSAV data. ZSAV data is inflated a whole block at a time
// when the trailer's block table describes the blocks soundly, else as one
// stream of zlib streams; a damaged block ends the sound bytes before it and
// is reported once they are used up. No block is inflated much past the size
// the trailer declares: one that gives more is damaged.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "spssio/FileWarning.h"

namespace brindle {

class BlockFile;
class ZsavInflater;
class ZsavBlockInflater;

// Where further cases begin past the ones a compressed file promises: the
// first place a pass found (a file offset in bytecode, an offset in the
// inflated data of ZSAV); -1 while none was found. The passes of one open
// file share it, on whichever threads they run.
struct DataBeyondCount {
  std::atomic<std::int64_t> offset{-1};
  void note(std::int64_t at) {
    std::int64_t none = -1;
    offset.compare_exchange_strong(none, at);
  }
  bool found() const { return offset.load() >= 0; }
};

// Where and how the case data of a file is stored.
struct CaseLayout {
  int compression = 0;  // 0 none, 1 bytecode, 2 ZSAV
  double bias = 100.0;
  bool swap = false;
  std::int64_t dataStart = 0;    // file offset just past the dictionary
  std::size_t elementCount = 0;  // 8-byte elements per case
  std::int64_t caseLimit = -1;   // cases the header promises; -1 unknown
  // Where a pass that stops at caseLimit notes that compressed data goes on
  // (null: nobody asks).
  DataBeyondCount* beyond = nullptr;
  // False: ZSAV blocks are inflated as one stream even when the trailer's
  // block table is sound (so that tests can try both inflaters).
  bool wholeBlocks = true;
  // Bytes of bytecode read ahead at a time (0: the file's block size); tests
  // make it small so that windows meet many joins.
  std::size_t readAheadStretch = 0;
};

class CaseBytes {
 public:
  // A command group and the most literals it can announce.
  static constexpr std::ptrdiff_t kGroupMax = 8 + 8 * 8;

  CaseBytes();
  ~CaseBytes();
  CaseBytes(const CaseBytes&) = delete;
  CaseBytes& operator=(const CaseBytes&) = delete;

  // Positions file at the start of the case data. For ZSAV data the data
  // header is checked and the trailer's block table read; threads helpers
  // inflate blocks ahead (0: on the caller's thread); bytecode is read ahead
  // on another thread when threads is not 0. Returns an SPSS code,
  // with error() saying why when it is not SPSS_OK.
  int open(BlockFile& file, const CaseLayout& layout, unsigned threads);
  // Moves to offset in the stored (bytecode) or inflated (ZSAV) data, which
  // for uncompressed data is a case's. Returns an SPSS code.
  int seek(std::int64_t offset);

  // Makes at least need bytes available in [begin(), end()) unless the data
  // ends first, which last() then tells. False on a read failure. Bytecode
  // read ahead gives at most a command group's bytes (kGroupMax) at a time.
  bool fill(std::size_t need);
  const std::uint8_t* begin() const { return m_in; }
  const std::uint8_t* end() const { return m_inEnd; }
  bool last() const { return m_last; }
  // The bytes before p (within the window) are used.
  void consume(const std::uint8_t* p);

  // The offset of p (within the window) in the stored or inflated data.
  std::int64_t offsetOf(const std::uint8_t* p) const;
  // The file offset of begin(), for data not inflated.
  std::int64_t fileOffset() const;
  // True when a pass may start again at offsets found in this one: not for
  // ZSAV data read as a stream, whose blocks cannot be found again.
  bool seekable() const;

  // Damage met beyond the window (0 when none): what the end of the data
  // reports instead of its end once the sound bytes are used.
  int pendingCode() const { return m_pendingCode; }
  const std::string& pendingText() const { return m_pendingText; }
  // What open() found in the ZSAV data header and trailer that disagrees
  // with the file or the stored blocks (the data is read all the same).
  const std::vector<FileWarning>& warnings() const { return m_warnings; }
  // The failure of open(), seek() or fill().
  int code() const { return m_code; }
  const std::string& error() const { return m_error; }

 private:
  struct Block {
    std::int64_t offset;  // of the compressed bytes in the file
    std::size_t compressed;
    std::size_t inflated;
    std::int64_t at;  // of its first inflated byte in the inflated data
  };

  struct ReadAhead;

  bool fail(int code, std::string message);
  bool fillRaw(std::size_t need);
  bool fillAhead(std::size_t need);
  bool fillFromBlocks();
  bool fillInflated();

  BlockFile* m_file = nullptr;
  CaseLayout m_layout;
  unsigned m_threads = 0;
  std::int64_t m_regionStart = 0;   // first byte of the stored case data or zlib blocks
  std::int64_t m_regionEnd = 0;     // one past the last
  bool m_cutBeforeTrailer = false;  // the file ends before the ZSAV trailer

  const std::uint8_t* m_in = nullptr;  // the window
  const std::uint8_t* m_inEnd = nullptr;
  bool m_last = false;

  std::vector<Block> m_blocks;  // empty: inflate as one stream of streams
  std::size_t m_nextBlock = 0;
  std::unique_ptr<ZsavBlockInflater> m_blockInflater;
  std::vector<std::uint8_t> m_spare;  // the buffer the next block lands in
  std::unique_ptr<ZsavInflater> m_inflater;
  std::vector<std::uint8_t> m_inflated;
  // [pos, end) is the window; [end, heldEnd) came from a zlib block that has
  // not ended yet and is held back until it has.
  std::size_t m_inflatedPos = 0, m_inflatedEnd = 0, m_heldEnd = 0;
  std::int64_t m_inflatedAt = 0;  // offset of m_inflated[0] in the inflated data

  std::uint64_t m_blockLimit = 0;     // the most bytes one ZSAV block may inflate to
  bool m_blockLimitDeclared = false;  // by the trailer
  // A whole pass over bytecode reads the next stretch of the file on another
  // core while the decoder walks the window (null: read when needed).
  std::unique_ptr<ReadAhead> m_ahead;

  std::vector<FileWarning> m_warnings;
  int m_pendingCode = 0;
  std::string m_pendingText;
  int m_code = 0;
  std::string m_error;
};

}  // namespace brindle
