// Finding variables by a part of their name or label, and the filter that
// narrows the variables table's view to the variables that match.
//
// Matching folds the letters "A" to "Z" to lower case and nothing else: an
// accented letter, in any of its UTF-8 bytes, matches only itself. GUI-free.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "variables/VariableList.h"
#include "variables/VarRecord.h"

namespace brindle {

// Whether text occurs anywhere in field, letters A-Z compared without case.
// An empty text occurs in every field.
bool MatchesFindText(std::string_view field, std::string_view text);
// The same in two steps, for a text looked for in many fields: the text
// folded once, then each field searched for it.
std::string FoldedFindText(std::string_view text);
bool ContainsFoldedFindText(std::string_view field, std::string_view folded);

// The four search commands, numbered as the find buttons' tags.
enum class FindCommand { First = 1, Previous = 2, Next = 3, Last = 4 };

// The command of a search direction: forward from the end is Find first,
// forward from the cursor Find next, backward from the cursor Find previous,
// backward from the end Find last.
FindCommand FindCommandOf(bool forward, bool fromEnd);
// The word the not-found message's caption carries after " Find ":
// "first match", "backward", "forward", "last match".
const char* FindCaptionWord(FindCommand command);

// What a search or the filter looks for: a text and the field it is looked for in.
struct FindTarget {
  VarField field = kVarName;
  std::string text;
};

// The search takes the name box's text when it holds any, else the label
// box's; the filter the other way round. Both empty: nothing to look for.
std::optional<FindTarget> SearchTarget(std::string_view nameText, std::string_view labelText);
std::optional<FindTarget> FilterTarget(std::string_view nameText, std::string_view labelText);

// Whether a search would examine any record: the view must hold at least
// two records, Find next must not start on the last one and Find previous
// not on the first. A search that does not run shows nothing.
bool FindRuns(const VariableList& table, FindCommand command);

// Examines the records of the view in the command's order (Find first 1..n,
// Find next k+1..n, Find previous k-1..1, Find last n..1 for the cursor at k),
// never wrapping around, and puts the cursor on the first match. Without a
// match the cursor stays where it was. The cursor-moved handler does not run
// (the caller runs it once when a match was found) and attached views are
// suspended for the walk. Returns false as well when FindRuns says no.
bool FindRecord(VariableList& table, const FindTarget& target, FindCommand command);

// The filter predicate: with the table's Filtered flag on and a target, the
// current record is accepted when its field matches; otherwise accept is left alone.
void FilterRecord(const VariableList& table, const std::optional<FindTarget>& target, bool& accept);

// Switches the filter flag and rebuilds the view. Switched on, the cursor
// ends on the first record of the new view; switched off, it keeps its row
// number (not its record). The cursor-moved handler does not run; the
// caller runs it once afterwards.
void SwitchFilter(VariableList& table, bool on);

}  // namespace brindle
