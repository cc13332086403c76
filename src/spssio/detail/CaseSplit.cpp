#include "spssio/detail/CaseSplit.h"

#include <algorithm>

#include "spssio/detail/SavReader.h"

namespace brindle {

std::int64_t KnownCases(const SavReader& reader) {
  const CaseLayout& layout = reader.cases().layout();
  std::int64_t cases = 0;
  if (layout.compression == 0) {
    cases = std::max<std::int64_t>(0, reader.cases().uncompressedCaseCount());
  } else if (const CaseIndex* index = reader.caseIndex()) {
    cases = index->cases;
  }
  if (layout.caseLimit >= 0) cases = std::min(cases, layout.caseLimit);
  return cases;
}

namespace {

// The last index point whose first case is at or before target; null when none.
const CasePoint* PointAtOrBefore(const CaseIndex& index, std::int64_t target) {
  auto after =
      std::upper_bound(index.points.begin(), index.points.end(), target,
                       [](std::int64_t t, const CasePoint& p) { return t < p.firstCase(); });
  return after == index.points.begin() ? nullptr : &*(after - 1);
}

}  // namespace

std::vector<CaseSegment> SplitCases(const SavReader& reader, CaseRange range, std::size_t parts) {
  std::vector<CaseSegment> segments;
  const std::int64_t known = KnownCases(reader);
  const bool openEnded = range.end == CaseRange::kToEnd;
  const std::int64_t end = openEnded ? known : range.end;
  if (parts < 2 || range.first < 0 || end - range.first < 2 || end > known) return segments;
  const std::int64_t cases = end - range.first;
  const auto shareStart = [&](std::size_t k) {
    return range.first + cases * std::int64_t(k) / std::int64_t(parts);
  };
  if (reader.cases().layout().compression == 0) {
    // Cases lie at fixed offsets.
    for (std::size_t k = 0; k < parts; ++k) {
      CaseSegment seg;
      seg.from.cases = shareStart(k);
      seg.end = shareStart(k + 1);
      if (seg.end > seg.from.cases) segments.push_back(seg);
    }
  } else {
    const CaseIndex* index = reader.caseIndex();
    if (!index) return segments;
    // Each segment starts at the last point at or before its share's start.
    for (std::size_t k = 0; k < parts; ++k) {
      const CasePoint* from = PointAtOrBefore(*index, shareStart(k));
      if (!from) continue;
      if (!segments.empty() && from->firstCase() <= segments.back().from.firstCase()) continue;
      if (!segments.empty()) segments.back().end = from->firstCase();
      segments.push_back({*from, end});
    }
    if (segments.empty() || segments.front().from.firstCase() > range.first) segments.clear();
  }
  if (segments.size() < 2) segments.clear();
  // Whatever follows the cases known is read by the last segment, as one
  // pass would read it: more cases, or the damage that ends the data.
  if (openEnded && !segments.empty()) segments.back().end = CaseRange::kToEnd;
  return segments;
}

std::optional<CaseSegment> StartOf(const SavReader& reader, CaseRange range) {
  if (range.first <= 0) return std::nullopt;
  if (reader.cases().layout().compression == 0) {
    if (range.first > KnownCases(reader)) return std::nullopt;
    CaseSegment seg;
    seg.from.cases = range.first;
    seg.end = range.end;
    return seg;
  }
  const CaseIndex* index = reader.caseIndex();
  if (!index || range.first > index->cases) return std::nullopt;
  const CasePoint* from = PointAtOrBefore(*index, range.first);
  if (!from || from->firstCase() == 0) return std::nullopt;
  return CaseSegment{*from, range.end};
}

}  // namespace brindle
