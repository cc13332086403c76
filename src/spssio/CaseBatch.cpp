#include "spssio/CaseBatch.h"

#include <algorithm>
#include <cstring>

#include "spssio/TextConverter.h"

namespace brindle {

CaseBatch::CaseBatch() = default;
CaseBatch::~CaseBatch() = default;
CaseBatch::CaseBatch(CaseBatch&&) noexcept = default;
CaseBatch& CaseBatch::operator=(CaseBatch&&) noexcept = default;

void CaseBatch::setColumns(const std::vector<int>& variables,
                           const std::vector<std::size_t>& widths, const std::string& encoding) {
  m_columns.assign(variables.size(), Column());
  for (std::size_t c = 0; c < variables.size(); ++c) {
    m_columns[c].variable = variables[c];
    m_columns[c].width = widths[c];
  }
  if (encoding != m_encoding) m_converter.reset();
  m_encoding = encoding;
  m_first = 0;
  m_size = 0;
}

void CaseBatch::reset(std::int64_t first, std::size_t cases) {
  m_first = first;
  m_size = cases;
  for (Column& col : m_columns) {
    if (col.width == 0) {
      if (col.numbers.size() < cases) col.numbers.resize(cases);
    } else if (col.bytes.size() < cases * col.width) {
      col.bytes.resize(cases * col.width);
    }
  }
}

void CaseBatch::dropFront(std::size_t n) {
  n = std::min(n, m_size);
  if (n == 0) return;
  const std::size_t rest = m_size - n;
  for (Column& col : m_columns) {
    if (col.width == 0)
      std::memmove(col.numbers.data(), col.numbers.data() + n, rest * sizeof(double));
    else
      std::memmove(col.bytes.data(), col.bytes.data() + n * col.width, rest * col.width);
  }
  m_first += std::int64_t(n);
  m_size = rest;
}

std::string_view CaseBatch::text(std::size_t c, std::size_t i) {
  const std::string_view value = stored(c, i);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(value.data());
  std::size_t end = value.size();
  while (end > 0 && bytes[end - 1] == ' ') --end;
  // Plain ASCII, the common case, is its own UTF-8.
  std::size_t k = 0;
  while (k < end && bytes[k] >= 0x01 && bytes[k] < 0x80) ++k;
  if (k == end) return value.substr(0, end);
  if (!m_converter) {
    m_converter = std::make_unique<TextConverter>();
    m_converter->setEncoding(m_encoding);
  }
  m_text = m_converter->toUtf8(bytes, value.size());
  const auto last = m_text.find_last_not_of(' ');
  return std::string_view(m_text).substr(0, last == std::string::npos ? 0 : last + 1);
}

}  // namespace brindle
