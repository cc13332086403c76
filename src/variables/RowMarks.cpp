#include "variables/RowMarks.h"

#include <cstdlib>

namespace brindle {

RowMarks::RowMarks(Order order) : m_order(std::move(order)) {}

int RowMarks::Compare(Bookmark a, Bookmark b) const {
  if (m_order) return m_order(a, b);
  return a < b ? -1 : (a > b ? 1 : 0);
}

std::size_t RowMarks::LowerBound(Bookmark bm) const {
  // Binary search: copying many marks (select all over 100,000 variables)
  // must not be quadratic in the comparisons.
  std::size_t lo = 0;
  std::size_t hi = m_items.size();
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if (Compare(m_items[mid], bm) < 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

bool RowMarks::Contains(Bookmark bm) const {
  if (bm == kNoBookmark) return false;
  const std::size_t i = LowerBound(bm);
  return i < m_items.size() && m_items[i] == bm;
}

void RowMarks::Mark(Bookmark bm) {
  if (bm == kNoBookmark) return;
  const std::size_t i = LowerBound(bm);
  if (i < m_items.size() && m_items[i] == bm) return;
  m_items.insert(m_items.begin() + static_cast<std::ptrdiff_t>(i), bm);
}

void RowMarks::Unmark(Bookmark bm) {
  if (bm == kNoBookmark) return;
  const std::size_t i = LowerBound(bm);
  if (i < m_items.size() && m_items[i] == bm) {
    m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(i));
  }
}

void RowMarks::Toggle(Bookmark bm) {
  if (Contains(bm)) {
    Unmark(bm);
  } else {
    Mark(bm);
  }
}

void RowMarks::Clear() {
  m_items.clear();
  m_anchorPos = 0;
}

void RowMarks::ShiftStep(int fromPos, Bookmark from, int toPos, Bookmark to) {
  if (fromPos == toPos) return;
  if (!HasAnchor()) {
    m_anchorPos = fromPos;
    Mark(from);
    Mark(to);
    return;
  }
  if (std::abs(toPos - m_anchorPos) > std::abs(fromPos - m_anchorPos)) {
    Mark(to);
  } else {
    Unmark(from);
  }
}

}  // namespace brindle
