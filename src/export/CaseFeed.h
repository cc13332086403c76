// The cases of an export as the typed writers (Parquet, Excel, Stata) take
// them: one case at a time, pushed by a feed, which is a column pass over the
// file (FeedFromPass) or, in tests, cases held in memory.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

#include "spssio/ColumnPass.h"

namespace brindle {

// One case's values, by the export's column.
class CaseValues {
 public:
  virtual ~CaseValues() = default;
  virtual double Number(std::size_t c) const = 0;
  // UTF-8; trailing blanks may be kept.
  virtual std::string_view Text(std::size_t c) = 0;
};

// Hands each case to take, in case order, until take returns false; gives
// how the cases ended (sound: SPSS_FILE_END).
using CaseTaker = std::function<bool(CaseValues&)>;
using CaseFeed = std::function<PassEnd(const CaseTaker& take)>;

// The cases of a column pass (its columns the export's), on the calling
// thread.
PassEnd FeedFromPass(ColumnPass& pass, const CaseTaker& take);

}  // namespace brindle
