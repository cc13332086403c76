// Loading the dictionary of an open data file into the variables table: one
// record per variable in file order with its display texts, the number of
// cases and the file's own weight variable. The viewer shows the messages of
// the result; the command line prints them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "datafile/DataFileState.h"
#include "format/FormatValue.h"
#include "variables/VariableList.h"

namespace brindle {

struct DictionaryLoadResult {
  int NumVars = 0;
  std::int64_t NumCases = -1;       // -1 when unknown
  bool CaseCountEstimated = false;  // the count could not be established
  std::string WeightVarName;        // empty when the file names none
  int errorCode = 0;                // 0 when loaded; SPSS_INVALID_HANDLE when no file is open
  std::string error;                // "Error getting variable names <code>"; empty when loaded
  std::string warning;              // the case-count warning; empty when none
};

// Reads the dictionary of the open file into `table`. On success the
// table is cleared and refilled (RecId 1..n, in file order, the view the whole
// table, the cursor on the first record) while its views are suspended and
// its AfterScroll handler detached; the handler is attached again but not
// run. lowest/highest are the module's lowest and highest values (range ends
// equal to them read "lowest"/"highest"). A file whose case count the module does not know is
// counted by reading every case, then rewound; when the reading fails before the end, the result
// carries the warning, CaseCountEstimated and, as NumCases, the number of cases read before the
// failure (the ones a pass can count).
DictionaryLoadResult LoadDictionary(SystemFile& file, double lowest, double highest,
                                    const NumberSeparators& seps, VariableList& table);

// The same for the file `state` holds, with the
// module's own lowest and highest values; copies NumVars, NumCases,
// CaseCountEstimated and WeightVarName into state when the load succeeds.
DictionaryLoadResult LoadDictionary(DataFileState& state, VariableList& table,
                                    const NumberSeparators& seps);

// The weight selector's items: one blank entry (" ") followed by the names of
// the numeric variables in the table's present order and filter.
std::vector<std::string> WeightSelectorItems(const VariableList& table);

}  // namespace brindle
