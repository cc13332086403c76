// The texts the variables grid puts on the clipboard: one line per variable,
// its fields joined by tabs. GUI-free.
#pragma once

#include <string>
#include <vector>

#include "variables/VariableList.h"
#include "variables/VarRecord.h"

namespace brindle {

// Copy levels: the fields of a line.
enum CopyLevel : int {
  kCopyNames = 0,   // VarName
  kCopyLabels = 1,  // VarName, VarLabel
  kCopyAll = 2      // VarName, VarLabel, MissingValues, PrintFmt
};

// One variable's fields at a level, joined by "\t", as stored (an empty field
// is an empty piece). A level above 2 copies all fields, below 0 names only.
std::string VariableLine(const VarRecord& rec, int level);

// The clipboard text for the marked records: each one's line followed by
// "\r\n", in the order of the records' positions in the table, whatever the
// order of the marks. Marks of records outside the view are left out. Without
// marks: the current record's line alone, with no line end (empty when the
// view is empty). The cursor stays on its record and the cursor-moved handler
// does not run.
std::string CopyVariables(VariableList& table, const std::vector<Bookmark>& marks, int level);

}  // namespace brindle
