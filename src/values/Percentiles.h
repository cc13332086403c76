// Percentiles of a numeric frequency table, as PSPP's FREQUENCIES computes
// them by default: with W the number (or weight sum) of the valid values,
// the percentile p lies at the 0-based rank r = (W - 1) p of the sorted
// valid values. Its value x1 is the first whose cumulative count exceeds r;
// unless that count exceeds r by more than 1, the next distinct value x2 is
// interpolated towards by the fraction of r: x1 + frac(r) (x2 - x1). With
// whole counts this is the usual linear interpolation between order
// statistics (R's type 7, a spreadsheet's PERCENTILE).
#pragma once

#include <vector>

#include "values/FrequencyTable.h"

namespace brindle {

// The percentiles ps (each in [0, 1]) of table's valid rows, taken in the
// table's order (ascending, as a pass fills it). NaN for each when the table
// has no valid row with an amount above 0 or holds strings.
std::vector<double> TablePercentiles(const FrequencyTable& table, const std::vector<double>& ps);

}  // namespace brindle
