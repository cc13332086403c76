// The case-by-case reader the export tests compare against.
#include "export/testing/ModuleRowSource.h"

#include "spssio/SpssioCodes.h"
#include "spssio/SystemFile.h"

namespace brindle {

ModuleRowSource::ModuleRowSource(SystemFile& file, const std::vector<int>& vars)
    : m_file(file), m_vars(vars) {
  m_numbers.assign(vars.size(), 0.0);
  for (std::size_t c = 0; c < vars.size(); ++c)
    if (!file.variable(std::size_t(vars[c])).isString()) m_numericColumns.push_back(c);
  file.rewind();
}

ModuleRowSource::~ModuleRowSource() { m_file.rewind(); }

int ModuleRowSource::Next() {
  const int rc = m_file.readCase();
  if (rc != SPSS_OK) {
    if (rc != SPSS_FILE_END) m_error = CodeText(rc, m_file.caseError());
    return rc;
  }
  for (std::size_t c : m_numericColumns) m_numbers[c] = m_file.number(std::size_t(m_vars[c]));
  return SPSS_OK;
}

std::string_view ModuleRowSource::Text(std::size_t c) {
  m_text = m_file.text(std::size_t(m_vars[c]));
  return m_text;
}

}  // namespace brindle
