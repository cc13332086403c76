#include "variables/VariableList.h"
#include "spssio/AsciiText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <utility>

namespace brindle {

namespace {

constexpr std::array<std::string_view, kVarFieldCount> kFieldNames = {
    "RecId",  "VarName",       "VarType", "VarLabel", "missingFormat", "nMiss1",  "nMiss2",
    "nMiss3", "MissingValues", "Fmt",     "Dec",      "Wid",           "PrintFmt",
    "Measure", "Role"};

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(static_cast<unsigned char>(a[i])) !=
        AsciiUpper(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

int CompareText(const std::string& a, const std::string& b, bool fold) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (fold) {
      x = AsciiUpper(x);
      y = AsciiUpper(y);
    }
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

// NaN cannot come from a sane dictionary, but a damaged one may carry it as a
// missing value; giving it a place keeps the order total.
int CompareDouble(double a, double b) {
  const bool na = std::isnan(a);
  const bool nb = std::isnan(b);
  if (na || nb) return na == nb ? 0 : (na ? 1 : -1);
  return a < b ? -1 : (a > b ? 1 : 0);
}

}  // namespace

// --- Fields ---------------------------------------------------------------

int VariableList::FieldNumber(std::string_view name) {
  for (int i = 0; i < kVarFieldCount; ++i) {
    if (SameNameIgnoringCase(name, kFieldNames[static_cast<std::size_t>(i)])) return i;
  }
  return -1;
}

std::string_view VariableList::FieldName(int field) {
  if (field < 0 || field >= kVarFieldCount) return {};
  return kFieldNames[static_cast<std::size_t>(field)];
}

FieldKind VariableList::KindOf(int field) {
  switch (field) {
    case kRecId:
    case kVarType:
    case kMissingFormat:
    case kFmt:
    case kDec:
    case kWid:
    case kMeasure:
    case kRole:
      return FieldKind::Integer;
    case kNMiss1:
    case kNMiss2:
    case kNMiss3:
      return FieldKind::Double;
    default:
      return FieldKind::Text;
  }
}

FieldValue VariableList::FieldOf(const VarRecord& rec, int field) {
  switch (field) {
    case kRecId:
      return rec.RecId;
    case kVarName:
      return rec.VarName;
    case kVarType:
      return rec.VarType;
    case kVarLabel:
      return rec.VarLabel;
    case kMissingFormat:
      return rec.missingFormat;
    case kNMiss1:
      return rec.nMiss1;
    case kNMiss2:
      return rec.nMiss2;
    case kNMiss3:
      return rec.nMiss3;
    case kMissingValues:
      return rec.MissingValues;
    case kFmt:
      return rec.Fmt;
    case kDec:
      return rec.Dec;
    case kWid:
      return rec.Wid;
    case kPrintFmt:
      return rec.PrintFmt;
    case kMeasure:
      return rec.Measure;
    case kRole:
      return rec.Role;
    default:
      return std::string();
  }
}

int VariableList::CompareRecords(const VarRecord& a, const VarRecord& b, int field,
                               SortOptionSet options) {
  int c = 0;
  const bool fold = options.Contains(soCaseInsensitive);
  switch (field) {
    case kRecId:
      c = (a.RecId > b.RecId) - (a.RecId < b.RecId);
      break;
    case kVarName:
      c = CompareText(a.VarName, b.VarName, fold);
      break;
    case kVarType:
      c = (a.VarType > b.VarType) - (a.VarType < b.VarType);
      break;
    case kVarLabel:
      c = CompareText(a.VarLabel, b.VarLabel, fold);
      break;
    case kMissingFormat:
      c = (a.missingFormat > b.missingFormat) - (a.missingFormat < b.missingFormat);
      break;
    case kNMiss1:
      c = CompareDouble(a.nMiss1, b.nMiss1);
      break;
    case kNMiss2:
      c = CompareDouble(a.nMiss2, b.nMiss2);
      break;
    case kNMiss3:
      c = CompareDouble(a.nMiss3, b.nMiss3);
      break;
    case kMissingValues:
      c = CompareText(a.MissingValues, b.MissingValues, fold);
      break;
    case kFmt:
      c = (a.Fmt > b.Fmt) - (a.Fmt < b.Fmt);
      break;
    case kDec:
      c = (a.Dec > b.Dec) - (a.Dec < b.Dec);
      break;
    case kWid:
      c = (a.Wid > b.Wid) - (a.Wid < b.Wid);
      break;
    case kPrintFmt:
      c = CompareText(a.PrintFmt, b.PrintFmt, fold);
      break;
    case kMeasure:
      c = (a.Measure > b.Measure) - (a.Measure < b.Measure);
      break;
    case kRole:
      c = (a.Role > b.Role) - (a.Role < b.Role);
      break;
    default:
      break;
  }
  return options.Contains(soDesc) ? -c : c;
}

// --- Open state and loading ---------------------------------------------

void VariableList::Open() { m_active = true; }

void VariableList::Close() {
  Clear();
  m_active = false;
}

void VariableList::Clear() {
  m_rows.clear();
  m_loaded = 0;
  m_view.clear();
  m_viewIsAll = true;
  m_cursor = 0;
  m_eof = false;
  m_firstId = m_nextId;
  m_posOfId.clear();
  ContentChanged();
}

Bookmark VariableList::AppendRecord(VarRecord rec) {
  if (!m_active) return kNoBookmark;
  const Bookmark id = m_nextId++;
  m_rows.push_back(Row{std::move(rec), id});
  m_posOfId.push_back(static_cast<std::int32_t>(m_rows.size() - 1));
  return id;
}

void VariableList::EndLoad() {
  m_loaded = m_rows.size();
  m_view.clear();
  m_viewIsAll = true;
  // A sort set before the load still describes the table, so the new
  // content must honour it.
  const int field = FieldNumber(m_sortedField);
  if (m_active && field >= 0 && m_loaded > 1) {
    QuickSort(0, static_cast<int>(m_loaded) - 1, field);
    RebuildPositions();
  }
  m_cursor = 0;
  m_eof = false;
  ContentChanged();
}

// --- View and cursor ----------------------------------------------------

int VariableList::RecordCount() const {
  return m_viewIsAll ? static_cast<int>(m_loaded) : static_cast<int>(m_view.size());
}

int VariableList::RecNo() const { return RecordCount() == 0 ? 0 : m_cursor + 1; }

int VariableList::StoragePos(int viewRow) const {
  return m_viewIsAll ? viewRow : m_view[static_cast<std::size_t>(viewRow)];
}

int VariableList::ViewRowOfStorage(int pos) const {
  if (pos < 0 || static_cast<std::size_t>(pos) >= m_loaded) return -1;
  if (m_viewIsAll) return pos;
  auto it = std::lower_bound(m_view.begin(), m_view.end(), pos);
  if (it == m_view.end() || *it != pos) return -1;
  return static_cast<int>(it - m_view.begin());
}

void VariableList::SetRecNo(int recNo) {
  const int count = RecordCount();
  if (count == 0) return;
  const int target = std::clamp(recNo, 1, count);
  MoveBy(target - RecNo());
}

void VariableList::First() {
  const bool moved = m_cursor != 0;
  m_cursor = 0;
  m_eof = false;
  CursorMoved(moved);
}

void VariableList::Last() {
  const int count = RecordCount();
  const int target = count > 0 ? count - 1 : 0;
  const bool moved = m_cursor != target;
  m_cursor = target;
  m_eof = false;
  CursorMoved(moved);
}

int VariableList::MoveBy(int n) {
  const int count = RecordCount();
  if (count == 0 || n == 0) return 0;
  long long target = static_cast<long long>(m_cursor) + n;
  bool overshoot = false;
  if (target >= count) {
    overshoot = true;
    target = count - 1;
  }
  if (target < 0) target = 0;
  const int moved = static_cast<int>(target) - m_cursor;
  m_cursor = static_cast<int>(target);
  m_eof = n > 0 && overshoot;
  if (moved != 0) CursorMoved(true);
  return moved;
}

const VarRecord* VariableList::Current() const { return ViewRecord(m_cursor); }

const VarRecord* VariableList::ViewRecord(int row) const {
  if (row < 0 || row >= RecordCount()) return nullptr;
  return &m_rows[static_cast<std::size_t>(StoragePos(row))].rec;
}

std::optional<FieldValue> VariableList::Field(int field) const {
  const VarRecord* rec = Current();
  if (rec == nullptr || field < 0 || field >= kVarFieldCount) return std::nullopt;
  return FieldOf(*rec, field);
}

std::optional<FieldValue> VariableList::FieldByName(std::string_view name) const {
  return Field(FieldNumber(name));
}

std::string VariableList::FieldAsText(std::string_view name) const {
  const auto v = FieldByName(name);
  if (!v) return {};
  if (const auto* s = std::get_if<std::string>(&*v)) return *s;
  char buf[32];
  std::to_chars_result r{};
  if (const auto* i = std::get_if<std::int32_t>(&*v)) {
    r = std::to_chars(buf, buf + sizeof buf, *i);
  } else {
    r = std::to_chars(buf, buf + sizeof buf, std::get<double>(*v));
  }
  return std::string(buf, r.ptr);
}

std::int32_t VariableList::FieldAsInteger(std::string_view name) const {
  const auto v = FieldByName(name);
  if (!v) return 0;
  if (const auto* i = std::get_if<std::int32_t>(&*v)) return *i;
  if (const auto* d = std::get_if<double>(&*v)) {
    // Out-of-range conversion is undefined; a missing value can be huge.
    if (!(*d > -2147483649.0 && *d < 2147483648.0)) return 0;
    return static_cast<std::int32_t>(*d);
  }
  return 0;
}

double VariableList::FieldAsDouble(std::string_view name) const {
  const auto v = FieldByName(name);
  if (!v) return 0;
  if (const auto* i = std::get_if<std::int32_t>(&*v)) return *i;
  if (const auto* d = std::get_if<double>(&*v)) return *d;
  return 0;
}

// --- Bookmarks ----------------------------------------------------------

Bookmark VariableList::GetBookmark() const { return BookmarkAt(m_cursor); }

Bookmark VariableList::BookmarkAt(int row) const {
  if (row < 0 || row >= RecordCount()) return kNoBookmark;
  return m_rows[static_cast<std::size_t>(StoragePos(row))].id;
}

bool VariableList::BookmarkValid(Bookmark bm) const {
  if (bm < m_firstId || bm >= m_nextId) return false;
  const std::size_t k = static_cast<std::size_t>(bm - m_firstId);
  return k < m_posOfId.size() && static_cast<std::size_t>(m_posOfId[k]) < m_loaded;
}

bool VariableList::GotoBookmark(Bookmark bm) {
  if (!BookmarkValid(bm)) return false;
  const int row = ViewRowOfStorage(m_posOfId[static_cast<std::size_t>(bm - m_firstId)]);
  if (row < 0) return false;
  const bool moved = row != m_cursor;
  m_cursor = row;
  m_eof = false;
  CursorMoved(moved);
  return true;
}

int VariableList::CompareBookmarks(Bookmark a, Bookmark b) const {
  const auto pos = [this](Bookmark bm) -> long long {
    return BookmarkValid(bm) ? m_posOfId[static_cast<std::size_t>(bm - m_firstId)] : -1;
  };
  const long long pa = pos(a);
  const long long pb = pos(b);
  return (pa > pb) - (pa < pb);
}

void VariableList::RebuildPositions() {
  for (std::size_t k = 0; k < m_rows.size(); ++k) {
    m_posOfId[static_cast<std::size_t>(m_rows[k].id - m_firstId)] = static_cast<std::int32_t>(k);
  }
}

// --- Sort ---------------------------------------------------------------

void VariableList::SetSortedField(const std::string& name) {
  if (name == m_sortedField) return;
  m_sortedField = name;
  SortNow();
}

void VariableList::SetSortOptions(SortOptionSet options) {
  if (options == m_sortOptions) return;
  m_sortOptions = options;
  SortNow();
}

void VariableList::SortNow() {
  const int field = FieldNumber(m_sortedField);
  if (!m_active || field < 0) return;
  DisableControls();
  if (m_loaded > 1) {
    QuickSort(0, static_cast<int>(m_loaded) - 1, field);
    RebuildPositions();
  }
  Refilter();
  EnableControls();
}

// Hoare partition around the record in the middle, which is followed as it
// moves (p) so it stays a sentinel for both scans. Keys equal to the pivot's
// are ordered by position against it; that splits runs of equal keys evenly.
// The smaller part is sorted recursively and the larger one by the loop, so
// the stack depth stays logarithmic.
void VariableList::QuickSort(int lo, int hi, int field) {
  const SortOptionSet options = m_sortOptions;
  while (lo < hi) {
    int i = lo;
    int j = hi;
    int p = lo + (hi - lo) / 2;
    const auto cmp = [&](int k) {
      int c = CompareRecords(m_rows[static_cast<std::size_t>(k)].rec,
                             m_rows[static_cast<std::size_t>(p)].rec, field, options);
      if (c == 0) c = (k > p) - (k < p);
      return c;
    };
    do {
      while (cmp(i) < 0) ++i;
      while (cmp(j) > 0) --j;
      if (i <= j) {
        if (i != j)
          std::swap(m_rows[static_cast<std::size_t>(i)], m_rows[static_cast<std::size_t>(j)]);
        if (p == i) {
          p = j;
        } else if (p == j) {
          p = i;
        }
        ++i;
        --j;
      }
    } while (i <= j);
    if (j - lo < hi - i) {
      if (lo < j) QuickSort(lo, j, field);
      lo = i;
    } else {
      if (i < hi) QuickSort(i, hi, field);
      hi = j;
    }
  }
}

// --- Filter -------------------------------------------------------------

void VariableList::Refilter() {
  if (m_inFilter) return;
  DisableControls();
  m_view.clear();
  m_viewIsAll = true;
  m_cursor = 0;
  m_eof = false;
  if (m_active && m_onFilter) {
    // A copy, so a predicate that replaces itself does not destroy the
    // function it is running in.
    const FilterHandler predicate = m_onFilter;
    std::vector<std::int32_t> accepted;
    accepted.reserve(m_loaded);
    bool all = true;
    m_inFilter = true;
    for (std::size_t i = 0; i < m_loaded; ++i) {
      m_cursor = static_cast<int>(i);
      bool accept = true;
      predicate(*this, accept);
      if (accept) {
        accepted.push_back(static_cast<std::int32_t>(i));
      } else {
        all = false;
      }
    }
    m_inFilter = false;
    // The predicate may have emptied the table under us.
    while (!accepted.empty() && static_cast<std::size_t>(accepted.back()) >= m_loaded)
      accepted.pop_back();
    if (!all) {
      m_view = std::move(accepted);
      m_viewIsAll = false;
    }
    m_cursor = 0;
    m_eof = false;
  }
  EnableControls();
}

// --- Notifications ------------------------------------------------------

void VariableList::DisableControls() { ++m_suspend; }

void VariableList::EnableControls() {
  if (m_suspend == 0) return;
  if (--m_suspend == 0) {
    const auto listeners = m_listeners;
    for (TableViewListener* l : listeners) l->ViewReset();
  }
}

void VariableList::AddListener(TableViewListener* listener) {
  if (listener != nullptr &&
      std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end())
    m_listeners.push_back(listener);
}

void VariableList::RemoveListener(TableViewListener* listener) {
  m_listeners.erase(std::remove(m_listeners.begin(), m_listeners.end(), listener),
                    m_listeners.end());
}

void VariableList::ContentChanged() {
  if (m_suspend > 0) return;  // EnableControls resets the views anyway
  const auto listeners = m_listeners;
  for (TableViewListener* l : listeners) l->ViewReset();
}

void VariableList::CursorMoved(bool moved) {
  if (moved && m_suspend == 0) {
    const auto listeners = m_listeners;
    for (TableViewListener* l : listeners) l->CurrentChanged();
  }
  if (m_afterScroll) {
    const ScrollHandler handler = m_afterScroll;
    handler(*this);
  }
}

}  // namespace brindle
