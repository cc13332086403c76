#include "spssio/CaseSource.h"

#include <algorithm>
#include <cstring>

#include "spssio/AsciiText.h"
#include "spssio/Spssio.h"
#include "spssio/SystemFile.h"
#include "spssio/TextConverter.h"
#include "spssio/detail/ByteCursor.h"
#include "spssio/detail/SavReader.h"

namespace brindle {

CaseSource::Start CaseSource::open(SystemFile& file, const std::string& varName,
                                   const std::string* weightName, bool viaModule,
                                   std::int64_t indexEvery) {
  m_file = &file;
  m_viaModule = viaModule;
  m_reader = &file.reader();
  m_weighted = weightName != nullptr;
  m_moduleStatus = SPSS_OK;
  m_moduleError.clear();
  if (!m_reader) return Start::NoVariable;
  const int vi = m_reader->findVariable(varName);
  if (vi < 0) return Start::NoVariable;
  const SavVariable& v = m_reader->variables()[std::size_t(vi)];
  m_width = v.width;
  // No encoding spends more than 4 bytes of UTF-8 on one stored byte.
  m_moduleBuffer = v.width > 0 ? 4 * std::size_t(v.width) + 1 : 0;
  const SavVariable* w = nullptr;
  if (weightName) {
    const int wi = m_reader->findVariable(*weightName);
    // Only numbers can weigh: the selector offers no string variables.
    if (wi < 0 || m_reader->variables()[std::size_t(wi)].width != 0) return Start::NoWeight;
    w = &m_reader->variables()[std::size_t(wi)];
  }
  if (viaModule) {
    m_varIndex = std::size_t(vi);
    if (w) m_weightIndex = std::size_t(w - m_reader->variables().data());
    m_caseBytes = 16 + m_moduleBuffer;
    file.rewind();
    return Start::Ok;
  }

  // A string's elements, all of them: the key is the whole value.
  std::vector<std::size_t> elements;
  std::vector<std::pair<std::size_t, std::size_t>> pieces;  // first element, bytes
  if (v.width == 0) {
    elements.push_back(v.element);
  } else {
    for (const SavSegment& s : v.segments) {
      for (std::size_t e = 0; e < (s.bytes + 7) / 8; ++e) elements.push_back(s.element + e);
      pieces.push_back({s.element, s.bytes});
    }
  }
  if (w) elements.push_back(w->element);
  m_caseBytes = 8 * elements.size();
  m_elements = elements;
  m_scanner.start(*m_reader, elements, indexEvery);
  m_swap = m_reader->cases().layout().swap;
  m_valueSlot = m_scanner.slotOf(v.element);
  m_pieces.clear();
  m_storedWidth = 0;
  for (const auto& [element, bytes] : pieces) {
    m_pieces.push_back({m_scanner.slotOf(element), bytes});
    m_storedWidth += bytes;
  }
  if (w) m_weightSlot = m_scanner.slotOf(w->element);
  return Start::Ok;
}

std::size_t CaseSource::read(std::size_t want) {
  want = std::min(want, std::max<std::size_t>(1, kBatchBytes / m_caseBytes));
  if (!m_viaModule) return m_scanner.read(want);
  if (m_moduleStatus != SPSS_OK) return 0;
  m_values.resize(want);
  m_weights.resize(want);
  if (m_width > 0) {
    m_texts.assign(want * m_moduleBuffer, 0);
  }
  std::size_t n = 0;
  for (; n < want; ++n) {
    const int rc = m_file->readCase();
    if (rc != SPSS_OK) {
      m_moduleStatus = rc;
      if (rc != SPSS_FILE_END) m_moduleError = CodeText(rc, m_file->caseError());
      break;
    }
    if (m_width > 0) {
      // The buffer holds any value whole: no encoding spends more than 4
      // bytes of UTF-8 on one stored byte.
      const std::string text = m_file->text(m_varIndex);
      const std::size_t len = utf8PrefixLength(text.data(), text.size(), m_moduleBuffer - 1);
      std::memcpy(&m_texts[n * m_moduleBuffer], text.data(), len);
    } else {
      m_values[n] = m_file->number(m_varIndex);
    }
    if (m_weighted) m_weights[n] = m_file->number(m_weightIndex);
  }
  return n;
}

int CaseSource::status() const { return m_viaModule ? m_moduleStatus : m_scanner.status(); }

std::string CaseSource::error() const { return m_viaModule ? m_moduleError : m_scanner.error(); }

double CaseSource::element(std::size_t i, std::size_t slot) const {
  std::uint64_t bits;
  std::memcpy(&bits, m_scanner.row(i) + 8 * slot, 8);
  if (m_swap) bits = byteSwap64(bits);
  double d;
  std::memcpy(&d, &bits, 8);
  return d;
}

double CaseSource::number(std::size_t i) const {
  return m_viaModule ? m_values[i] : element(i, m_valueSlot);
}

double CaseSource::weight(std::size_t i) const {
  return m_viaModule ? m_weights[i] : element(i, m_weightSlot);
}

const std::uint8_t* CaseSource::stored(std::size_t i) {
  if (m_viaModule) return &m_texts[i * m_moduleBuffer];
  const std::uint8_t* row = m_scanner.row(i);
  if (m_pieces.size() == 1) return row + 8 * m_pieces[0].slot;
  // A very long string: its segments lie apart, each padded to whole elements.
  m_gather.resize(m_storedWidth);
  std::size_t at = 0;
  for (const Piece& p : m_pieces) {
    std::memcpy(m_gather.data() + at, row + 8 * p.slot, p.bytes);
    at += p.bytes;
  }
  return m_gather.data();
}

std::string CaseSource::text(std::string_view stored) const {
  std::string text;
  if (m_viaModule) {
    text.assign(stored.substr(0, stored.find('\0')));
  } else {
    text = m_reader->textToUtf8(std::string(stored));
    if (auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
  }
  text.resize(TrimTrailingControls(text).size());
  return text;
}

std::vector<CaseSegment> CaseSource::split(std::int64_t cases, std::size_t parts) const {
  if (m_viaModule || !m_reader) return {};
  return SplitCases(*m_reader, cases, parts);
}

std::vector<CaseSegment> SplitCases(const SavReader& reader, std::int64_t cases,
                                    std::size_t parts) {
  std::vector<CaseSegment> segments;
  if (cases < 2 || parts < 2) return segments;
  const CaseLayout& layout = reader.cases().layout();
  if (layout.caseLimit >= 0 && cases > layout.caseLimit) return segments;
  if (layout.compression == 0) {
    // Cases lie at fixed offsets; only complete ones count.
    if (cases > reader.cases().uncompressedCaseCount()) return segments;
    for (std::size_t k = 0; k < parts; ++k) {
      CaseSegment seg;
      seg.from.cases = cases * std::int64_t(k) / std::int64_t(parts);
      seg.end = cases * std::int64_t(k + 1) / std::int64_t(parts);
      if (seg.end > seg.from.cases) segments.push_back(seg);
    }
    return segments;
  }
  const CaseIndex* index = reader.caseIndex();
  if (!index || index->cases < cases) return segments;
  // Each segment starts at the last point at or before its share's start.
  for (std::size_t k = 0; k < parts; ++k) {
    const std::int64_t target = cases * std::int64_t(k) / std::int64_t(parts);
    auto after =
        std::upper_bound(index->points.begin(), index->points.end(), target,
                         [](std::int64_t t, const CasePoint& p) { return t < p.firstCase(); });
    if (after == index->points.begin()) continue;
    const CasePoint& from = *(after - 1);
    if (!segments.empty() && from.firstCase() <= segments.back().from.firstCase()) continue;
    if (!segments.empty()) segments.back().end = from.firstCase();
    segments.push_back({from, cases});
  }
  // The first segment must start at the first case.
  if (segments.empty() || segments.front().from.firstCase() != 0) segments.clear();
  return segments;
}

bool CaseSource::openSegment(const CaseSource& whole, const CaseSegment& segment) {
  if (whole.m_viaModule || !whole.m_reader) return false;
  if (!m_segmentFile.isOpen() && !m_segmentFile.openSame(whole.m_reader->file())) return false;
  m_file = nullptr;
  m_reader = nullptr;
  m_viaModule = false;
  m_width = whole.m_width;
  m_storedWidth = whole.m_storedWidth;
  m_caseBytes = whole.m_caseBytes;
  m_weighted = whole.m_weighted;
  m_swap = whole.m_swap;
  m_valueSlot = whole.m_valueSlot;
  m_weightSlot = whole.m_weightSlot;
  m_pieces = whole.m_pieces;
  m_elements = whole.m_elements;
  return m_scanner.startSegment(*whole.m_reader, m_segmentFile, m_elements, segment) == SPSS_OK;
}

void CaseSource::close() {
  if (!m_viaModule && m_reader) m_scanner.finish();
  if (m_file) m_file->rewind();
}

std::int64_t CountStoredCases(SystemFile& file, int* code, std::int64_t indexEvery) {
  SavReader* reader = &file.reader();
  ColumnScanner scanner;
  std::int64_t count = 0;
  if (scanner.start(*reader, {}, indexEvery) == SPSS_OK)
    while (const std::size_t got = scanner.read(std::size_t(1) << 20)) count += std::int64_t(got);
  *code = scanner.status();
  scanner.finish();
  file.rewind();
  return count;
}

}  // namespace brindle
