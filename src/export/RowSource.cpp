#include "export/RowSource.h"

#include <cstring>

#include "spssio/Spssio.h"

namespace brindle {

ModuleRowSource::ModuleRowSource(int handle, const std::vector<std::string>& names,
                                 const std::vector<int>& widths)
    : m_handle(handle), m_widths(widths) {
  m_varHandles.resize(names.size());
  m_numbers.assign(names.size(), 0.0);
  std::size_t widest = 0;
  for (std::size_t c = 0; c < names.size(); ++c) {
    spssGetVarHandle(handle, names[c].c_str(), &m_varHandles[c]);
    if (m_widths[c] == 0)
      m_numericColumns.push_back(c);
    else if (std::size_t(m_widths[c]) > widest)
      widest = std::size_t(m_widths[c]);
  }
  // No encoding spends more than 4 bytes of UTF-8 on one stored byte.
  m_text.resize(4 * widest + 1);
  spssSeekNextCase(handle, 0);
}

ModuleRowSource::~ModuleRowSource() { spssSeekNextCase(m_handle, 0); }

int ModuleRowSource::Next() {
  const int rc = spssReadCaseRecord(m_handle);
  if (rc != SPSS_OK) {
    if (rc != SPSS_FILE_END) m_error = spssLastErrorText();
    return rc;
  }
  for (std::size_t c : m_numericColumns)
    spssGetValueNumeric(m_handle, m_varHandles[c], &m_numbers[c]);
  return SPSS_OK;
}

std::string_view ModuleRowSource::Text(std::size_t c) {
  m_text[0] = '\0';
  spssGetValueChar(m_handle, m_varHandles[c], m_text.data(), static_cast<int>(m_text.size()));
  return std::string_view(m_text.data(), std::strlen(m_text.data()));
}

int CaseRowSource::Next() {
  if (++m_at < m_count) return SPSS_OK;
  m_at = 0;
  m_count = m_cases.read(4096);
  // No case comes only when the reading has stopped.
  return m_count ? SPSS_OK : m_cases.status();
}

}  // namespace brindle
