#include "spssio/detail/ColumnScanner.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cstring>

#include "spssio/SpssioCodes.h"
#include "spssio/TaskPool.h"
#include "spssio/detail/BlockFile.h"
#include "spssio/detail/ByteCursor.h"
#include "spssio/detail/SavReader.h"

#include <limits>

namespace brindle {
namespace {

constexpr std::ptrdiff_t kGroupMax = CaseBytes::kGroupMax;
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

void StoreDouble(std::uint8_t* dst, double value, bool swap) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, 8);
  if (swap) bits = byteSwap64(bits);
  std::memcpy(dst, &bits, 8);
}

}  // namespace

void FillBytecodePatterns(std::uint8_t (&patterns)[256][8], double bias, bool swap) {
  std::memset(patterns, 0, sizeof patterns);
  for (int code = 1; code <= 251; ++code) StoreDouble(patterns[code], double(code) - bias, swap);
  std::memset(patterns[kCodeSpaces], ' ', 8);
  StoreDouble(patterns[kCodeSysmis], -DBL_MAX, swap);
}

ColumnScanner::ColumnScanner() = default;
ColumnScanner::~ColumnScanner() = default;

void ColumnScanner::stop(int code, std::string message) {
  if ((code == SPSS_FILE_END || code == SPSS_FILE_TRUNCATED) && m_bytes.pendingCode()) {
    code = m_bytes.pendingCode();
    message = m_bytes.pendingText();
  }
  settle(code, std::move(message));
}

// The cases the file promises are all read: damage met beyond them in the
// inflated data is none of theirs.
void ColumnScanner::stopAtLimit() { settle(SPSS_FILE_END, ""); }

std::int64_t ColumnScanner::dataOffset(const std::uint8_t* p) const {
  return m_compression == 1 ? m_bytes.fileOffset() + (p - m_bytes.begin()) : m_bytes.offsetOf(p);
}

void ColumnScanner::atLimitIn(const std::uint8_t* codes, int next, const std::uint8_t* after) {
  if (!m_beyond || m_beyond->found() || m_compression == 0 || m_fileLimit < 0 ||
      m_index + std::int64_t(m_done) != m_fileLimit)
    return;
  // Padding and the end code are not data; any other command begins a case.
  for (int j = next; j < 8; ++j) {
    if (codes[j] == kCodePad) continue;
    if (codes[j] != kCodeEnd) m_beyond->note(dataOffset(codes));
    return;
  }
  m_probeFrom = dataOffset(after);
}

// Reads on past the last promised case, group by group, to the first command
// that is not padding: the end code or the end of the data means the file
// holds what it promises, any other command further cases. Damage met on the
// way says nothing either way.
void ColumnScanner::probeBeyond() {
  const std::int64_t from = m_probeFrom;
  m_probeFrom = -1;
  // The window begins at or before the group after the last promised case.
  if (!m_bytes.fill(std::size_t(kGroupMax))) return;
  const std::int64_t skip = from - dataOffset(m_bytes.begin());
  if (skip < 0 || skip > m_bytes.end() - m_bytes.begin()) return;
  m_bytes.consume(m_bytes.begin() + skip);
  for (;;) {
    if (!m_bytes.fill(8)) return;
    const std::uint8_t* codes = m_bytes.begin();
    const std::ptrdiff_t n = std::min<std::ptrdiff_t>(8, m_bytes.end() - codes);
    for (std::ptrdiff_t j = 0; j < n; ++j) {
      if (codes[j] == kCodePad) continue;
      if (codes[j] != kCodeEnd) m_beyond->note(dataOffset(codes));
      return;
    }
    if (n < 8) return;
    m_bytes.consume(codes + 8);
  }
}

void ColumnScanner::settle(int code, std::string message) {
  m_status = code;
  m_error = std::move(message);
  if (code == SPSS_FILE_END && m_indexing) {
    m_building.complete = true;
    keepIndex(m_index + std::int64_t(m_done));
  }
}

std::size_t ColumnScanner::slotOf(std::size_t element) const {
  return std::size_t(std::lower_bound(m_elements.begin(), m_elements.end(), element) -
                     m_elements.begin());
}

int ColumnScanner::begin(BlockFile& file, const CaseLayout& layout,
                         const std::vector<std::size_t>& elements, unsigned threads) {
  m_indexing = false;
  m_compression = layout.compression;
  m_elementCount = layout.elementCount;
  m_caseLimit = layout.caseLimit;
  m_fileLimit = layout.caseLimit;
  m_beyond = layout.beyond;
  m_probeFrom = -1;
  m_index = 0;
  m_done = 0;
  m_status = SPSS_OK;
  m_error.clear();
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
  m_whole = m_elementCount > 0 && m_elements.size() == m_elementCount;
  m_rows.assign(std::max<std::size_t>(m_rowBytes, 8), 0);

  // Visit points: every asked-for element, and the case's last element,
  // whose arrival completes the case.
  m_visit.clear();
  for (std::size_t i = 0; i < m_elements.size(); ++i)
    m_visit.push_back({m_elements[i], std::ptrdiff_t(i), 0});
  if (m_elementCount > 0 && (m_visit.empty() || m_visit.back().element != m_elementCount - 1))
    m_visit.push_back({m_elementCount - 1, -1, 0});
  for (std::size_t k = 0; k + 1 < m_visit.size(); ++k)
    m_visit[k].gapAfter = m_visit[k + 1].element - m_visit[k].element - 1;
  if (!m_visit.empty()) m_visit.back().gapAfter = m_visit.front().element;
  m_next = 0;
  m_gap = m_visit.empty() ? 0 : m_visit.front().element;

  FillBytecodePatterns(m_patterns, layout.bias, layout.swap);
  if (m_bytes.open(file, layout, threads) != SPSS_OK) {
    stop(m_bytes.code(), m_bytes.error());
    return m_status;
  }
  takeWindow();
  if (m_elementCount == 0) stop(SPSS_FILE_END, "");
  return SPSS_OK;
}

int ColumnScanner::open(BlockFile& file, const CaseLayout& layout,
                        const std::vector<std::size_t>& elements, const CaseSegment* segment,
                        unsigned threads) {
  m_reader = nullptr;
  const int rc = begin(file, layout, elements, threads);
  if (rc != SPSS_OK || m_status != SPSS_OK || !segment) return rc;
  return startAt(*segment);
}

int ColumnScanner::start(SavReader& reader, const std::vector<std::size_t>& elements,
                         std::int64_t indexEvery) {
  // A whole pass inflates ZSAV blocks ahead on every thread of the pool.
  const int rc = open(reader.file(), reader.cases().layout(), elements, nullptr,
                      TaskPool::shared().threadCount());
  m_reader = &reader;
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
  return open(file, reader.cases().layout(), elements, &segment);
}

int ColumnScanner::startAt(const CaseSegment& segment) {
  const CasePoint& from = segment.from;
  const std::string where = "case index point at offset " + std::to_string(from.offset);
  if (m_compression == 0 && from.element != 0) {
    stop(SPSS_INVALID_ARGUMENT, where + ": not a case of the data");
    return m_status;
  }
  const std::int64_t offset =
      m_compression == 0 ? from.cases * std::int64_t(m_elementCount * 8) : from.offset;
  if (m_bytes.seek(offset) != SPSS_OK) {
    stop(m_bytes.code(), m_bytes.error());
    return m_status;
  }
  takeWindow();
  m_index = from.firstCase();
  m_gap = m_visit.front().element + (from.element ? m_elementCount - from.element : 0);
  m_caseLimit = m_caseLimit >= 0 ? std::min(m_caseLimit, segment.end) : segment.end;
  return SPSS_OK;
}

void ColumnScanner::notePoint(const std::uint8_t* p) {
  const std::int64_t offset = m_bytes.offsetOf(p);
  const std::int64_t cases = m_index + std::int64_t(m_done);
  m_building.points.push_back({offset, cases, m_visit[m_next].element - m_gap});
  m_nextPoint = (cases / m_building.every + 1) * m_building.every;
}

void ColumnScanner::keepIndex(std::int64_t cases) {
  // An index is only worth keeping over sound data whose blocks can be
  // found again: a ZSAV file read as a stream has no points to start from.
  if (!m_indexing || !m_reader || m_bytes.pendingCode() || !m_bytes.seekable()) return;
  m_indexing = false;
  auto& points = m_building.points;
  while (!points.empty() && points.back().firstCase() > cases) points.pop_back();
  m_building.cases = cases;
  m_reader->keepCaseIndex(std::move(m_building));
}

void ColumnScanner::finish() {
  if (m_status == SPSS_OK) keepIndex(m_index);
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
    stopAtLimit();
    return 0;
  }
  if (m_compression == 0)
    readUncompressed(want);
  else
    readBytecode(want);
  if (m_probeFrom >= 0) probeBeyond();
  m_index += std::int64_t(m_done);
  return m_done;
}

std::size_t ColumnScanner::readUncompressed(std::size_t want) {
  const std::size_t caseBytes = m_elementCount * 8;
  while (m_done < want) {
    const std::int64_t caseNo = m_index + std::int64_t(m_done) + 1;
    if (!m_bytes.fill(caseBytes)) {
      stop(SPSS_FILE_RERROR, "case " + std::to_string(caseNo) + ": read failed");
      break;
    }
    const std::uint8_t* base = m_bytes.begin();
    const std::size_t avail = std::size_t(m_bytes.end() - base);
    if (avail < caseBytes) {  // the data ends here
      if (avail == 0)
        stop(SPSS_FILE_END, "");
      else
        stop(SPSS_FILE_TRUNCATED, "case " + std::to_string(caseNo) + " at offset " +
                                      std::to_string(m_bytes.fileOffset()) +
                                      ": the file ends inside it");
      break;
    }
    std::size_t cases = std::min(avail / caseBytes, want - m_done);
    if (m_caseLimit >= 0)
      cases =
          std::min<std::size_t>(cases, std::size_t(m_caseLimit - m_index - std::int64_t(m_done)));
    std::uint8_t* rows = m_rows.data() + m_done * m_rowBytes;
    if (m_whole) {
      std::memcpy(rows, base, cases * caseBytes);
    } else {
      for (std::size_t c = 0; c < cases; ++c) {
        std::uint8_t* row = rows + c * m_rowBytes;
        const std::uint8_t* src = base + c * caseBytes;
        for (std::size_t s = 0; s < m_elements.size(); ++s)
          std::memcpy(row + 8 * s, src + 8 * m_elements[s], 8);
      }
    }
    m_bytes.consume(base + cases * caseBytes);
    m_done += cases;
    if (m_caseLimit >= 0 && m_index + std::int64_t(m_done) >= m_caseLimit) {
      stopAtLimit();
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
      stopAtLimit();
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
  // The case under way when decoding stops; earlier commands of the group
  // may have completed cases.
  const auto caseNo = [this] { return m_index + std::int64_t(m_done) + 1; };
  if (end - p < 8) {
    // Sound data ends with a whole group; part of one means it was cut off.
    if (end == p && atCaseStart())
      stop(SPSS_FILE_END, "");
    else
      stop(SPSS_FILE_TRUNCATED,
           "case " + std::to_string(caseNo()) + ": the compressed data ends inside it");
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
             "case " + std::to_string(caseNo()) + ": the end-of-data code comes inside the case");
      p = q;
      return false;
    }
    if (code == kCodeLiteral) {
      if (end - q < 8) {
        stop(SPSS_FILE_TRUNCATED,
             "case " + std::to_string(caseNo()) + ": the compressed data ends inside it");
        p = end;
        return false;
      }
      src = q;
      q += 8;
    } else {
      src = m_patterns[code];
    }
    if (produceSlow(src)) {
      atLimitIn(codes, j + 1, q);
      p = q;
      return false;
    }
  }
  p = q;
  return true;
}

void ColumnScanner::consumeWindow(const std::uint8_t* p) {
  m_bytes.consume(p);
  m_in = p;
}

void ColumnScanner::takeWindow() {
  m_in = m_bytes.begin();
  m_inEnd = m_bytes.end();
  m_lastWindow = m_bytes.last();
}

bool ColumnScanner::fillWindow() {
  if (!m_bytes.fill(std::size_t(kGroupMax))) {
    stop(m_bytes.code(), m_bytes.error());
    return false;
  }
  takeWindow();
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
      if (m_whole && m_gap == 0) {
        // Every element wanted: rows lie back to back, so the group's eight
        // elements go one after another, whichever cases they belong to.
        std::uint8_t* dst = m_rows.data() + (m_done * m_elementCount + m_next) * 8;
        const std::uint8_t* const group = p;
        const std::size_t doneBefore = m_done, nextBefore = m_next;
        const std::uint8_t* q = p + 8;
        for (int k = 0; k < 8; ++k) {
          const std::uint8_t code = p[k];
          const bool literal = code == kCodeLiteral;
          std::memcpy(dst + 8 * k, literal ? q : m_patterns[code], 8);
          q += literal ? 8 : 0;
        }
        p = q;
        const std::size_t filled = m_next + 8;
        m_done += filled / m_elementCount;
        m_next = filled % m_elementCount;
        if (m_caseLimit >= 0 && m_index + std::int64_t(m_done) >= m_caseLimit) {
          m_done = std::size_t(m_caseLimit - m_index);
          stopAtLimit();
          atLimitIn(group, int((m_done - doneBefore) * m_elementCount - nextBefore), p);
          stop = true;
          break;
        }
        continue;
      }
      if (m_gap >= 8) {
        // Whole groups of unwanted elements: only their literals are counted,
        // group after group, until a wanted element, padding or an end code
        // comes, or the window runs short.
        std::size_t gap = m_gap;
        do {
          p += 8 + 8 * MarkCount(BytesEqual(c, kCodeLiteral));
          gap -= 8;
          if (gap < 8 || end - p < kGroupMax) break;
          std::memcpy(&c, p, 8);
        } while ((BytesEqual(c, kCodePad) | BytesEqual(c, kCodeEnd)) == 0);
        m_gap = gap;
        continue;
      }
      // Byte j of c is command j; literals follow the group in command order.
      const std::uint64_t lit = BytesEqual(c, kCodeLiteral);
      const std::uint8_t* lits = p + 8;
      std::size_t j = m_gap;
      for (;;) {
        const unsigned shift = unsigned(8 * j);
        const std::uint8_t* src =
            (lit >> (shift + 7)) & 1
                ? lits + 8 * MarkCount(lit & ((std::uint64_t(1) << shift) - 1))
                : m_patterns[(c >> shift) & 0xFF];
        if (visit(src)) {
          atLimitIn(p, int(j) + 1, lits + 8 * MarkCount(lit));
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
      p = lits + 8 * MarkCount(lit);
    }
    consumeWindow(p);
    if (stop) break;
  }
  return m_done;
}

int CaseCursor::fail(int code, std::string message) {
  m_damage = code;
  m_error = std::move(message);
  m_hasRow = false;
  return code;
}

int CaseCursor::start(BlockFile* file, const CaseLayout& layout) {
  m_file = file;
  m_layout = layout;
  m_all.resize(layout.elementCount);
  for (std::size_t e = 0; e < m_all.size(); ++e) m_all[e] = e;
  m_none.assign(std::max<std::size_t>(8, layout.elementCount * 8), 0);
  // About 256 KB of cases at a time.
  m_batch = std::max<std::size_t>(1, (std::size_t(256) << 10) / m_none.size());
  return rewind();
}

int CaseCursor::restart(const CaseSegment* segment) {
  m_at = m_count = 0;
  m_hasRow = false;
  m_damage = 0;
  m_error.clear();
  const int rc = m_decoder.open(*m_file, m_layout, m_all, segment);
  return rc == SPSS_OK ? rc : fail(rc, m_decoder.error());
}

int CaseCursor::rewind() {
  m_index = 0;
  return restart(nullptr);
}

std::int64_t CaseCursor::uncompressedCaseCount() const {
  if (m_layout.compression != 0 || m_layout.elementCount == 0) return -1;
  const std::int64_t bytes = m_file->size() - m_layout.dataStart;
  if (bytes <= 0) return 0;
  return bytes / std::int64_t(m_layout.elementCount * 8);
}

int CaseCursor::next() {
  if (m_damage) return m_damage;
  m_hasRow = false;
  if (m_at == m_count) {
    m_at = m_count = 0;
    if (m_decoder.status() == SPSS_OK) m_count = m_decoder.read(m_batch);
    if (m_count == 0) {
      const int code = m_decoder.status();
      return code == SPSS_FILE_END ? code : fail(code, m_decoder.error());
    }
  }
  ++m_at;
  ++m_index;
  m_hasRow = true;
  return SPSS_OK;
}

int CaseCursor::seek(std::int64_t caseNumber) {
  if (caseNumber < 0) return SPSS_INVALID_CASE;
  if (m_layout.caseLimit >= 0 && caseNumber > m_layout.caseLimit) return SPSS_INVALID_CASE;
  if (m_layout.compression == 0) {
    const std::int64_t count = uncompressedCaseCount();
    if (count >= 0 && caseNumber > count) return SPSS_INVALID_CASE;
    CaseSegment at;
    at.from.cases = caseNumber;
    at.end = std::numeric_limits<std::int64_t>::max();
    m_index = caseNumber;
    const int rc = restart(&at);
    if (rc == SPSS_INVALID_ARGUMENT)
      return fail(SPSS_FILE_RERROR, "cannot position at case " + std::to_string(caseNumber + 1));
    return rc;
  }
  // The index covers sound data only: starting at a point skips no damage.
  const bool back = caseNumber < m_index || m_damage;
  const CasePoint* from = nullptr;
  if (m_caseIndex)
    for (const CasePoint& p : m_caseIndex->points) {
      if (p.firstCase() > caseNumber || p.firstCase() > m_caseIndex->cases) break;
      from = &p;
    }
  if (from && from->firstCase() > (back ? 0 : m_index)) {
    const CaseSegment at{*from, std::numeric_limits<std::int64_t>::max()};
    m_index = from->firstCase();
    const int rc = restart(&at);
    if (rc != SPSS_OK) return rc;
  } else if (back) {
    const int rc = rewind();
    if (rc != SPSS_OK) return rc;
  }
  while (m_index < caseNumber) {
    const int rc = next();
    if (rc == SPSS_FILE_END) return SPSS_INVALID_CASE;
    if (rc != SPSS_OK) return rc;
  }
  m_hasRow = false;
  return SPSS_OK;
}

}  // namespace brindle
