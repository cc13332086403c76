#include "spssio/detail/ColumnScanner.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cstring>

#include "spssio/SpssioCodes.h"
#include "spssio/detail/BlockFile.h"
#include "spssio/detail/ByteCursor.h"
#include "spssio/detail/BytecodeDecoder.h"
#include "spssio/detail/SavReader.h"
#include "spssio/detail/ZsavInflater.h"

#include <thread>

namespace brindle {
namespace {

// A command group and the most literals it can announce.
constexpr std::ptrdiff_t kGroupMax = 8 + 8 * 8;
constexpr std::size_t kInflateBlock = std::size_t(4) << 20;
constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;

// 0x80 in every byte of x that equals b, 0 elsewhere (exact, no carries
// between bytes).
inline std::uint64_t BytesEqual(std::uint64_t x, std::uint8_t b) {
  const std::uint64_t y = x ^ (kOnes * b);
  return ~(((y & kLow7) + kLow7) | y | kLow7);
}

// The number of bytes marked 0x80 in a BytesEqual result: the marks moved to
// bit 0 of their bytes are summed into the top byte by one multiplication
// (no popcount instruction needed on baseline x86-64).
inline unsigned MarkCount(std::uint64_t marks) { return unsigned(((marks >> 7) * kOnes) >> 56); }

}  // namespace

ColumnScanner::ColumnScanner() = default;
ColumnScanner::~ColumnScanner() = default;

void ColumnScanner::stop(int code, std::string message) {
  if ((code == SPSS_FILE_END || code == SPSS_FILE_TRUNCATED) && m_pendingCode) {
    code = m_pendingCode;
    message = m_pendingText;
  }
  m_status = code;
  m_error = std::move(message);
  if (code == SPSS_FILE_END && m_indexing) {
    m_building.complete = true;
    keepIndex(m_index + std::int64_t(m_done));
  }
}

void ColumnScanner::defer(int code, std::string message) {
  m_pendingCode = code;
  m_pendingText = std::move(message);
}

std::size_t ColumnScanner::slotOf(std::size_t element) const {
  return std::size_t(std::lower_bound(m_elements.begin(), m_elements.end(), element) -
                     m_elements.begin());
}

int ColumnScanner::begin(const SavReader& reader, BlockFile& file,
                         const std::vector<std::size_t>& elements) {
  const SavCaseStream::Layout& layout = reader.cases().layout();
  m_file = &file;
  m_dataStart = layout.dataStart;
  m_indexing = false;
  m_blockInflater.reset();
  m_inflateThreads = 0;
  m_pendingCode = 0;
  m_pendingText.clear();
  m_compression = layout.compression;
  m_swap = layout.swap;
  m_elementCount = layout.elementCount;
  m_caseLimit = layout.caseLimit;
  m_index = 0;
  m_done = 0;
  m_status = SPSS_OK;
  m_error.clear();
  m_inflater.reset();
  m_in = m_inEnd = nullptr;
  m_lastWindow = false;
  for (std::size_t e : elements)
    if (e >= m_elementCount) {
      stop(SPSS_INVALID_ARGUMENT, "element outside the case");
      return m_status;
    }
  m_elements = elements;
  std::sort(m_elements.begin(), m_elements.end());
  m_elements.erase(std::unique(m_elements.begin(), m_elements.end()), m_elements.end());
  m_rowBytes = 8 * m_elements.size();
  m_rows.assign(std::max<std::size_t>(m_rowBytes, 8), 0);
  if (m_elementCount == 0) {
    stop(SPSS_FILE_END, "");
    return SPSS_OK;
  }

  // Visit points: every asked-for element, and the case's last element,
  // whose arrival completes the case.
  m_visit.clear();
  for (std::size_t i = 0; i < m_elements.size(); ++i)
    m_visit.push_back({m_elements[i], std::ptrdiff_t(i), 0});
  if (m_visit.empty() || m_visit.back().element != m_elementCount - 1)
    m_visit.push_back({m_elementCount - 1, -1, 0});
  for (std::size_t k = 0; k + 1 < m_visit.size(); ++k)
    m_visit[k].gapAfter = m_visit[k + 1].element - m_visit[k].element - 1;
  m_visit.back().gapAfter = m_visit.front().element;
  m_next = 0;
  m_gap = m_visit.front().element;

  FillBytecodePatterns(m_patterns, layout.bias, m_swap);

  BlockFile& f = file;
  m_regionEnd = f.size();
  if (!f.seek(layout.dataStart)) {
    stop(SPSS_FILE_RERROR,
         "cannot position at the case data (offset " + std::to_string(layout.dataStart) + ")");
    return m_status;
  }
  if (m_compression == 2) {
    if (!f.ensure(24)) {
      stop(SPSS_FILE_TRUNCATED, "ZLIB data header at offset " + std::to_string(layout.dataStart) +
                                    ": the file ends inside it");
      return m_status;
    }
    ByteCursor c(f.data(), 24, m_swap, layout.dataStart);
    std::int64_t headerOffset = 0, trailerOffset = 0, trailerLength = 0;
    c.readI64(headerOffset);
    c.readI64(trailerOffset);
    c.readI64(trailerLength);
    if (trailerOffset < layout.dataStart + 24) {
      stop(SPSS_BAD_DATA, "ZLIB data header at offset " + std::to_string(layout.dataStart) +
                              ": trailer offset " + std::to_string(trailerOffset) +
                              " lies outside the file");
      return m_status;
    }
    m_cutBeforeTrailer = trailerOffset > f.size();
    m_regionEnd = m_cutBeforeTrailer ? f.size() : trailerOffset;
    m_inflatedPos = m_inflatedEnd = m_heldEnd = 0;
    m_inflatedAt = 0;
    m_blocks.clear();
    m_nextBlock = 0;
    std::size_t largest = kInflateBlock;
    if (readBlockTable(layout.dataStart + 24, trailerOffset, trailerLength)) {
      for (const ZsavBlock& b : m_blocks)
        largest = std::max(largest, b.inflated + std::size_t(kGroupMax));
    } else {
      m_blocks.clear();
      m_inflater = std::make_unique<ZsavInflater>();
    }
    if (m_inflated.size() != largest) m_inflated.assign(largest, 0);
    if (!f.seek(layout.dataStart + 24)) {
      stop(SPSS_FILE_RERROR, "cannot position at the ZLIB data");
      return m_status;
    }
  }
  return SPSS_OK;
}

int ColumnScanner::start(SavReader& reader, const std::vector<std::size_t>& elements,
                         std::int64_t indexEvery) {
  m_reader = &reader;
  const int rc = begin(reader, reader.file(), elements);
  // A whole pass inflates ZSAV blocks ahead on every core.
  m_inflateThreads = std::max(1u, std::thread::hardware_concurrency());
  const CaseIndex* index = reader.caseIndex();
  if (rc == SPSS_OK && m_status == SPSS_OK && indexEvery > 0 && m_compression != 0 &&
      !(index && index->complete)) {
    m_indexing = true;
    m_building = CaseIndex{indexEvery, {}, 0, false};
    m_nextPoint = 0;
  }
  return rc;
}

int ColumnScanner::startSegment(const SavReader& reader, BlockFile& file,
                                const std::vector<std::size_t>& elements,
                                const CaseSegment& segment) {
  m_reader = nullptr;
  const int rc = begin(reader, file, elements);
  if (rc != SPSS_OK || m_status != SPSS_OK) return rc;
  const CasePoint& from = segment.from;
  const std::string where = "case index point at offset " + std::to_string(from.offset);
  if (m_compression == 0) {
    if (from.element != 0 ||
        !file.seek(m_dataStart + from.cases * std::int64_t(m_elementCount * 8)))
      stop(SPSS_INVALID_ARGUMENT, where + ": not a case of the data");
  } else if (m_compression == 1) {
    if (!file.seek(m_dataStart + from.offset))
      stop(SPSS_INVALID_ARGUMENT, where + ": outside the data");
  } else {
    // The block that holds the point, inflated whole; decoding starts inside it.
    auto after = std::upper_bound(m_blocks.begin(), m_blocks.end(), from.offset,
                                  [](std::int64_t at, const ZsavBlock& b) { return at < b.at; });
    if (m_blocks.empty() || after == m_blocks.begin()) {
      stop(SPSS_INVALID_ARGUMENT, where + ": no block holds it");
      return m_status;
    }
    const ZsavBlock& b = *(after - 1);
    m_nextBlock = std::size_t(after - 1 - m_blocks.begin());
    if (!file.seek(b.offset)) {
      stop(SPSS_FILE_RERROR, "cannot position at offset " + std::to_string(b.offset));
      return m_status;
    }
    if (!fillFromBlocks()) return m_status;
    const std::size_t skip = std::size_t(from.offset - b.at);
    if (m_inflatedPos + skip > m_inflatedEnd) {
      stop(SPSS_INVALID_ARGUMENT, where + ": past its block");
      return m_status;
    }
    m_in += skip;
    m_inflatedPos += skip;
  }
  if (m_status != SPSS_OK) return m_status;
  m_index = from.firstCase();
  m_gap = m_visit.front().element + (from.element ? m_elementCount - from.element : 0);
  m_caseLimit = m_caseLimit >= 0 ? std::min(m_caseLimit, segment.end) : segment.end;
  return SPSS_OK;
}

void ColumnScanner::notePoint(const std::uint8_t* p) {
  const std::int64_t offset = m_compression == 2 ? m_inflatedAt + (p - m_inflated.data())
                                                 : m_file->tell() + (p - m_in) - m_dataStart;
  const std::int64_t cases = m_index + std::int64_t(m_done);
  m_building.points.push_back({offset, cases, m_visit[m_next].element - m_gap});
  m_nextPoint = (cases / m_building.every + 1) * m_building.every;
}

void ColumnScanner::keepIndex(std::int64_t cases) {
  // An index is only worth keeping over sound data whose blocks can be
  // found again: a ZSAV file read as a stream has no points to start from.
  if (!m_indexing || !m_reader || m_pendingCode || (m_compression == 2 && m_blocks.empty())) return;
  m_indexing = false;
  auto& points = m_building.points;
  while (!points.empty() && points.back().firstCase() > cases) points.pop_back();
  m_building.cases = cases;
  m_reader->keepCaseIndex(std::move(m_building));
}

void ColumnScanner::finish() {
  if (m_status == SPSS_OK) keepIndex(m_index);
  m_blockInflater.reset();
  if (m_reader) m_reader->cases().rewind();
}

std::size_t ColumnScanner::read(std::size_t want) {
  // The case begun in the last call continues in the first row.
  if (m_done > 0) {
    if (m_rowBytes) std::memmove(m_rows.data(), m_rows.data() + m_done * m_rowBytes, m_rowBytes);
    m_done = 0;
  }
  if (m_status != SPSS_OK || want == 0) return 0;
  // A command group completes at most eight cases past the one that reached
  // want, and the case after them may be half decoded.
  const std::size_t rows = want + 9;
  if (m_rows.size() < rows * m_rowBytes) m_rows.resize(rows * m_rowBytes);
  if (m_caseLimit >= 0 && m_index >= m_caseLimit) {
    stop(SPSS_FILE_END, "");
    return 0;
  }
  if (m_compression == 0)
    readUncompressed(want);
  else
    readBytecode(want);
  m_index += std::int64_t(m_done);
  return m_done;
}

std::size_t ColumnScanner::readUncompressed(std::size_t want) {
  BlockFile& f = *m_file;
  const std::size_t caseBytes = m_elementCount * 8;
  while (m_done < want) {
    const std::int64_t left = m_regionEnd - f.tell();
    if (left <= 0) {
      stop(SPSS_FILE_END, "");
      break;
    }
    const std::int64_t caseNo = m_index + std::int64_t(m_done) + 1;
    if (left < std::int64_t(caseBytes)) {
      stop(SPSS_FILE_TRUNCATED, "case " + std::to_string(caseNo) + " at offset " +
                                    std::to_string(f.tell()) + ": the file ends inside it");
      break;
    }
    if (f.available() < caseBytes && !f.ensure(caseBytes)) {
      stop(SPSS_FILE_RERROR, "case " + std::to_string(caseNo) + ": read failed");
      break;
    }
    const std::size_t avail = std::min<std::int64_t>(std::int64_t(f.available()), left);
    std::size_t cases = std::min(avail / caseBytes, want - m_done);
    if (m_caseLimit >= 0)
      cases =
          std::min<std::size_t>(cases, std::size_t(m_caseLimit - m_index - std::int64_t(m_done)));
    const std::uint8_t* base = f.data();
    for (std::size_t c = 0; c < cases; ++c) {
      std::uint8_t* row = m_rows.data() + (m_done + c) * m_rowBytes;
      const std::uint8_t* src = base + c * caseBytes;
      for (std::size_t s = 0; s < m_elements.size(); ++s)
        std::memcpy(row + 8 * s, src + 8 * m_elements[s], 8);
    }
    f.consume(cases * caseBytes);
    m_done += cases;
    if (m_caseLimit >= 0 && m_index + std::int64_t(m_done) >= m_caseLimit) {
      stop(SPSS_FILE_END, "");
      break;
    }
  }
  return m_done;
}

// Takes the element at src; true when the case limit stops the pass.
bool ColumnScanner::visit(const std::uint8_t* src) {
  const VisitPoint& v = m_visit[m_next];
  if (v.slot >= 0)
    std::memcpy(m_rows.data() + m_done * m_rowBytes + std::size_t(v.slot) * 8, src, 8);
  m_gap = v.gapAfter;
  if (++m_next == m_visit.size()) {
    m_next = 0;
    ++m_done;
    if (m_caseLimit >= 0 && m_index + std::int64_t(m_done) >= m_caseLimit) {
      stop(SPSS_FILE_END, "");
      return true;
    }
  }
  return false;
}

bool ColumnScanner::produceSlow(const std::uint8_t* src) {
  if (m_gap > 0) {
    --m_gap;
    return false;
  }
  return visit(src);
}

// One command group with every length checked, for groups with padding or
// end codes and for the last bytes of the data. False when decoding stops.
bool ColumnScanner::slowGroup(const std::uint8_t*& p, const std::uint8_t* end) {
  const std::int64_t caseNo = m_index + std::int64_t(m_done) + 1;
  if (end - p < 8) {
    // Sound data ends with a whole group; part of one means it was cut off.
    if (end == p && atCaseStart())
      stop(SPSS_FILE_END, "");
    else
      stop(SPSS_FILE_TRUNCATED,
           "case " + std::to_string(caseNo) + ": the compressed data ends inside it");
    p = end;
    return false;
  }
  const std::uint8_t* codes = p;
  const std::uint8_t* q = p + 8;
  for (int j = 0; j < 8; ++j) {
    const std::uint8_t code = codes[j];
    const std::uint8_t* src;
    if (code == kCodePad) continue;
    if (code == kCodeEnd) {
      if (atCaseStart())
        stop(SPSS_FILE_END, "");
      else
        stop(SPSS_BAD_DATA,
             "case " + std::to_string(caseNo) + ": the end-of-data code comes inside the case");
      p = q;
      return false;
    }
    if (code == kCodeLiteral) {
      if (end - q < 8) {
        stop(SPSS_FILE_TRUNCATED,
             "case " + std::to_string(caseNo) + ": the compressed data ends inside it");
        p = end;
        return false;
      }
      src = q;
      q += 8;
    } else {
      src = m_patterns[code];
    }
    if (produceSlow(src)) {
      p = q;
      return false;
    }
  }
  p = q;
  return true;
}

void ColumnScanner::consumeWindow(const std::uint8_t* p) {
  const std::size_t used = std::size_t(p - m_in);
  if (m_compression == 2)
    m_inflatedPos += used;
  else
    m_file->consume(used);
  m_in = p;
}

bool ColumnScanner::fillWindow() {
  if (m_compression == 2) return fillInflated();
  BlockFile& f = *m_file;
  const std::int64_t left = m_regionEnd - f.tell();
  if (left <= 0) {
    m_in = m_inEnd = f.data();
    m_lastWindow = true;
    return true;
  }
  const std::size_t need = std::size_t(std::min<std::int64_t>(left, kGroupMax));
  if (f.available() < need && !f.ensure(need)) {
    stop(SPSS_FILE_RERROR, "read failed at offset " + std::to_string(f.tell()));
    return false;
  }
  const std::int64_t avail = std::min<std::int64_t>(std::int64_t(f.available()), left);
  m_in = f.data();
  m_inEnd = m_in + avail;
  m_lastWindow = avail == left;
  return true;
}

// The trailer's table of blocks, taken only when it describes the blocks
// exactly: back to back from the data header to the trailer, each at most
// 64 MB inflated. Anything else leaves the data to the streaming inflater.
bool ColumnScanner::readBlockTable(std::int64_t regionStart, std::int64_t trailerOffset,
                                   std::int64_t trailerLength) {
  if (!ZsavBlockInflater::available()) return false;
  constexpr std::int64_t kMaxInflated = std::int64_t(64) << 20;
  BlockFile& f = *m_file;
  if (trailerLength < 24 || trailerLength > f.size() - trailerOffset ||
      trailerLength > (std::int64_t(1) << 30))
    return false;
  if (!f.seek(trailerOffset) || !f.ensure(std::size_t(trailerLength))) return false;
  ByteCursor c(f.data(), std::size_t(trailerLength), m_swap, trailerOffset);
  std::int64_t bias = 0, zero = 0;
  std::int32_t blockSize = 0, count = 0;
  if (!c.readI64(bias) || !c.readI64(zero) || !c.readI32(blockSize) || !c.readI32(count))
    return false;
  if (count < 0 || std::int64_t(count) * 24 > std::int64_t(c.remaining())) return false;
  std::int64_t nextOffset = regionStart;
  std::int64_t nextInflated = -1;
  for (std::int32_t i = 0; i < count; ++i) {
    std::int64_t inflatedOffset = 0, offset = 0;
    std::int32_t inflated = 0, compressed = 0;
    if (!c.readI64(inflatedOffset) || !c.readI64(offset) || !c.readI32(inflated) ||
        !c.readI32(compressed))
      return false;
    if (offset != nextOffset || compressed <= 0 || inflated <= 0 || inflated > kMaxInflated)
      return false;
    if (nextInflated >= 0 && inflatedOffset != nextInflated) return false;
    nextOffset = offset + compressed;
    nextInflated = inflatedOffset + inflated;
    const std::int64_t at =
        m_blocks.empty() ? 0 : m_blocks.back().at + std::int64_t(m_blocks.back().inflated);
    m_blocks.push_back({offset, std::size_t(compressed), std::size_t(inflated), at});
  }
  return nextOffset == trailerOffset && !m_blocks.empty();
}

bool ColumnScanner::fillFromBlocks() {
  const std::size_t tail = m_inflatedEnd - m_inflatedPos;  // less than a group
  if (tail) std::memmove(m_inflated.data(), m_inflated.data() + m_inflatedPos, tail);
  m_inflatedAt += std::int64_t(m_inflatedPos);
  m_inflatedPos = 0;
  m_inflatedEnd = tail;
  if (m_nextBlock < m_blocks.size()) {
    const ZsavBlock b = m_blocks[m_nextBlock];
    if (!m_blockInflater) {
      std::vector<ZsavBlockInflater::Block> blocks;
      for (const ZsavBlock& z : m_blocks) blocks.push_back({z.offset, z.compressed, z.inflated});
      m_blockInflater = std::make_unique<ZsavBlockInflater>(
          *m_file, std::move(blocks), m_nextBlock, std::size_t(kGroupMax), m_inflateThreads);
    }
    if (!m_blockInflater->take(m_nextBlock, m_spare)) {
      // The block table may lie while the blocks themselves are sound, as the
      // case-by-case reading finds them: read on from this block as a stream,
      // which finds the real damage, if any.
      m_blockInflater.reset();
      m_heldEnd = m_inflatedEnd;
      m_blocks.clear();
      m_inflater = std::make_unique<ZsavInflater>();
      if (m_inflated.size() < kInflateBlock) m_inflated.resize(kInflateBlock);
      if (!m_file->seek(b.offset)) {
        stop(SPSS_FILE_RERROR, "cannot position at offset " + std::to_string(b.offset));
        return false;
      }
      return fillInflated();
    }
    // The unused tail goes into the headroom just before the block.
    std::memcpy(m_spare.data() + kGroupMax - tail, m_inflated.data(), tail);
    std::swap(m_inflated, m_spare);
    m_inflatedAt = b.at - kGroupMax;
    m_inflatedPos = std::size_t(kGroupMax) - tail;
    m_inflatedEnd = std::size_t(kGroupMax) + b.inflated;
    ++m_nextBlock;
  }
  m_heldEnd = m_inflatedEnd;
  m_in = m_inflated.data() + m_inflatedPos;
  m_inEnd = m_inflated.data() + m_inflatedEnd;
  m_lastWindow = m_nextBlock == m_blocks.size();
  return true;
}

bool ColumnScanner::fillInflated() {
  if (!m_blocks.empty()) return fillFromBlocks();
  // The unused tail of the last window (less than a group) and what an
  // unfinished block gave move to the front.
  const std::size_t kept = m_heldEnd - m_inflatedPos;
  if (kept) std::memmove(m_inflated.data(), m_inflated.data() + m_inflatedPos, kept);
  const std::size_t tail = m_inflatedEnd - m_inflatedPos;
  m_inflatedAt += std::int64_t(m_inflatedPos);
  m_inflatedPos = 0;
  // Enough for a command group, or all there is.
  const ZsavStretch st = InflateStretch(*m_inflater, *m_file, m_regionEnd, m_cutBeforeTrailer,
                                        m_inflated, kept, tail + std::size_t(kGroupMax));
  if (st.code == SPSS_FILE_RERROR) {
    stop(st.code, st.message);
    return false;
  }
  if (st.code) defer(st.code, st.message);
  m_inflatedEnd = st.sound;
  m_heldEnd = st.end;
  m_in = m_inflated.data();
  m_inEnd = m_in + m_inflatedEnd;
  m_lastWindow = st.inputDone;
  return true;
}

std::size_t ColumnScanner::readBytecode(std::size_t want) {
  constexpr bool kLittle = std::endian::native == std::endian::little;
  while (m_done < want && m_status == SPSS_OK) {
    if (m_inEnd - m_in < kGroupMax && !m_lastWindow && !fillWindow()) break;
    const std::uint8_t* p = m_in;
    const std::uint8_t* const end = m_inEnd;
    bool stop = false;
    while (m_done < want) {
      if (m_indexing && m_index + std::int64_t(m_done) >= m_nextPoint) notePoint(p);
      if (end - p < kGroupMax && !m_lastWindow) break;  // refill first
      std::uint64_t c = 0;
      if (end - p >= kGroupMax) std::memcpy(&c, p, 8);
      if (end - p < kGroupMax || !kLittle ||
          (BytesEqual(c, kCodePad) | BytesEqual(c, kCodeEnd)) != 0) {
        if (!slowGroup(p, end)) {
          stop = true;
          break;
        }
        continue;
      }
      // Byte j of c is command j; literals follow the group in command order.
      const std::uint64_t lit = BytesEqual(c, kCodeLiteral);
      const std::uint8_t* lits = p + 8;
      if (m_gap >= 8) {
        m_gap -= 8;
      } else {
        std::size_t j = m_gap;
        for (;;) {
          const unsigned shift = unsigned(8 * j);
          const std::uint8_t* src =
              (lit >> (shift + 7)) & 1
                  ? lits + 8 * MarkCount(lit & ((std::uint64_t(1) << shift) - 1))
                  : m_patterns[(c >> shift) & 0xFF];
          if (visit(src)) {
            stop = true;
            break;
          }
          j += m_gap + 1;
          if (j >= 8) {
            m_gap = j - 8;
            break;
          }
        }
        if (stop) break;
      }
      p = lits + 8 * MarkCount(lit);
    }
    consumeWindow(p);
    if (stop) break;
  }
  return m_done;
}

}  // namespace brindle
