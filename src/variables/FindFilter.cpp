#include "variables/FindFilter.h"

#include <algorithm>

#include "variables/BulkScan.h"

namespace brindle {

namespace {

char FoldLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Folded(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), FoldLower);
  return out;
}

// Whether the already folded text occurs in field once field is folded too;
// the field is folded byte by byte on the way, without a copy.
bool ContainsFolded(std::string_view field, std::string_view folded) {
  if (folded.size() > field.size()) return false;
  const auto equal = [](char f, char t) { return FoldLower(f) == t; };
  return std::search(field.begin(), field.end(), folded.begin(), folded.end(), equal) !=
         field.end();
}

const std::string& FieldText(const VarRecord& rec, VarField field) {
  return field == kVarLabel ? rec.VarLabel : rec.VarName;
}

}  // namespace

bool MatchesFindText(std::string_view field, std::string_view text) {
  return ContainsFolded(field, Folded(text));
}

std::string FoldedFindText(std::string_view text) { return Folded(text); }

bool ContainsFoldedFindText(std::string_view field, std::string_view folded) {
  return ContainsFolded(field, folded);
}

FindCommand FindCommandOf(bool forward, bool fromEnd) {
  if (forward) return fromEnd ? FindCommand::First : FindCommand::Next;
  return fromEnd ? FindCommand::Last : FindCommand::Previous;
}

const char* FindCaptionWord(FindCommand command) {
  switch (command) {
    case FindCommand::First:
      return "first match";
    case FindCommand::Previous:
      return "backward";
    case FindCommand::Next:
      return "forward";
    case FindCommand::Last:
      return "last match";
  }
  return "";
}

std::optional<FindTarget> SearchTarget(std::string_view nameText, std::string_view labelText) {
  if (!nameText.empty()) return FindTarget{kVarName, std::string(nameText)};
  if (!labelText.empty()) return FindTarget{kVarLabel, std::string(labelText)};
  return std::nullopt;
}

std::optional<FindTarget> FilterTarget(std::string_view nameText, std::string_view labelText) {
  if (!labelText.empty()) return FindTarget{kVarLabel, std::string(labelText)};
  if (!nameText.empty()) return FindTarget{kVarName, std::string(nameText)};
  return std::nullopt;
}

bool FindRuns(const VariableList& table, FindCommand command) {
  const int n = table.RecordCount();
  const int k = table.RecNo();
  if (n < 2) return false;
  if (command == FindCommand::Next && k == n) return false;
  if (command == FindCommand::Previous && k < 2) return false;
  return true;
}

bool FindRecord(VariableList& table, const FindTarget& target, FindCommand command) {
  if (!FindRuns(table, command)) return false;
  const int n = table.RecordCount();
  const int k = table.RecNo();
  // 1-based view positions: the first examined, the step, and one past the last.
  int from = 1, step = 1, end = n + 1;
  switch (command) {
    case FindCommand::First:
      break;
    case FindCommand::Next:
      from = k + 1;
      break;
    case FindCommand::Previous:
      from = k - 1;
      step = -1;
      end = 0;
      break;
    case FindCommand::Last:
      from = n;
      step = -1;
      end = 0;
      break;
  }
  const std::string folded = Folded(target.text);
  for (int pos = from; pos != end; pos += step) {
    if (!ContainsFolded(FieldText(*table.ViewRecord(pos - 1), target.field), folded)) continue;
    const BulkScan scan(table, BulkScan::Cursor::Keep);
    table.MoveBy(pos - k);
    return true;
  }
  return false;
}

void FilterRecord(const VariableList& table, const std::optional<FindTarget>& target, bool& accept) {
  if (!target || !table.Filtered()) return;
  const VarRecord* rec = table.Current();
  accept = rec != nullptr && MatchesFindText(FieldText(*rec, target->field), target->text);
}

void SwitchFilter(VariableList& table, bool on) {
  const int k = table.RecNo();
  table.SetFiltered(on);
  const BulkScan scan(table, BulkScan::Cursor::Keep);
  table.Refilter();
  if (!on && table.RecordCount() > 0) table.MoveBy(k - 1);
}

}  // namespace brindle
