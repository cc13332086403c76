#include "datafile/DictionaryLoader.h"

#include <utility>

#include "datafile/MissingValueText.h"
#include "spssio/ColumnPass.h"
#include "spssio/Spssio.h"
#include "spssio/SystemFile.h"
#include "variables/BulkScan.h"

namespace brindle {

namespace {

VarRecord ReadVariable(const Variable& v, int recId, double lowest, double highest,
                       const NumberSeparators& seps) {
  VarRecord rec;
  rec.RecId = recId;
  rec.VarName = v.name;
  rec.VarType = v.width;
  rec.VarLabel = v.label;
  std::string text;
  if (v.isString()) {
    rec.missingFormat = SPSS_NUME_EXP;  // every string variable is marked so
    // Wider strings have theirs from the long-string missing-values record:
    // the first 8 bytes, blanks after them.
    const MissingValues& m = v.missing;
    text = StringMissingText(m.format, m.strings[0], m.strings[1], m.strings[2]);
  } else {
    rec.missingFormat = v.missing.format;
    rec.nMiss1 = v.missing.numbers[0];
    rec.nMiss2 = v.missing.numbers[1];
    rec.nMiss3 = v.missing.numbers[2];
    text = NumericMissingText(rec.missingFormat, rec.nMiss1, rec.nMiss2, rec.nMiss3, lowest,
                              highest, seps);
  }
  rec.MissingValues = CutToCharacters(text, kMissingTextChars);
  rec.Fmt = v.print.type;
  rec.Dec = v.print.decimals;
  rec.Wid = v.print.width;
  rec.PrintFmt = PrintFormatText(PrintFormat{rec.Fmt, rec.Wid, rec.Dec});
  rec.Measure = v.measure;
  rec.Role = v.role;
  return rec;
}

// Establishes the case count; counts a file whose header does not say (a
// compressed one, or uncompressed data that ends inside a case). Returns the
// warning text when the count stays an estimate.
std::string CountCases(SystemFile& file, DictionaryLoadResult& result) {
  const std::int64_t n = file.caseCount();
  result.NumCases = n;
  if (n != -1) return {};

  // The count is also the first full pass: it leaves the case index behind.
  const PassEnd end = ColumnPass(file, {}).indexCases();
  const std::int64_t count = end.cases;
  if (end.sound()) {
    result.NumCases = count;
    return {};
  }
  // The cases read before the failure are the ones a pass can deliver: the
  // tables count them.
  result.NumCases = count;
  result.CaseCountEstimated = true;
  return "Cannot determine the true number of cases.\nThe estimated number (" +
         std::to_string(count) + ") will be used.";
}

}  // namespace

DictionaryLoadResult LoadDictionary(SystemFile& file, double lowest, double highest,
                                    const NumberSeparators& seps, VariableList& table) {
  DictionaryLoadResult result;
  const std::size_t numVars = file.variableCount();
  result.NumVars = int(numVars);
  {
    BulkScan scan(table, BulkScan::Cursor::Keep);
    table.Close();
    table.Open();
    for (std::size_t i = 0; i < numVars; ++i)
      table.AppendRecord(ReadVariable(file.variable(i), int(i) + 1, lowest, highest, seps));
    table.EndLoad();
    table.First();
  }

  result.warning = CountCases(file, result);
  if (file.weightVariable() >= 0)
    result.WeightVarName = file.variable(std::size_t(file.weightVariable())).name;
  return result;
}

DictionaryLoadResult LoadDictionary(DataFileState& state, VariableList& table,
                                    const NumberSeparators& seps) {
  double lowest = 0;
  double highest = 0;
  spssLowHighVal(&lowest, &highest);
  if (!state.File) {
    DictionaryLoadResult none;
    none.errorCode = SPSS_INVALID_HANDLE;
    none.error = "Error getting variable names " + std::to_string(SPSS_INVALID_HANDLE);
    return none;
  }
  DictionaryLoadResult result = LoadDictionary(*state.File, lowest, highest, seps, table);
  if (result.errorCode == 0) {
    state.NumVars = result.NumVars;
    state.NumCases = result.NumCases;
    state.CaseCountEstimated = result.CaseCountEstimated;
    state.WeightVarName = result.WeightVarName;
  }
  return result;
}

std::vector<std::string> WeightSelectorItems(const VariableList& table) {
  std::vector<std::string> items{" "};
  for (int row = 0; row < table.RecordCount(); ++row) {
    const VarRecord* rec = table.ViewRecord(row);
    if (rec->VarType == 0) items.push_back(rec->VarName);
  }
  return items;
}

}  // namespace brindle
