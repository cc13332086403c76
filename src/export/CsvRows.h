// The rows of a data export as text: the header row, one line per case, and
// the warning of data that ends early. The export writes its batches of cases
// with these; checks that read the cases another way write theirs alike.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "export/CsvExport.h"

namespace brindle {

// The header row: the columns' names.
void AppendCsvHeader(std::string& line, const std::vector<ExportColumn>& columns);

// Why an export holds only `rows` cases: the data ended before the file's
// count (total, -1 when unknown) or could not be read on (why).
std::string ShortDataWarning(std::int64_t rows, std::int64_t total, const std::string& why);

// Appends case `row` (Number(c), Text(c) of each column) as one CSV line.
template <class Row>
inline void AppendDataRow(std::string& line, Row& row, const std::vector<ExportColumn>& columns,
                          DataMode mode, double sysmis) {
  const std::size_t start = line.size();
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (c) line += ',';
    const ExportColumn& col = columns[c];
    if (col.width > 0) {
      const std::string_view text = TrimTrailingBlanks(row.Text(c));
      if (mode == DataMode::Labels && !col.textLabels.empty()) {
        const auto it = col.textLabels.find(std::string(text));
        if (it != col.textLabels.end()) {
          AppendCsvField(line, it->second);
          continue;
        }
      }
      AppendCsvField(line, text);
      continue;
    }
    const double x = row.Number(c);
    if (mode == DataMode::Raw || x == sysmis) {
      AppendNumberField(line, x, sysmis);
      continue;
    }
    if (mode == DataMode::Labels) {
      const auto it = col.numberLabels.find(x);
      if (it != col.numberLabels.end()) {
        AppendCsvField(line, it->second);
        continue;
      }
    }
    AppendCsvField(line, FormattedNumber(x, col.format));
  }
  // An empty line is no row to CSV readers: a lone empty field is quoted.
  if (line.size() == start) line += "\"\"";
  line += '\n';
}

}  // namespace brindle
