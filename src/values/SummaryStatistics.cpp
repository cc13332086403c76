#include "values/SummaryStatistics.h"

#include <cmath>
#include <cstdint>

namespace brindle {

void SummaryStatistics::AddValid(double x, double c) {
  if (x < m_minimum) m_minimum = x;
  if (x > m_maximum) m_maximum = x;
  m_sum += c * x;
  m_sumOfSquares += c * x * x;
  m_valid += c;
}

std::vector<std::string> SummaryStatistics::Lines(bool weighted, double total, const PrintFormat& format,
                                                  bool usePrintFormat, const NumberSeparators& seps) const {
  const double n = m_valid;
  if (n < 2) return {};
  const double meanTerm = m_sum * m_sum / n;
  double variance = (m_sumOfSquares - meanTerm) / (n - 1);
  if (variance < 0) variance = 0;
  const double stddev = std::sqrt(variance);
  const double mean = m_sum / n;

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
      "missing\t" + count(m_missing) + "\tmaximum\t" + value(m_maximum) + "\tstddev\t" + statistic(stddev),
      "total\t" + count(total) + "\tsum\t" + value(m_sum) + "\tvariance\t" + statistic(variance),
  };
}

}  // namespace brindle
