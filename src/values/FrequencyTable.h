// The rows of a frequency table as the pass leaves them: per distinct value
// the value itself, its count (or weight sum), whether it is valid and which
// label it has. The five texts a row shows (label, value, count, % total,
// % valid) are rendered only when asked for, so a table of millions of
// distinct values costs memory for the values, not for their texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "format/FormatValue.h"

namespace brindle {

class FrequencyTable {
 public:
  // How the rows are rendered: the variable's print format and the pass's
  // options, and the totals the percentages are of.
  struct Layout {
    PrintFormat format;
    bool usePrintFormat = true;
    NumberSeparators seps;
    double sysmis = 0;  // shown as "SYSMIS"
    bool weighted = false;
    double total = 0;  // of "% Total"
    double valid = 0;  // of "% Valid"; 0 leaves that column empty
  };

  FrequencyTable() = default;
  explicit FrequencyTable(Layout layout, bool isString);
  bool IsString() const { return m_isString; }

  // Rows are added in the order they are shown, label -1 for none, else an
  // index into Labels().
  void Reserve(std::size_t rows);
  void AddNumber(double value, std::int64_t count, double weight, bool valid, std::int32_t label);
  void AddString(std::string value, std::int64_t count, double weight, bool valid,
                 std::int32_t label);
  // The totals the percentages are of, once all rows are counted.
  void SetTotals(double total, double valid) {
    m_layout.total = total;
    m_layout.valid = valid;
  }
  // Adds a distinct label text; returns its index.
  std::int32_t AddLabel(std::string text);

  int Rows() const { return static_cast<int>(m_valid.size()); }
  // The rows of the smallest and the largest number (system-missing left
  // out), kept while the rows are added; -1 in a string table or one without
  // numbers. In fixed notation the longest value texts are among these two.
  int SmallestNumberRow() const { return m_smallestRow; }
  int LargestNumberRow() const { return m_largestRow; }

  // The text of column col (0 label, 1 value, 2 count, 3 % total,
  // 4 % valid) of row; empty outside the table.
  std::string Text(int col, int row) const;
  // The same, appended to out.
  void AppendText(int col, int row, std::string& out) const;

  // Renders rows one after another (printing, copying): a row whose amount
  // and validity equal those of the row rendered before it (every row of a
  // variable whose values are all distinct) reuses its count and percentage
  // texts.
  class Renderer {
   public:
    explicit Renderer(const FrequencyTable& table) : m_table(table) {}
    void Append(int col, int row, std::string& out);

   private:
    struct Last {
      int row = -1;
      std::string text;
    };
    const FrequencyTable& m_table;
    Last m_last[3];
  };

  // What row stands for: its number (numeric tables) or text (string
  // tables), its count or weight sum, and whether it is valid. row must be
  // in range.
  double Number(int row) const { return m_numbers[static_cast<std::size_t>(row)]; }
  const std::string& String(int row) const { return m_strings[static_cast<std::size_t>(row)]; }
  double Amount(int row) const {
    const auto r = static_cast<std::size_t>(row);
    return m_layout.weighted ? m_weights[r] : double(m_counts[r]);
  }
  bool Valid(int row) const { return m_valid[static_cast<std::size_t>(row)] != 0; }
  const Layout& GetLayout() const { return m_layout; }

  // The label of row: an index into Labels(), or -1.
  std::int32_t LabelOf(int row) const { return m_labelOf[static_cast<std::size_t>(row)]; }
  const std::vector<std::string>& Labels() const { return m_labels; }
  // Row by row, the number the count column's text stands for (the count,
  // or the weight sum as it is rounded for showing).
  std::vector<std::int64_t> CountKeys() const;

 private:
  bool SameAmount(std::size_t a, std::size_t b) const;
  void AppendAmount(int col, std::size_t row, std::string& out) const;

  Layout m_layout;
  bool m_isString = false;
  std::vector<double> m_numbers;       // numeric tables
  std::vector<std::string> m_strings;  // string tables
  std::vector<std::int64_t> m_counts;  // unweighted tables
  std::vector<double> m_weights;       // weighted tables
  std::vector<std::uint8_t> m_valid;
  std::vector<std::int32_t> m_labelOf;
  std::vector<std::string> m_labels;
  int m_smallestRow = -1;
  int m_largestRow = -1;
};

}  // namespace brindle
