#include "values/ui/FrequencyRows.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>

#include "values/RowOrder.h"

namespace brindle {

namespace {

// Value texts of tables up to this size are all measured for the width.
constexpr int kMeasureAll = 200000;
// Of longer ones, this many at each end of the value order.
constexpr int kMeasureEnds = 4096;
constexpr int kMeasuredTexts = 64;

// How wide a text is likely to be, to pick the few worth measuring: its
// length in UTF-16 units (as a QString of it has) with blanks counting far
// less than anything else. Values are padded to their format's width with
// leading blanks, so "       1" is no wider a candidate than "1234567".
std::size_t WidthRank(std::string_view text) {
  std::size_t units = 0;
  std::size_t blanks = 0;
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    units += (b & 0xC0) != 0x80;
    units += b >= 0xF0;
    blanks += c == ' ';
  }
  return (units - blanks) * 4 + blanks;
}

}  // namespace

FrequencyRows::FrequencyRows(std::shared_ptr<const FrequencyTable> table)
    : m_table(std::move(table)) {}

QString FrequencyRows::Text(int col, int row) const {
  return QString::fromStdString(m_table->Text(col, row));
}

std::vector<std::int32_t> FrequencyRows::LabelOrder(bool descending) const {
  const std::vector<std::string>& labels = m_table->Labels();
  // Each distinct label turned into the grid's text once.
  std::vector<QString> texts;
  texts.reserve(labels.size());
  for (const std::string& s : labels) texts.push_back(QString::fromStdString(s));
  std::vector<std::u16string_view> views;
  views.reserve(texts.size());
  for (const QString& t : texts)
    views.emplace_back(reinterpret_cast<const char16_t*>(t.utf16()),
                       static_cast<std::size_t>(t.size()));
  std::vector<std::int32_t> labelOf(static_cast<std::size_t>(m_table->Rows()));
  for (int r = 0; r < m_table->Rows(); ++r)
    labelOf[static_cast<std::size_t>(r)] = m_table->LabelOf(r);
  return SortRowsByLabelIndex(labelOf, views, descending);
}

std::vector<std::int32_t> FrequencyRows::CountOrder(bool descending) const {
  return SortRowsByCount(m_table->CountKeys(), descending);
}

QString FrequencyRows::BlockText(const std::vector<std::int32_t>& rows, int left, int right) const {
  // Built as UTF-8 and converted once: a block may hold millions of cells.
  FrequencyTable::Renderer texts(*m_table);
  std::string block;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const std::int32_t row = rows[i];
    if (i == 0) {
      // Rows of one table differ little in length: room for all at once
      // saves copying a block of many megabytes while it grows.
      for (int col = left; col <= right; ++col) texts.Append(col, row, block);
      const std::size_t first = block.size() + std::size_t(right - left + 1) + 2;
      block.clear();
      block.reserve(first * rows.size() * 9 / 8);
    }
    for (int col = left; col <= right; ++col) {
      texts.Append(col, row, block);
      block += '\t';
    }
    block += "\r\n";
  }
  return QString::fromStdString(block);
}

QStringList FrequencyRows::WidthCandidates(int col) const {
  const int n = m_table->Rows();
  FrequencyTable::Renderer texts(*m_table);
  QStringList widest;
  std::size_t longest = 0;
  std::string text;
  const auto consider = [&](int row) {
    text.clear();
    texts.Append(col, row, text);
    const std::size_t length = WidthRank(text);
    if (length < longest) return;
    if (length > longest) {
      longest = length;
      widest.clear();
    }
    if (widest.size() < kMeasuredTexts) widest.append(QString::fromStdString(text));
  };
  if (col != 1 || n <= kMeasureAll) {
    // Counts: equal amounts next to each other are rendered once.
    for (int r = 0; r < n; ++r) consider(r);
  } else {
    // The table's extreme numbers wherever they stand, and both ends of the
    // order (system-missing, strings, general notation).
    for (const int r : {m_table->SmallestNumberRow(), m_table->LargestNumberRow()})
      if (r >= 0) consider(r);
    for (int r = 0; r < kMeasureEnds; ++r) consider(r);
    for (int r = n - kMeasureEnds; r < n; ++r) consider(r);
  }
  return widest;
}

}  // namespace brindle
