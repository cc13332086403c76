// The summary statistics under a numeric variable's frequency table, from
// its distinct values and their counts or weight sums: number, minimum,
// maximum, mean, standard deviation, variance and sum of the valid values,
// the number of missing values and the total.
#pragma once

#include <string>
#include <vector>

#include "format/FormatValue.h"

namespace brindle {

class SummaryStatistics {
 public:
  // lowest/highest: the module's lowest and highest values, where maximum
  // and minimum start.
  SummaryStatistics(double lowest, double highest) : m_minimum(highest), m_maximum(lowest) {}

  // One distinct valid value x occurring c times (or with weight sum c).
  void AddValid(double x, double c);
  // Missing entries: c more cases (or that much weight).
  void AddMissing(double c) { m_missing += c; }

  double Valid() const { return m_valid; }
  double Missing() const { return m_missing; }
  double Mean() const { return m_shift + m_shiftedMean; }
  // The sample variance of the frequency-expanded data (divisor n - 1), never
  // below 0; 0 for fewer than 2 valid cases.
  double Variance() const;

  // The three lines of the statistics box (valid/minimum/mean,
  // missing/maximum/stddev, total/sum/variance, tab-separated), or none when
  // the box stays hidden: fewer than 2 valid cases (2.0 weighted). Counts are
  // decimal integers, or with weighting the fixed form without decimals;
  // minimum, maximum and sum follow the print format like the values; mean,
  // standard deviation and variance are FormatStatistic's. The variance is
  // Variance().
  std::vector<std::string> Lines(bool weighted, double total, const PrintFormat& format,
                                 bool usePrintFormat, const NumberSeparators& seps) const;

 private:
  double m_minimum, m_maximum;
  double m_sum = 0;
  double m_shift = 0, m_shiftedMean = 0, m_squaredDeviations = 0;
  double m_valid = 0, m_missing = 0;
};

// The statistics box's lines rearranged for a narrow box: the three
// label/value pairs of each line in `lines` become columns, and each output
// line holds `pairsPerLine` of them: with 2, the first two columns side by
// side (valid/minimum, missing/maximum, total/sum) and then the third
// (mean, stddev; variance). With 3 or more the lines stand as they are.
std::vector<std::string> StatisticsLines(const std::vector<std::string>& lines, int pairsPerLine);

}  // namespace brindle
