// The frequency tables of many variables from one pass over the cases: every
// case is decoded once and each chosen variable's value counted (or its
// weight summed), on every core of the shared pool where the file splits.
// Each variable's result is the one CountFrequencies (or
// CountWeightedFrequencies) gives for it alone. What the tables may hold
// together is bounded: a variable whose distinct values would take the
// tables past the budget is left out of the set, for its caller to count
// alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "values/Frequencies.h"
#include "variables/VarRecord.h"

namespace brindle {

// About 256 MB of counting tables.
inline constexpr std::size_t kFrequencySetBudget = std::size_t(256) << 20;

struct FrequencySet {
  // False when the file has no cases (or an unknown number): nothing else
  // here is set.
  bool ran = false;
  bool cancelled = false;
  // "cannot find weight variable": no table was counted.
  std::string message;
  // The data ended before the promised number of cases (the tables count
  // the cases read), as the one-variable pass words it.
  std::string warning;
  std::int64_t casesRead = 0;
  // One per variable asked for, in that order; a result whose ran is false
  // was left out (over the budget, or not in the file).
  std::vector<FrequencyResult> results;
  std::vector<bool> leftOut;
  // A pass alongside others that could not read the file beside them (a
  // compressed file not yet indexed, one thread): nothing was counted.
  bool unread = false;
};

// Counts vars (variable records of pass's file) in one pass, weighted by the
// numeric variable *weightName when it is given. progress as for
// CountFrequencies, on the calling thread; returning true cancels the pass
// (results then stay empty). budgetBytes bounds the counting tables; threads
// 0 uses the whole pool. alongside: the pass runs beside other passes over
// the same open file (a count in the background) and reads it only through
// files of its own, split at the case index; where it cannot, unread is set.
// Weight sums are still added in case order.
FrequencySet CountFrequencySet(const FrequencyPass& pass, const std::vector<VarRecord>& vars,
                               const std::string* weightName,
                               const FrequencyProgress& progress = {},
                               std::size_t budgetBytes = kFrequencySetBudget,
                               bool alongside = false);

}  // namespace brindle
