// The frequency pass: reads every case of the open file, counts the values
// of one variable (or sums a weight per value), and produces what the values
// pane shows: the data rows of the values grid as five column lists, in fill
// order, and the statistics box's lines. GUI-free: the viewer runs it with a
// progress callback that pumps messages and reports Escape; brindle-cli runs
// the same code. The rows stay values and counts (FrequencyTable); their
// texts are rendered where they are shown.
#pragma once

#include <array>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "format/FormatValue.h"
#include "values/FrequencyTable.h"
#include "variables/VarRecord.h"

namespace brindle {

class SystemFile;

// The values grid's column titles, row 0 of every fill.
inline const std::array<std::string, 5> kValuesGridTitles = {"Value Label", "Value", "Freq",
                                                             "% Total", "% Valid"};

// What a pass works on besides the variable.
struct FrequencyPass {
  std::shared_ptr<SystemFile> file;  // the open file
  std::int64_t numCases = -1;        // NumCases; a pass needs at least 1
  bool usePrintFormat = true;        // the "Fixed decimal format" option
  NumberSeparators seps;
  double sysmis = -DBL_MAX;                       // SysmisValue
  double lowest = std::nextafter(-DBL_MAX, 0.0);  // LowestValue
  double highest = DBL_MAX;                       // HighestValue
  unsigned threads = 0;  // threads of an unweighted pass once the file is indexed; 0: one per core
  // Cases between the points of the case index a first pass over a
  // compressed file builds; 0: the pass's own choice.
  std::int64_t indexEvery = 4096;
};

// The pass over the open file of numCases cases as the viewer and
// brindle-cli both run it: the host's system-missing value and the lowest and
// highest values of ranges, the given display options.
FrequencyPass MakeFrequencyPass(std::shared_ptr<SystemFile> file, std::int64_t numCases,
                                bool usePrintFormat, const NumberSeparators& seps);

// Called after every 1000th case with the number of cases read; returning
// true cancels the pass there.
using FrequencyProgress = std::function<bool(std::int64_t casesRead)>;

// What the statistics box does after the pass.
enum class MemoDisplay {
  Unchanged,  // keeps its visibility, with empty text (a cancelled numeric pass)
  Hidden,
  Shown,  // with memoLines
};

struct FrequencyResult {
  // False when the file has no cases (or an unknown number): nothing on
  // screen changes and nothing else here is set.
  bool ran = false;
  bool cancelled = false;
  // For a plain message box: "cannot find weight variable". The table then
  // comes out empty.
  std::string message;
  // For a "Warning" dialog: the data ended before the promised number of
  // cases; the table counts the cases read.
  std::string warning;
  // The grid's data rows in fill order (titles not included); empty when
  // cancelled. Shared: the viewer's grid keeps it while it shows the rows.
  std::shared_ptr<const FrequencyTable> table = std::make_shared<const FrequencyTable>();
  MemoDisplay memo = MemoDisplay::Unchanged;
  std::vector<std::string> memoLines;  // line 1, 2, 3 as they stand in the box
  bool hideLabelColumn = false;        // a string wider than 8 without value labels
  std::string caption;                 // captionLabel: the variable's name; empty when cancelled
  std::int64_t casesRead = 0;

  // ValueRowCount, also the status panel's number of distinct values.
  int ValueRowCount() const { return table->Rows(); }
  // The text of column col (0 "Value Label" .. 4 "% Valid") of data row row.
  std::string Cell(int col, int row) const { return table->Text(col, row); }
};

// The unweighted pass over var (the current variable record). Each case's
// value is counted; numeric values are classified as system-missing, user
// missing (IsMissingValue) or valid, strings by their missing values (the
// whole value is the key, however long);
// percentages are of all cases read and of the valid ones.
FrequencyResult CountFrequencies(const FrequencyPass& pass, const VarRecord& var,
                                 const FrequencyProgress& progress = {});

// The weighted pass: only cases whose weight (the numeric variable
// activeWeightName) is above 0 count, with their weight; "% Total" is of the
// sum of those weights. A weight variable that cannot be found (or is not
// numeric) gives the message and an empty table.
FrequencyResult CountWeightedFrequencies(const FrequencyPass& pass, const VarRecord& var,
                                         const std::string& activeWeightName,
                                         const FrequencyProgress& progress = {});

}  // namespace brindle
