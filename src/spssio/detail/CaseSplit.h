// Where a pass over a range of cases can start and split: the one splitter
// of every pass, at fixed offsets in uncompressed data and at the case
// index's points in compressed data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "spssio/ColumnPass.h"
#include "spssio/detail/ColumnScanner.h"

namespace brindle {

class SavReader;

// The cases known to be readable without a full pass: an uncompressed file's
// complete cases, the cases a compressed file's index covers (0 without one),
// within the count the header promises.
std::int64_t KnownCases(const SavReader& reader);

// About `parts` segments that together hold range, in order; the first
// starts at or before range.first (a reader drops the cases before it).
// When range.end is CaseRange::kToEnd the known cases are split and the last
// segment reads on to the end of the data, as a pass from the first case
// would. Empty when the range cannot be split: fewer than two parts or
// cases, or cases beyond what is known.
std::vector<CaseSegment> SplitCases(const SavReader& reader, CaseRange range, std::size_t parts);

// Where a pass over range can start without reading the cases before it: the
// index point at or before range.first (uncompressed data: the case itself);
// nullopt when only the first case will do.
std::optional<CaseSegment> StartOf(const SavReader& reader, CaseRange range);

}  // namespace brindle
