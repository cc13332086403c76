#include "values/RowOrder.h"

#include <algorithm>
#include <limits>
#include <numeric>
#include <utility>

namespace brindle {

namespace {

constexpr std::size_t kLabelKeyChars = 255;

// UTF-16 units rearranged so that comparing them gives code point order:
// surrogates (supplementary characters) sort after U+E000..U+FFFF.
inline char16_t CodePointRank(char16_t u) {
  if (u >= 0xE000) return static_cast<char16_t>(u - 0x800);
  if (u >= 0xD800) return static_cast<char16_t>(u + 0x2000);
  return u;
}

// The units of the first kLabelKeyChars characters (a surrogate pair is one).
std::u16string_view LabelKey(std::u16string_view s) {
  std::size_t units = 0;
  for (std::size_t chars = 0; units < s.size() && chars < kLabelKeyChars; ++chars) {
    const char16_t u = s[units];
    units += (u >= 0xD800 && u < 0xDC00 && units + 1 < s.size()) ? 2 : 1;
  }
  return s.substr(0, units);
}

bool LabelLess(std::u16string_view a, std::u16string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return CodePointRank(a[i]) < CodePointRank(b[i]);
  }
  return a.size() < b.size();
}

void Finish(std::vector<std::int32_t>& order, bool descending) {
  if (descending) std::reverse(order.begin(), order.end());
}

}  // namespace

std::vector<std::int32_t> SortRowsByLabel(std::span<const std::u16string_view> labels,
                                          bool descending) {
  std::vector<std::u16string_view> keys;
  keys.reserve(labels.size());
  for (std::u16string_view s : labels) keys.push_back(LabelKey(s));
  std::vector<std::int32_t> order = FillOrder(static_cast<std::int32_t>(labels.size()), false);
  std::stable_sort(order.begin(), order.end(),
                   [&keys](std::int32_t a, std::int32_t b) { return LabelLess(keys[a], keys[b]); });
  Finish(order, descending);
  return order;
}

std::vector<std::int32_t> SortRowsByLabelIndex(std::span<const std::int32_t> labelOf,
                                               std::span<const std::u16string_view> labels,
                                               bool descending) {
  // Rank 0 is the empty text of rows without a label; equal keys share a rank.
  const auto n = static_cast<std::int32_t>(labels.size());
  std::vector<std::int32_t> byText = FillOrder(n, false);
  std::vector<std::u16string_view> keys;
  keys.reserve(labels.size());
  for (std::u16string_view s : labels) keys.push_back(LabelKey(s));
  std::stable_sort(byText.begin(), byText.end(),
                   [&keys](std::int32_t a, std::int32_t b) { return LabelLess(keys[a], keys[b]); });
  std::vector<std::int32_t> rank(labels.size() + 1, 0);
  std::int32_t next = 0;
  std::u16string_view previous;
  for (const std::int32_t i : byText) {
    if (LabelLess(previous, keys[i])) {
      ++next;
      previous = keys[i];
    }
    rank[static_cast<std::size_t>(i) + 1] = next;
  }
  // A stable counting sort of the rows by rank.
  std::vector<std::int32_t> start(static_cast<std::size_t>(next) + 2, 0);
  const auto rankOf = [&](std::int32_t label) {
    return label >= 0 && label < n ? rank[static_cast<std::size_t>(label) + 1] : 0;
  };
  for (const std::int32_t label : labelOf) ++start[static_cast<std::size_t>(rankOf(label)) + 1];
  for (std::size_t r = 1; r < start.size(); ++r) start[r] += start[r - 1];
  std::vector<std::int32_t> order(labelOf.size());
  for (std::size_t i = 0; i < labelOf.size(); ++i)
    order[static_cast<std::size_t>(start[static_cast<std::size_t>(rankOf(labelOf[i]))]++)] =
        static_cast<std::int32_t>(i);
  Finish(order, descending);
  return order;
}

std::vector<std::int32_t> SortRowsByCount(std::span<const std::int64_t> counts, bool descending) {
  // Pairs of (count, fill index) are all distinct, so a plain sort of the
  // pairs is stable by construction and keeps the keys next to each other.
  std::vector<std::pair<std::int64_t, std::int32_t>> keyed(counts.size());
  for (std::size_t i = 0; i < counts.size(); ++i)
    keyed[i] = {counts[i], static_cast<std::int32_t>(i)};
  std::sort(keyed.begin(), keyed.end());
  std::vector<std::int32_t> order(keyed.size());
  for (std::size_t k = 0; k < keyed.size(); ++k) order[k] = keyed[k].second;
  Finish(order, descending);
  return order;
}

std::int64_t CountTextValue(std::u16string_view text) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  std::size_t i = 0;
  while (i < text.size() && text[i] == u' ') ++i;
  const bool negative = i < text.size() && text[i] == u'-';
  bool digits = false;
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c < u'0' || c > u'9') continue;
    digits = true;
    const int d = c - u'0';
    value = value > (kMax - d) / 10 ? kMax : value * 10 + d;
  }
  if (!digits) return std::numeric_limits<std::int64_t>::min();
  return negative ? -value : value;
}

std::vector<std::int32_t> FillOrder(std::int32_t n, bool descending) {
  std::vector<std::int32_t> order(static_cast<std::size_t>(std::max<std::int32_t>(n, 0)));
  std::iota(order.begin(), order.end(), 0);
  Finish(order, descending);
  return order;
}

}  // namespace brindle
