#include "variables/CopyVariables.h"

#include <algorithm>

#include "variables/BulkScan.h"

namespace brindle {

std::string VariableLine(const VarRecord& rec, int level) {
  std::string line = rec.VarName;
  if (level >= kCopyLabels) line += '\t' + rec.VarLabel;
  if (level >= kCopyAll) line += '\t' + rec.MissingValues + '\t' + rec.PrintFmt;
  return line;
}

std::string CopyVariables(VariableList& table, const std::vector<Bookmark>& marks, int level) {
  if (marks.empty()) {
    const VarRecord* rec = table.Current();
    return rec ? VariableLine(*rec, level) : std::string();
  }
  std::vector<Bookmark> ordered = marks;
  std::sort(ordered.begin(), ordered.end(),
            [&table](Bookmark a, Bookmark b) { return table.CompareBookmarks(a, b) < 0; });
  std::string text;
  BulkScan scan(table);
  for (Bookmark bm : ordered) {
    if (!table.GotoBookmark(bm)) continue;
    text += VariableLine(*table.Current(), level);
    text += "\r\n";
  }
  return text;
}

}  // namespace brindle
