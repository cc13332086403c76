// What a frequency pass makes of the values it counted: the table rows and
// the statistics box, with the variable's labels and missing values. For
// passes that count their cases in their own way (one pass over many
// variables; the tests' case-by-case count through the I/O module's calls)
// and still want the result a single pass gives.
#pragma once

#include <cstdint>
#include <string>

#include "values/FreqTables.h"
#include "values/Frequencies.h"
#include "variables/VarRecord.h"

namespace brindle {

class SystemFile;

// The weight variable's own missing values, as a record IsMissingValue reads.
VarRecord WeightMissing(const SystemFile& file, const std::string& name);

// A case counts with a weight above 0 that is not user-missing; a zero,
// negative, system-missing (the lowest double) or user-missing weight leaves
// it out of every count.
bool CountsWithWeight(double w, const VarRecord& weight);

// Fills res's table, statistics and box from the counted values of var
// (table is emptied); casesRead is the total of an unweighted pass.
template <class Amount>
void FillNumericResult(const FrequencyPass& pass, const VarRecord& var,
                       OrderedDblTable<Amount>& table, bool weighted, std::int64_t casesRead,
                       FrequencyResult& res);
template <class Amount>
void FillStringResult(const FrequencyPass& pass, const VarRecord& var,
                      OrderedStrTable<Amount>& table, bool weighted, std::int64_t casesRead,
                      FrequencyResult& res);

// What the pane says when the data ends before the n cases the file
// promised; detail says why when the data is damaged.
std::string EarlyEndWarning(std::int64_t read, std::int64_t n, const std::string& detail);

}  // namespace brindle
