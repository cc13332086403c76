// The variables table: one VarRecord per variable of the open data file, a
// filtered view over them, a cursor in that view, sorting by one field, record
// identities (bookmarks) and the suspension of attached views during bulk work.
//
// GUI-free. A grid binds to it through a TableViewListener (for example a Qt
// model adapter); the program's cursor-moved handler is the AfterScroll hook.
// Everything runs on one thread.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "variables/VarRecord.h"

namespace brindle {

enum SortOption : std::uint8_t { soDesc, soCaseInsensitive };

// A set of SortOption values.
class SortOptionSet {
 public:
  constexpr SortOptionSet() = default;
  constexpr SortOptionSet(std::initializer_list<SortOption> options) {
    for (SortOption o : options) Include(o);
  }
  constexpr bool Contains(SortOption o) const { return (m_bits & Bit(o)) != 0; }
  constexpr void Include(SortOption o) { m_bits |= Bit(o); }
  constexpr void Exclude(SortOption o) { m_bits &= static_cast<std::uint8_t>(~Bit(o)); }
  constexpr bool operator==(const SortOptionSet&) const = default;

 private:
  static constexpr std::uint8_t Bit(SortOption o) { return static_cast<std::uint8_t>(1u << o); }
  std::uint8_t m_bits = 0;
};

enum class FieldKind { Integer, Double, Text };

using FieldValue = std::variant<std::int32_t, double, std::string>;

// Identity of a record that survives sorting and filtering. Identities are
// never reused, so a bookmark taken before Clear matches nothing afterwards.
using Bookmark = std::uint64_t;
inline constexpr Bookmark kNoBookmark = 0;

// What an attached view (a grid) is told. Nothing is sent while controls are
// disabled; re-enabling them sends one ViewReset.
class TableViewListener {
 public:
  virtual ~TableViewListener() = default;
  // Content, order or view changed, or views were resumed: show everything anew.
  virtual void ViewReset() = 0;
  // The cursor moved to another row of an unchanged view.
  virtual void CurrentChanged() = 0;
};

class VariableList {
 public:
  using ScrollHandler = std::function<void(VariableList&)>;
  using FilterHandler = std::function<void(VariableList&, bool& accept)>;

  VariableList() = default;
  VariableList(const VariableList&) = delete;
  VariableList& operator=(const VariableList&) = delete;

  // --- Fields (the same for every table) ---------------------------------

  // Field number of a name, matched without regard to ASCII letter case
  // ("MissingFormat" finds missingFormat); -1 when no field has that name.
  static int FieldNumber(std::string_view name);
  // Declared name of a field; empty for a number outside 0..kVarFieldCount-1.
  static std::string_view FieldName(int field);
  // Kind of a field's values; Text for a number outside the fields.
  static FieldKind KindOf(int field);
  // The value of one field of a record.
  static FieldValue FieldOf(const VarRecord& rec, int field);

  // --- Open state and loading --------------------------------------------

  // A closed table holds no records; Close empties it. SortedField,
  // SortOptions and Filtered keep their values across Close and Clear.
  void Open();
  void Close();
  bool Active() const { return m_active; }

  // Empties records, view and cursor.
  void Clear();
  // Appends a record at the end of storage order; it becomes visible at the
  // next EndLoad. Ignored (returns kNoBookmark) while the table is closed.
  Bookmark AppendRecord(VarRecord rec);
  // Makes every appended record part of the content: the view is the whole
  // table, sorted by SortedField when that names a field, and the cursor is
  // on the first record. Views are reset once; AfterScroll is not called.
  void EndLoad();

  // --- View and cursor ---------------------------------------------------

  // Number of records in the view.
  int RecordCount() const;
  // Number of loaded records, whether in the view or not.
  int StoredCount() const { return static_cast<int>(m_loaded); }
  // A loaded record by storage position (0..StoredCount()-1), in the view or
  // not; nullptr outside.
  const VarRecord* StoredRecord(int i) const {
    return i >= 0 && std::size_t(i) < m_loaded ? &m_rows[std::size_t(i)].rec : nullptr;
  }
  // 1-based position of the current record in the view; 0 when it is empty.
  int RecNo() const;
  // Moves to the 1-based view position, clamped to the view. Calls AfterScroll.
  void SetRecNo(int recNo);
  // True after a forward move was attempted past the last record, and
  // whenever the view is empty. Every other move clears it.
  bool Eof() const { return m_eof || RecordCount() == 0; }

  // Cursor movements. First and Last always call AfterScroll (when attached);
  // Next, Prior and MoveBy call it when the cursor moved.
  void First();
  void Last();
  void Next() { MoveBy(1); }
  void Prior() { MoveBy(-1); }
  // Moves n records within the view, stopping at its ends. Returns the
  // number of records actually moved (signed).
  int MoveBy(int n);

  // The current record; nullptr when the view is empty.
  const VarRecord* Current() const;
  // A record of the view by 0-based row, without moving the cursor (for a
  // grid model); nullptr for a row outside the view.
  const VarRecord* ViewRecord(int row) const;

  // Values of the current record by field number or name; nullopt when the
  // view is empty or there is no such field.
  std::optional<FieldValue> Field(int field) const;
  std::optional<FieldValue> FieldByName(std::string_view name) const;
  // Conveniences: the field as text (numbers in decimal), as an integer
  // (doubles truncated, texts 0), as a double (texts 0). Empty/0 where
  // Field gives nullopt.
  std::string FieldAsText(std::string_view name) const;
  std::int32_t FieldAsInteger(std::string_view name) const;
  double FieldAsDouble(std::string_view name) const;

  // --- Bookmarks ---------------------------------------------------------

  // Identity of the current record; kNoBookmark when the view is empty.
  Bookmark GetBookmark() const;
  // Identity of a view row (0-based); kNoBookmark outside the view.
  Bookmark BookmarkAt(int row) const;
  // Makes the record current and calls AfterScroll. A record that is not in
  // the view (or an unknown identity) leaves the cursor alone; returns false.
  bool GotoBookmark(Bookmark bm);
  // Whether the identity names a loaded record (in the view or not).
  bool BookmarkValid(Bookmark bm) const;
  // -1, 0, 1 by the records' current positions in storage order. An unknown
  // identity orders before every known one.
  int CompareBookmarks(Bookmark a, Bookmark b) const;

  // --- Sort --------------------------------------------------------------

  const std::string& SortedField() const { return m_sortedField; }
  // Stores the name and sorts when it differs (case counts) from the present
  // one. A name that is no field (an empty name, for one) sorts nothing.
  void SetSortedField(const std::string& name);
  SortOptionSet SortOptions() const { return m_sortOptions; }
  // Stores the set and sorts by SortedField when it differs from the present one.
  void SetSortOptions(SortOptionSet options);

  // Sort comparison of two records by a field under the options: negative,
  // zero, positive. Text folds a-z to A-Z only with soCaseInsensitive and
  // compares unsigned bytes; numbers compare by value (NaN after every number).
  static int CompareRecords(const VarRecord& a, const VarRecord& b, int field,
                            SortOptionSet options);

  // --- Filter ------------------------------------------------------------

  bool Filtered() const { return m_filtered; }
  void SetFiltered(bool on) { m_filtered = on; }
  void SetOnFilterRecord(FilterHandler handler) { m_onFilter = std::move(handler); }

  // Rebuilds the view: every record in storage order is made current and
  // offered to OnFilterRecord; the accepted ones form the view. When all are
  // accepted (or no predicate is set, or the table is closed) the view is the
  // whole table. The cursor ends on the first record of the view. Views are
  // reset once; AfterScroll is not called. A call from inside the predicate
  // is ignored.
  void Refilter();

  // --- Notifications -----------------------------------------------------

  void SetAfterScroll(ScrollHandler handler) { m_afterScroll = std::move(handler); }
  void DetachAfterScroll() { m_afterScroll = nullptr; }
  const ScrollHandler& AfterScroll() const { return m_afterScroll; }

  // Raise / lower the suspend count. Lowering it to zero resets every view.
  // Extra EnableControls calls are ignored.
  void DisableControls();
  void EnableControls();
  bool ControlsDisabled() const { return m_suspend > 0; }

  // The listener must outlive its registration.
  void AddListener(TableViewListener* listener);
  void RemoveListener(TableViewListener* listener);

 private:
  struct Row {
    VarRecord rec;
    Bookmark id;
  };

  void SortNow();
  void QuickSort(int lo, int hi, int field);
  void RebuildPositions();
  int StoragePos(int viewRow) const;
  int ViewRowOfStorage(int pos) const;
  void CursorMoved(bool moved);
  void ContentChanged();

  std::vector<Row> m_rows;
  std::size_t m_loaded = 0;          // rows beyond this await EndLoad
  std::vector<std::int32_t> m_view;  // storage positions, ascending
  bool m_viewIsAll = true;
  int m_cursor = 0;  // 0-based view row
  bool m_eof = false;
  bool m_active = false;

  Bookmark m_nextId = 1;
  Bookmark m_firstId = 1;               // identity of the first loaded row
  std::vector<std::int32_t> m_posOfId;  // by id - m_firstId: storage position

  std::string m_sortedField;
  SortOptionSet m_sortOptions{soCaseInsensitive};
  bool m_filtered = false;
  bool m_inFilter = false;

  FilterHandler m_onFilter;
  ScrollHandler m_afterScroll;
  int m_suspend = 0;
  std::vector<TableViewListener*> m_listeners;
};

}  // namespace brindle
