#include "values/SummaryStatistics.h"

#include <cmath>
#include <cstdint>

namespace brindle {

void SummaryStatistics::AddValid(double x, double c) {
  if (x < m_minimum) m_minimum = x;
  if (x > m_maximum) m_maximum = x;
  m_sum += c * x;
  if (!(c > 0)) return;
  // West's weighted form of Welford's update: the mean and the sum of squared
  // deviations from it grow per distinct value, so large values close
  // together do not cancel as a sum of squares minus the squared sum would.
  // The values are taken relative to the first one, so that the deviations
  // of dates (around 1.4E10 seconds) keep their fractions of a second.
  if (m_valid == 0) m_shift = x;
  m_valid += c;
  const double delta = (x - m_shift) - m_shiftedMean;
  m_shiftedMean += delta * c / m_valid;
  m_squaredDeviations += c * delta * ((x - m_shift) - m_shiftedMean);
}

double SummaryStatistics::Variance() const {
  if (m_valid < 2) return 0;
  const double variance = m_squaredDeviations / (m_valid - 1);
  return variance > 0 ? variance : 0;
}

std::vector<std::string> SummaryStatistics::Lines(bool weighted, double total,
                                                  const PrintFormat& format, bool usePrintFormat,
                                                  const NumberSeparators& seps) const {
  const double n = m_valid;
  if (n < 2) return {};
  const double variance = Variance();
  const double stddev = std::sqrt(variance);
  const double mean = Mean();

  auto count = [&](double c) {
    return weighted ? FixedText(c, 0, 0, seps) : std::to_string(static_cast<std::int64_t>(c));
  };
  auto value = [&](double x) { return FormatValue(x, format, usePrintFormat, seps); };
  auto statistic = [&](double x) {
    std::string text;
    FormatStatistic(x, format, usePrintFormat, seps, text);
    return text;
  };
  return {
      "valid\t" + count(n) + "\tminimum\t" + value(m_minimum) + "\tmean\t" + statistic(mean),
      "missing\t" + count(m_missing) + "\tmaximum\t" + value(m_maximum) + "\tstddev\t" +
          statistic(stddev),
      "total\t" + count(total) + "\tsum\t" + value(m_sum) + "\tvariance\t" + statistic(variance),
  };
}

std::vector<std::string> StatisticsLines(const std::vector<std::string>& lines, int pairsPerLine) {
  if (pairsPerLine >= 3 || pairsPerLine < 1) return lines;
  // Each line is label, tab, value, tab, label, ... : cut it into its pairs.
  std::vector<std::vector<std::string>> columns(3);
  for (const std::string& line : lines) {
    std::vector<std::string> fields;
    std::size_t from = 0;
    for (std::size_t tab; (tab = line.find('\t', from)) != std::string::npos; from = tab + 1)
      fields.push_back(line.substr(from, tab - from));
    fields.push_back(line.substr(from));
    for (std::size_t p = 0; p < 3; ++p) {
      const std::size_t f = 2 * p;
      if (f < fields.size())
        columns[p].push_back(fields[f] + '\t' + (f + 1 < fields.size() ? fields[f + 1] : ""));
    }
  }
  std::vector<std::string> pairs;
  for (const auto& column : columns) pairs.insert(pairs.end(), column.begin(), column.end());
  // Column-major reading: the first columns side by side row by row, the rest after.
  std::vector<std::string> out;
  const std::size_t rows = columns[0].size();
  std::size_t next = 0;
  if (pairsPerLine == 2 && columns[1].size() == rows) {
    for (std::size_t r = 0; r < rows; ++r) out.push_back(columns[0][r] + '\t' + columns[1][r]);
    next = 2 * rows;
  }
  for (std::size_t k = next; k < pairs.size(); k += static_cast<std::size_t>(pairsPerLine)) {
    std::string line = pairs[k];
    for (std::size_t j = 1; j < static_cast<std::size_t>(pairsPerLine) && k + j < pairs.size(); ++j)
      line += '\t' + pairs[k + j];
    out.push_back(line);
  }
  return out;
}

}  // namespace brindle
