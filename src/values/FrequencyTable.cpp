#include "values/FrequencyTable.h"

#include <utility>

#include "values/RowOrder.h"

namespace brindle {

FrequencyTable::FrequencyTable(Layout layout, bool isString)
    : m_layout(std::move(layout)), m_isString(isString) {}

void FrequencyTable::Reserve(std::size_t rows) {
  if (m_isString)
    m_strings.reserve(rows);
  else
    m_numbers.reserve(rows);
  if (m_layout.weighted)
    m_weights.reserve(rows);
  else
    m_counts.reserve(rows);
  m_valid.reserve(rows);
  m_labelOf.reserve(rows);
}

void FrequencyTable::AddNumber(double value, std::int64_t count, double weight, bool valid,
                               std::int32_t label) {
  if (value != m_layout.sysmis) {
    const int row = Rows();
    if (m_smallestRow < 0 || value < m_numbers[std::size_t(m_smallestRow)]) m_smallestRow = row;
    if (m_largestRow < 0 || value > m_numbers[std::size_t(m_largestRow)]) m_largestRow = row;
  }
  m_numbers.push_back(value);
  if (m_layout.weighted)
    m_weights.push_back(weight);
  else
    m_counts.push_back(count);
  m_valid.push_back(valid ? 1 : 0);
  m_labelOf.push_back(label);
}

void FrequencyTable::AddString(std::string value, std::int64_t count, double weight, bool valid,
                               std::int32_t label) {
  m_strings.push_back(std::move(value));
  if (m_layout.weighted)
    m_weights.push_back(weight);
  else
    m_counts.push_back(count);
  m_valid.push_back(valid ? 1 : 0);
  m_labelOf.push_back(label);
}

std::int32_t FrequencyTable::AddLabel(std::string text) {
  m_labels.push_back(std::move(text));
  return static_cast<std::int32_t>(m_labels.size() - 1);
}

std::string FrequencyTable::Text(int col, int row) const {
  std::string out;
  AppendText(col, row, out);
  return out;
}

void FrequencyTable::AppendText(int col, int row, std::string& out) const {
  if (row < 0 || row >= Rows()) return;
  const auto r = static_cast<std::size_t>(row);
  switch (col) {
    case 0:
      if (m_labelOf[r] >= 0) out += m_labels[static_cast<std::size_t>(m_labelOf[r])];
      break;
    case 1:
      if (m_isString)
        out += m_strings[r];
      else if (m_numbers[r] == m_layout.sysmis)
        out += "SYSMIS";
      else
        out += FormatValue(m_numbers[r], m_layout.format, m_layout.usePrintFormat, m_layout.seps);
      break;
    case 2:
    case 3:
    case 4:
      AppendAmount(col, r, out);
      break;
    default:
      break;
  }
}

void FrequencyTable::AppendAmount(int col, std::size_t r, std::string& out) const {
  const double amount = m_layout.weighted ? m_weights[r] : double(m_counts[r]);
  const auto percent = [&](double of) {
    out += FixedText(100.0 * amount / of, 3, 1, m_layout.seps);
  };
  switch (col) {
    case 2:
      if (m_layout.weighted)
        out += FixedText(amount, 0, 0, m_layout.seps);
      else
        out += std::to_string(m_counts[r]);
      break;
    case 3:
      percent(m_layout.total);
      break;
    default:
      // Validity only matters where there is a valid total.
      if (m_layout.valid == 0) break;
      if (m_valid[r])
        percent(m_layout.valid);
      else
        out += "MISS";
      break;
  }
}

bool FrequencyTable::SameAmount(std::size_t a, std::size_t b) const {
  if (m_valid[a] != m_valid[b]) return false;
  return m_layout.weighted ? m_weights[a] == m_weights[b] : m_counts[a] == m_counts[b];
}

void FrequencyTable::Renderer::Append(int col, int row, std::string& out) {
  if (col < 2 || col > 4 || row < 0 || row >= m_table.Rows()) {
    m_table.AppendText(col, row, out);
    return;
  }
  Last& last = m_last[col - 2];
  if (last.row < 0 || !m_table.SameAmount(std::size_t(last.row), std::size_t(row))) {
    last.text.clear();
    m_table.AppendAmount(col, std::size_t(row), last.text);
  }
  last.row = row;
  out += last.text;
}

std::vector<std::int64_t> FrequencyTable::CountKeys() const {
  if (!m_layout.weighted) return m_counts;
  // A weight sum sorts by its shown text; sums equal to the row before
  // (common) are read once.
  std::vector<std::int64_t> keys(m_weights.size());
  for (std::size_t r = 0; r < m_weights.size(); ++r) {
    if (r > 0 && m_weights[r] == m_weights[r - 1]) {
      keys[r] = keys[r - 1];
      continue;
    }
    const std::string text = FixedText(m_weights[r], 0, 0, m_layout.seps);
    std::u16string units(text.begin(), text.end());  // digits, signs and separators are what count
    keys[r] = CountTextValue(units);
  }
  return keys;
}

}  // namespace brindle
