#include "codebook/FrequencyChart.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "codebook/HtmlText.h"
#include "format/FormatValue.h"

namespace brindle {
namespace {

constexpr double kRowHeight = 18;
constexpr double kFontSize = 11;
// About how wide a character of the chart's font is.
constexpr double kCharWidth = 6.2;

std::size_t Utf8Length(const std::string& s) {
  std::size_t n = 0;
  for (const char c : s)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  return n;
}

// s cut to at most `chars` characters, "..." marking the cut.
std::string Shortened(const std::string& s, std::size_t chars) {
  if (Utf8Length(s) <= chars) return s;
  std::size_t n = 0, i = 0;
  const std::size_t keep = chars > 3 ? chars - 3 : 0;
  for (; i < s.size(); ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80 && n++ == keep) break;
  }
  return s.substr(0, i) + "...";
}

void OpenSvg(double width, double height, std::string& out) {
  out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + SvgNumber(width) +
         "\" height=\"" + SvgNumber(height) + "\" viewBox=\"0 0 " + SvgNumber(width) + ' ' +
         SvgNumber(height) + "\" font-family=\"sans-serif\" font-size=\"" + SvgNumber(kFontSize) +
         "\">";
}

void Text(double x, double y, const char* anchor, const std::string& fill, const std::string& text,
          std::string& out) {
  out += "<text x=\"" + SvgNumber(x) + "\" y=\"" + SvgNumber(y) + "\" text-anchor=\"" + anchor +
         "\" fill=\"";
  AppendEscaped(fill, out);
  out += "\">";
  AppendEscaped(text, out);
  out += "</text>";
}

void Rect(double x, double y, double w, double h, const std::string& fill, std::string& out) {
  out += "<rect x=\"" + SvgNumber(x) + "\" y=\"" + SvgNumber(y) + "\" width=\"" +
         SvgNumber(std::max(0.0, w)) + "\" height=\"" + SvgNumber(std::max(0.0, h)) +
         "\" fill=\"";
  AppendEscaped(fill, out);
  out += "\"/>";
}

void Line(double x1, double y1, double x2, double y2, const std::string& stroke,
          std::string& out) {
  out += "<line x1=\"" + SvgNumber(x1) + "\" y1=\"" + SvgNumber(y1) + "\" x2=\"" + SvgNumber(x2) +
         "\" y2=\"" + SvgNumber(y2) + "\" stroke=\"";
  AppendEscaped(stroke, out);
  out += "\" stroke-width=\"1\"/>";
}

// A bin edge or count as a short general number: ten significant digits,
// so that sums of round widths print round.
std::string GeneralNumber(double x, const NumberSeparators& seps) {
  char buffer[64];
  const auto end =
      std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::general, 10);
  std::string s(buffer, end.ec == std::errc() ? end.ptr : buffer);
  if (const auto dot = s.find('.'); dot != std::string::npos) s.replace(dot, 1, seps.decimal);
  return s;
}

bool IsTimeFormat(int fmt) {
  return (fmt >= kFmtDate && fmt <= kFmtWkYr) || fmt == kFmtEDate || fmt == kFmtSDate;
}

}  // namespace

std::string BarChartSvg(const std::vector<ChartBar>& bars, double width,
                        const ChartColors& colors) {
  std::size_t labelChars = 0, amountChars = 0;
  double longest = 0;
  for (const ChartBar& b : bars) {
    labelChars = std::max(labelChars, Utf8Length(b.label));
    amountChars = std::max(amountChars, Utf8Length(b.amountText));
    longest = std::max(longest, b.amount);
  }
  const std::size_t maxLabel = std::max<std::size_t>(4, std::size_t(width / 3 / kCharWidth));
  labelChars = std::min(labelChars, maxLabel);
  const double labelWidth = double(labelChars) * kCharWidth + 8;
  const double amountWidth = double(amountChars) * kCharWidth + 8;
  const double barLeft = labelWidth;
  const double barSpace = std::max(20.0, width - labelWidth - amountWidth);
  const double height = std::max(1.0, double(bars.size())) * kRowHeight + 4;
  std::string out;
  OpenSvg(width, height, out);
  double y = 2;
  for (const ChartBar& b : bars) {
    const double length = longest > 0 && b.amount > 0 ? barSpace * b.amount / longest : 0;
    Text(barLeft - 4, y + 13, "end", colors.text, Shortened(b.label, labelChars), out);
    Rect(barLeft, y + 3, length, kRowHeight - 6, b.missing ? colors.missing : colors.bar, out);
    Text(barLeft + length + 4, y + 13, "start", colors.text, b.amountText, out);
    y += kRowHeight;
  }
  Line(barLeft, 2, barLeft, height - 2, colors.axis, out);
  out += "</svg>";
  return out;
}

Histogram HistogramOf(const FrequencyTable& table, int maxBins) {
  Histogram h;
  if (table.IsString() || maxBins < 1) return h;
  double low = 0, high = 0;
  bool any = false;
  for (int row = 0; row < table.Rows(); ++row) {
    if (!table.Valid(row) || !(table.Amount(row) > 0)) continue;
    const double x = table.Number(row);
    if (!std::isfinite(x)) continue;
    low = any ? std::min(low, x) : x;
    high = any ? std::max(high, x) : x;
    any = true;
  }
  if (!any) return h;
  const double range = high - low;
  if (!(range > 0) || !std::isfinite(range)) {
    h.start = low;
    h.binWidth = 1;
    h.counts.assign(1, 0);
  } else {
    const double rough = range / maxBins;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = power * 10;
    for (const double m : {1.0, 2.0, 5.0, 10.0})
      if (power * m >= rough) {
        step = power * m;
        break;
      }
    h.binWidth = step;
    h.start = std::floor(low / step) * step;
    const double bins = std::floor((high - h.start) / step) + 1;
    h.counts.assign(std::size_t(std::clamp(bins, 1.0, double(maxBins) + 1)), 0);
  }
  for (int row = 0; row < table.Rows(); ++row) {
    if (!table.Valid(row) || !(table.Amount(row) > 0)) continue;
    const double x = table.Number(row);
    if (!std::isfinite(x)) continue;
    const double bin = std::floor((x - h.start) / h.binWidth);
    const std::size_t i = std::size_t(std::clamp(bin, 0.0, double(h.counts.size() - 1)));
    h.counts[i] += table.Amount(row);
  }
  return h;
}

std::string HistogramSvg(const Histogram& histogram, double width, double height,
                         const std::function<std::string(double)>& edgeText,
                         const ChartColors& colors) {
  std::string out;
  OpenSvg(width, height, out);
  const double left = 8, right = 8, top = 16, bottom = 22;
  const double plotWidth = std::max(10.0, width - left - right);
  const double plotHeight = std::max(10.0, height - top - bottom);
  const std::size_t bins = histogram.counts.size();
  double most = 0;
  for (const double c : histogram.counts) most = std::max(most, c);
  if (bins > 0 && most > 0) {
    const double binPixels = plotWidth / double(bins);
    for (std::size_t i = 0; i < bins; ++i) {
      const double h = plotHeight * histogram.counts[i] / most;
      Rect(left + double(i) * binPixels + 0.5, top + plotHeight - h, binPixels - 1, h, colors.bar,
           out);
    }
    // A few edges named, evenly apart, the first and the last among them.
    const std::size_t every = std::max<std::size_t>(1, (bins + 4) / 5);
    std::vector<std::size_t> edges;
    for (std::size_t i = 0; i < bins; i += every) edges.push_back(i);
    if (edges.size() > 1 && bins - edges.back() < every / 2 + 1)
      edges.back() = bins;
    else
      edges.push_back(bins);
    for (const std::size_t i : edges) {
      const double x = left + double(i) * binPixels;
      Line(x, top + plotHeight, x, top + plotHeight + 4, colors.axis, out);
      const char* anchor = i == 0 ? "start" : i == bins ? "end" : "middle";
      Text(x, height - 6, anchor, colors.text,
           edgeText(histogram.start + double(i) * histogram.binWidth), out);
    }
    Text(left, top - 4, "start", colors.text, "most per bin: " + GeneralNumber(most, {}), out);
  }
  Line(left, top + plotHeight, left + plotWidth, top + plotHeight, colors.axis, out);
  out += "</svg>";
  return out;
}

bool ChartsAsBars(const FrequencyTable& table) {
  return table.IsString() || !table.Labels().empty() || table.Rows() <= kFewValues;
}

std::string FrequencyChartSvg(const FrequencyTable& table, const std::vector<int>& order,
                              double width, const ChartColors& colors, int maxBars) {
  const FrequencyTable::Layout& layout = table.GetLayout();
  if (!ChartsAsBars(table)) {
    const auto edge = [&](double x) {
      return IsTimeFormat(layout.format.Fmt)
                 ? FormatValue(x, layout.format, layout.usePrintFormat, layout.seps)
                 : GeneralNumber(x, layout.seps);
    };
    return HistogramSvg(HistogramOf(table), width, 180, edge, colors);
  }
  std::vector<ChartBar> bars;
  const int rows = order.empty() ? table.Rows() : int(order.size());
  for (int k = 0; k < rows && int(bars.size()) < maxBars; ++k) {
    const int row = order.empty() ? k : order[std::size_t(k)];
    if (row < 0 || row >= table.Rows()) continue;
    ChartBar bar;
    bar.label = table.Text(0, row);
    if (bar.label.empty()) bar.label = table.Text(1, row);
    // Print formats pad numbers to their width.
    bar.label.erase(0, std::min(bar.label.find_first_not_of(' '), bar.label.size()));
    bar.amountText = table.Text(2, row);
    bar.amount = table.Amount(row);
    bar.missing = !table.Valid(row);
    bars.push_back(std::move(bar));
  }
  return BarChartSvg(bars, width, colors);
}

}  // namespace brindle
