#include "spssio/CaseColumns.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "spssio/CaseSource.h"
#include "spssio/Spssio.h"
#include "spssio/SpssioCodes.h"
#include "spssio/SystemFile.h"
#include "spssio/TextConverter.h"
#include "spssio/detail/ByteCursor.h"
#include "spssio/detail/SavReader.h"

namespace brindle {

CaseColumns::CaseColumns() = default;
CaseColumns::~CaseColumns() = default;

bool CaseColumns::start(const SavReader& reader, const std::vector<int>& vars) {
  const std::vector<SavVariable>& all = reader.variables();
  m_layout = &reader;
  m_vars = vars;
  m_swap = reader.cases().layout().swap;
  m_columns.clear();
  m_pieces.clear();
  m_elements.clear();
  for (int v : vars) {
    if (v < 0 || std::size_t(v) >= all.size()) return false;
    const SavVariable& var = all[std::size_t(v)];
    if (var.width == 0) {
      m_elements.push_back(var.element);
    } else {
      for (const SavSegment& s : var.segments)
        for (std::size_t e = 0; e < (s.bytes + 7) / 8; ++e) m_elements.push_back(s.element + e);
    }
  }
  // Slots are the ranks of the distinct elements, so a segment's elements
  // lie side by side in a row.
  std::vector<std::size_t> distinct = m_elements;
  std::sort(distinct.begin(), distinct.end());
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  const auto slotOf = [&](std::size_t element) {
    return std::size_t(std::lower_bound(distinct.begin(), distinct.end(), element) -
                       distinct.begin());
  };
  for (int v : vars) {
    const SavVariable& var = all[std::size_t(v)];
    Column col;
    col.width = var.width;
    if (var.width == 0) {
      col.slot = slotOf(var.element);
    } else {
      col.firstPiece = m_pieces.size();
      for (const SavSegment& s : var.segments) m_pieces.push_back({slotOf(s.element), s.bytes});
      col.pieces = m_pieces.size() - col.firstPiece;
    }
    m_columns.push_back(col);
  }
  m_rowBytes = std::max<std::size_t>(8, 8 * distinct.size());
  m_converter = std::make_unique<TextConverter>();
  m_converter->setEncoding(reader.encoding());
  return true;
}

bool CaseColumns::open(SystemFile& file, const std::vector<int>& vars) {
  m_file = &file;
  m_reader = &file.reader();
  if (!start(*m_reader, vars)) return false;
  return m_scanner.start(*m_reader, m_elements) == SPSS_OK;
}

bool CaseColumns::buildIndex(std::int64_t every,
                             const std::function<bool(std::int64_t)>& keepGoing) {
  if (!m_reader || m_reader->compression() == 0 || m_reader->caseIndex()) return true;
  m_scanner.finish();
  bool going = true;
  {
    ColumnScanner pass;
    std::int64_t cases = 0;
    if (pass.start(*m_reader, {}, every) == SPSS_OK)
      while (const std::size_t got = pass.read(std::size_t(1) << 16)) {
        cases += std::int64_t(got);
        if (pass.status() == SPSS_OK && keepGoing && !(going = keepGoing(cases))) break;
      }
    pass.finish();
  }
  m_scanner.start(*m_reader, m_elements);
  return going;
}

std::vector<CaseSegment> CaseColumns::split(std::size_t parts) const {
  if (!m_reader) return {};
  std::int64_t cases = 0;
  if (m_reader->compression() == 0) {
    cases = m_reader->cases().uncompressedCaseCount();
  } else if (const CaseIndex* index = m_reader->caseIndex()) {
    cases = index->cases;
  }
  const std::int64_t limit = m_reader->cases().layout().caseLimit;
  if (limit >= 0) cases = std::min(cases, limit);
  std::vector<CaseSegment> segments = SplitCases(*m_reader, cases, parts);
  // Whatever follows the cases counted is read by the last segment, as one
  // pass would read it: more cases, or the damage that ends the data.
  if (!segments.empty()) segments.back().end = std::numeric_limits<std::int64_t>::max();
  return segments;
}

bool CaseColumns::openSegment(const CaseColumns& whole, const CaseSegment& segment) {
  if (!whole.m_reader) return false;
  if (!m_segmentFile.isOpen() && !m_segmentFile.openSame(whole.m_reader->file())) return false;
  m_file = nullptr;
  m_reader = nullptr;
  if (m_layout != whole.m_reader || m_vars != whole.m_vars) start(*whole.m_reader, whole.m_vars);
  return m_scanner.startSegment(*whole.m_reader, m_segmentFile, m_elements, segment) == SPSS_OK;
}

std::size_t CaseColumns::read(std::size_t want) {
  return m_scanner.read(std::min(want, std::max<std::size_t>(1, kBatchBytes / m_rowBytes)));
}

std::string CaseColumns::error() const {
  const int code = m_scanner.status();
  if (code == SPSS_OK || code == SPSS_FILE_END) return {};
  return CodeText(code, m_scanner.error());
}

double CaseColumns::number(std::size_t i, std::size_t c) const {
  std::uint64_t bits;
  std::memcpy(&bits, m_scanner.row(i) + 8 * m_columns[c].slot, 8);
  if (m_swap) bits = byteSwap64(bits);
  double d;
  std::memcpy(&d, &bits, 8);
  return d;
}

std::string_view CaseColumns::text(std::size_t i, std::size_t c) {
  const Column& col = m_columns[c];
  const std::uint8_t* row = m_scanner.row(i);
  const std::uint8_t* bytes;
  std::size_t n;
  if (col.pieces == 1) {
    bytes = row + 8 * m_pieces[col.firstPiece].slot;
    n = m_pieces[col.firstPiece].bytes;
  } else {
    // A very long string: its segments lie apart, each padded to whole elements.
    m_gather.clear();
    for (std::size_t p = col.firstPiece; p < col.firstPiece + col.pieces; ++p)
      m_gather.insert(m_gather.end(), row + 8 * m_pieces[p].slot,
                      row + 8 * m_pieces[p].slot + m_pieces[p].bytes);
    bytes = m_gather.data();
    n = m_gather.size();
  }
  // Plain ASCII, the common case, is its own UTF-8.
  std::size_t end = n;
  while (end > 0 && bytes[end - 1] == ' ') --end;
  std::size_t k = 0;
  while (k < end && bytes[k] >= 0x01 && bytes[k] < 0x80) ++k;
  if (k == end) return std::string_view(reinterpret_cast<const char*>(bytes), end);
  m_text = m_converter->toUtf8(bytes, n);
  const auto last = m_text.find_last_not_of(' ');
  return std::string_view(m_text).substr(0, last == std::string::npos ? 0 : last + 1);
}

void CaseColumns::close() {
  if (!m_reader) return;
  m_scanner.finish();
  if (m_file) m_file->rewind();
}

}  // namespace brindle
