// The values grid's view of a frequency table: the rows' texts made when a
// cell is shown, the keyed orders of the title clicks, a copied block, and
// the texts that decide a column's width, all without rendering every text
// of a table of millions of rows first.
#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

#include "values/ui/ValuesGridModel.h"
#include "values/FrequencyTable.h"

namespace brindle {

class FrequencyRows : public ValueRows {
 public:
  explicit FrequencyRows(std::shared_ptr<const FrequencyTable> table);

  int Count() const override { return m_table->Rows(); }
  QString Text(int col, int row) const override;
  const FrequencyTable& Table() const { return *m_table; }

  // The orders of the label key and the count key (shared by the count and
  // percentage columns), as the grid's lists would sort them.
  std::vector<std::int32_t> LabelOrder(bool descending) const;
  std::vector<std::int32_t> CountOrder(bool descending) const;

  // Columns left..right of the given rows, a tab after each cell and CR LF
  // after each row; rows outside the table give empty cells.
  QString BlockText(const std::vector<std::int32_t>& rows, int left, int right) const;

  // Texts of column col among which its widest is: those with the most
  // characters other than blanks (padding), taken from every row, or for
  // the value column of a long table from its smallest and largest numbers
  // and both ends.
  QStringList WidthCandidates(int col) const;

 private:
  std::shared_ptr<const FrequencyTable> m_table;
};

}  // namespace brindle
