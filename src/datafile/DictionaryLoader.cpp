#include "datafile/DictionaryLoader.h"

#include <utility>

#include "datafile/MissingValueText.h"
#include "spssio/CaseSource.h"
#include "spssio/Spssio.h"
#include "variables/BulkScan.h"

namespace brindle {

namespace {

// The module's name and type lists, released on every way out.
struct NameLists {
  int count = 0;
  char** names = nullptr;
  int* types = nullptr;
  ~NameLists() {
    if (names != nullptr || types != nullptr) spssFreeVarNames(names, types, count);
  }
};

VarRecord ReadVariable(int handle, int recId, const char* name, int type, double lowest,
                       double highest, const NumberSeparators& seps) {
  VarRecord rec;
  rec.RecId = recId;
  rec.VarName = name;
  rec.VarType = type;
  spssGetVarLabel(handle, name, rec.VarLabel);

  int missingFormat = 0;
  double m1 = 0, m2 = 0, m3 = 0;
  const int rc = spssGetVarNMissingValues(handle, name, &missingFormat, &m1, &m2, &m3);
  rec.nMiss1 = m1;
  rec.nMiss2 = m2;
  rec.nMiss3 = m3;
  std::string text;
  if (rc == SPSS_NUME_EXP || type > 0) {
    rec.missingFormat = SPSS_NUME_EXP;  // every string variable is marked so
    // Wider strings have theirs from the long-string missing-values record:
    // the first 8 bytes, blanks after them.
    int stringFormat = 0;
    std::string s1, s2, s3;
    if (spssGetVarCMissingValues(handle, name, &stringFormat, s1, s2, s3) == SPSS_OK)
      text = StringMissingText(stringFormat, s1, s2, s3);
  } else {
    // A failed call leaves the zeroes above: no missing values, not garbage.
    rec.missingFormat = rc == SPSS_OK ? missingFormat : 0;
    text = NumericMissingText(rec.missingFormat, m1, m2, m3, lowest, highest, seps);
  }
  rec.MissingValues = CutToCharacters(text, kMissingTextChars);

  int fmt = 0, dec = 0, wid = 0;
  if (spssGetVarPrintFormat(handle, name, &fmt, &dec, &wid) != SPSS_OK) {
    fmt = 5;
    dec = 2;
    wid = 8;
  }
  rec.Fmt = fmt;
  rec.Dec = dec;
  rec.Wid = wid;
  rec.PrintFmt = PrintFormatText(PrintFormat{fmt, wid, dec});
  return rec;
}

// Establishes the case count; counts a file whose header does not say (a
// compressed one, or uncompressed data that ends inside a case). Returns the
// warning text when the count stays an estimate.
std::string CountCases(int handle, DictionaryLoadResult& result) {
  std::int64_t n = -1;
  const int rc = spssGetNumberofCases(handle, &n);
  result.NumCases = n;
  if (!(n == -1 && rc == SPSS_OK)) return {};

  // The count is also the first full pass: it leaves the case index behind.
  int code = SPSS_OK;
  const std::int64_t count = CountStoredCases(handle, &code);
  if (code == SPSS_FILE_END) {
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

DictionaryLoadResult LoadDictionary(int handle, int /*compression*/, double lowest, double highest,
                                    const NumberSeparators& seps, TdxMemData& table) {
  DictionaryLoadResult result;
  NameLists lists;
  const int rc = spssGetVarNames(handle, &lists.count, &lists.names, &lists.types);
  if (rc != SPSS_OK) {
    result.errorCode = rc;
    result.error = "Error getting variable names " + std::to_string(rc);
    return result;
  }
  const int numVars =
      (lists.names != nullptr && lists.types != nullptr && lists.count > 0) ? lists.count : 0;
  result.NumVars = numVars;

  {
    BulkScan scan(table, BulkScan::Cursor::Keep);
    table.Close();
    table.Open();
    for (int i = 0; i < numVars; ++i) {
      const char* name = lists.names[i] != nullptr ? lists.names[i] : "";
      table.AppendRecord(ReadVariable(handle, i + 1, name, lists.types[i], lowest, highest, seps));
    }
    table.EndLoad();
    table.First();
  }

  result.warning = CountCases(handle, result);

  std::string weight;
  if (spssGetCaseWeightVar(handle, weight) == SPSS_OK) result.WeightVarName = weight;
  return result;
}

DictionaryLoadResult LoadDictionary(DataFileState& state, TdxMemData& table,
                                    const NumberSeparators& seps) {
  double lowest = 0;
  double highest = 0;
  spssLowHighVal(&lowest, &highest);
  DictionaryLoadResult result =
      LoadDictionary(state.FileHandle, state.Compression, lowest, highest, seps, table);
  if (result.errorCode == 0) {
    state.NumVars = result.NumVars;
    state.NumCases = result.NumCases;
    state.CaseCountEstimated = result.CaseCountEstimated;
    state.WeightVarName = result.WeightVarName;
  }
  return result;
}

std::vector<std::string> WeightSelectorItems(const TdxMemData& table) {
  std::vector<std::string> items{" "};
  for (int row = 0; row < table.RecordCount(); ++row) {
    const VarRecord* rec = table.ViewRecord(row);
    if (rec->VarType == 0) items.push_back(rec->VarName);
  }
  return items;
}

}  // namespace brindle
