#include "spssio/detail/ColumnReader.h"

#include <algorithm>

#include "spssio/SpssioCodes.h"
#include "spssio/TaskPool.h"
#include "spssio/detail/CaseSplit.h"
#include "spssio/detail/ColumnLayout.h"
#include "spssio/detail/SavReader.h"

namespace brindle {

int ColumnReader::startWhole(SavReader& reader, const ColumnLayout& layout, CaseRange range,
                             std::int64_t indexEvery) {
  m_reader = &reader;
  m_layout = &layout;
  m_first = std::max<std::int64_t>(0, range.first);
  m_end = range.end;
  m_delivered = 0;
  m_ended = false;
  m_code = SPSS_OK;
  if (const std::optional<CaseSegment> start = StartOf(reader, range)) {
    // A whole pass inflates ZSAV blocks ahead on every thread of the pool.
    m_at = start->from.firstCase();
    return m_scanner.open(reader.file(), reader.cases().layout(), layout.elements(), &*start,
                          TaskPool::shared().threadCount());
  }
  m_at = 0;
  return m_scanner.start(reader, layout.elements(), indexEvery);
}

int ColumnReader::startSegment(const SavReader& reader, const ColumnLayout& layout,
                               const CaseSegment& segment, std::int64_t first) {
  m_reader = nullptr;
  m_layout = &layout;
  m_at = segment.from.firstCase();
  m_first = std::max(first, m_at);
  m_end = segment.end;
  m_delivered = 0;
  m_ended = false;
  m_code = SPSS_OK;
  if (!m_own.isOpen() && !m_own.openSame(reader.file())) {
    m_ended = true;
    m_code = SPSS_FILE_RERROR;
    return m_code;
  }
  return m_scanner.startSegment(reader, m_own, layout.elements(), segment);
}

int ColumnReader::status() const {
  if (m_code != SPSS_OK) return m_code;
  // Damage the decoder met past the end of the range is none of the range's.
  if (m_at >= m_end || (m_ended && m_scanner.status() == SPSS_OK)) return SPSS_FILE_END;
  return m_scanner.status();
}

std::size_t ColumnReader::next(CaseBatch& batch, std::size_t want) {
  const std::size_t perBatch =
      std::max<std::size_t>(1, kBatchBytes / std::max<std::size_t>(8, m_layout->rowBytes()));
  want = std::max<std::size_t>(1, std::min(want, perBatch));
  for (;;) {
    if (m_ended || m_at >= m_end) {
      m_ended = true;
      return 0;
    }
    const std::size_t ask = std::size_t(std::min<std::int64_t>(
        std::int64_t(want) + std::max<std::int64_t>(0, m_first - m_at), m_end - m_at));
    const std::size_t got = m_scanner.read(std::min(ask, std::max(want, perBatch)));
    if (got == 0) return 0;
    const std::int64_t from = m_at;
    m_at += std::int64_t(got);
    // Cases before the range's first are read only to get past them.
    const std::size_t skip = std::size_t(std::clamp<std::int64_t>(m_first - from, 0, got));
    const std::size_t keep = std::size_t(
        std::clamp<std::int64_t>(m_end - from - std::int64_t(skip), 0, std::int64_t(got - skip)));
    if (keep == 0) continue;
    batch.reset(from, got);
    m_layout->fill(m_scanner, got, batch, 0);
    batch.dropFront(skip);
    batch.keepFront(keep);
    m_delivered += std::int64_t(keep);
    return keep;
  }
}

void ColumnReader::finish() {
  if (!m_reader) return;
  m_scanner.finish();
  m_reader->cases().rewind();
  m_reader = nullptr;
}

}  // namespace brindle
