// Row orders of the values grid: which fill-order row goes where when the
// rows are sorted by their label or by their count. The grid keeps its rows
// in fill order and only shows them in the order computed here.
//
// Orders are lists of fill-order indices, 0 for the first data row; entry k
// is the row shown at place k. Ascending orders are stable (equal keys keep
// their fill order); a descending order is the exact reverse of the
// ascending one, ties included.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace brindle {

// Labels compare unit by unit in code point order, unfolded and without
// locale ("Zebra" before "apple"); a text that is a prefix of another comes
// first, so rows without a label lead. Only the first 255 characters count.
std::vector<std::int32_t> SortRowsByLabel(std::span<const std::u16string_view> labels,
                                          bool descending);

// The same order for rows whose labels are indices into a list of distinct
// texts (-1: no label, which sorts as an empty text): each distinct text is
// compared once and the rows are placed by its rank, so millions of rows
// with a few labels cost a pass rather than a sort.
std::vector<std::int32_t> SortRowsByLabelIndex(std::span<const std::int32_t> labelOf,
                                               std::span<const std::u16string_view> labels,
                                               bool descending);

// Counts compare as 64-bit numbers (9 before 10, sums above 2^31 in place).
std::vector<std::int32_t> SortRowsByCount(std::span<const std::int64_t> counts, bool descending);

// The number a "Freq" text stands for: its digits, read as one 64-bit
// integer whatever group separators sit between them, negative after a
// leading "-". Text without digits (an empty cell) reads as the lowest
// value, so it sorts first; numbers too large saturate.
std::int64_t CountTextValue(std::u16string_view text);

// 0, 1, ..., n - 1, or its reverse.
std::vector<std::int32_t> FillOrder(std::int32_t n, bool descending);

}  // namespace brindle
