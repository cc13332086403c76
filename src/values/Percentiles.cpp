#include "values/Percentiles.h"

#include <cmath>
#include <limits>

namespace brindle {

std::vector<double> TablePercentiles(const FrequencyTable& table, const std::vector<double>& ps) {
  std::vector<double> out(ps.size(), std::numeric_limits<double>::quiet_NaN());
  if (table.IsString()) return out;
  // The valid rows with an amount, in order.
  std::vector<int> rows;
  double total = 0;
  for (int row = 0; row < table.Rows(); ++row) {
    if (!table.Valid(row) || !(table.Amount(row) > 0)) continue;
    rows.push_back(row);
    total += table.Amount(row);
  }
  if (rows.empty()) return out;
  for (std::size_t k = 0; k < ps.size(); ++k) {
    const double rank = (total - 1) * ps[k];
    const double fraction = rank - std::trunc(rank);
    double cumulative = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      cumulative += table.Amount(rows[i]);
      if (cumulative <= rank && i + 1 < rows.size()) continue;
      const double x1 = table.Number(rows[i]);
      const double x2 =
          cumulative - rank > 1 || i + 1 == rows.size() ? x1 : table.Number(rows[i + 1]);
      out[k] = x1 + fraction * (x2 - x1);
      break;
    }
  }
  return out;
}

}  // namespace brindle
