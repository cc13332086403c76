// The program's source of an export's cases: batches of a CaseColumns pass.
#include "export/RowSource.h"

#include "spssio/SpssioCodes.h"

namespace brindle {

int CaseRowSource::Next() {
  if (++m_at < m_count) return SPSS_OK;
  m_at = 0;
  m_count = m_cases.read(4096);
  // No case comes only when the reading has stopped.
  return m_count ? SPSS_OK : m_cases.status();
}

}  // namespace brindle
