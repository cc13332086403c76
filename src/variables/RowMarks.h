// The marked rows of the variables grid, held as record identities of the
// variables table and kept in the order of the records' positions, plus the
// anchor of keyboard range marking (Shift+Up/Down).
//
// GUI-free; the grid supplies the order of two identities (normally
// VariableList::CompareBookmarks) and the view positions of the rows it moves
// between.
#pragma once

#include <functional>
#include <vector>

#include "variables/VariableList.h"

namespace brindle {

class RowMarks {
 public:
  // -1, 0, 1 by the records' positions; identities that compare 0 are the same mark.
  using Order = std::function<int(Bookmark, Bookmark)>;

  // Without an order the identities' own values order the marks.
  explicit RowMarks(Order order = nullptr);
  void SetOrder(Order order) { m_order = std::move(order); }

  // The marks in the order of their records' positions at the time they were
  // marked (every re-sort of the table drops the marks, so that order holds).
  const std::vector<Bookmark>& Items() const { return m_items; }
  bool Empty() const { return m_items.empty(); }
  int Count() const { return static_cast<int>(m_items.size()); }

  bool Contains(Bookmark bm) const;
  // Marking a marked row, unmarking an unmarked one and any kNoBookmark are ignored.
  void Mark(Bookmark bm);
  void Unmark(Bookmark bm);
  void Toggle(Bookmark bm);
  // Drops every mark and forgets the anchor.
  void Clear();

  // One Shift+Up/Down step from the row at view position fromPos (identity
  // from) to the row at toPos (identity to). The first step after the anchor
  // was forgotten makes fromPos the anchor and marks both rows; later steps
  // mark the row arrived at when moving away from the anchor and unmark the
  // row being left when moving back towards it. A step that did not move
  // (fromPos == toPos) changes nothing.
  void ShiftStep(int fromPos, Bookmark from, int toPos, Bookmark to);
  bool HasAnchor() const { return m_anchorPos > 0; }
  int AnchorPos() const { return m_anchorPos; }
  void ForgetAnchor() { m_anchorPos = 0; }

 private:
  // Index of the first item not ordered before bm.
  std::size_t LowerBound(Bookmark bm) const;
  int Compare(Bookmark a, Bookmark b) const;

  Order m_order;
  std::vector<Bookmark> m_items;
  int m_anchorPos = 0;  // 1-based view position; 0 = none
};

}  // namespace brindle
