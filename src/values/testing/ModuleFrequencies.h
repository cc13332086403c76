// A check for the frequency pass's own reading: the same tables counted from
// the cases read one at a time through SystemFile's case-by-case calls, as
// spssReadCaseRecord and the value calls read them. Only the tests and the
// fuzzers use it, to compare the pass with.
#pragma once

#include <string>

#include "values/Frequencies.h"

namespace brindle {

// CountFrequencies (weight null) or CountWeightedFrequencies, without
// progress, through the case-by-case calls. The file's case stream is
// rewound before and after.
FrequencyResult CountFrequenciesThroughModule(const FrequencyPass& pass, const VarRecord& var,
                                              const std::string* weight = nullptr);

}  // namespace brindle
