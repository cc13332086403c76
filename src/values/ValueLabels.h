// The value labels of the current variable, as the values pane lists them.
#pragma once

#include <string>
#include <vector>

#include "format/FormatValue.h"
#include "variables/VarRecord.h"

namespace brindle {

class SystemFile;

struct ValueLabelRow {
  std::string label;
  std::string value;  // numeric: "%*.*f" of the variable's width + 1 and decimals
};

struct ValueLabelList {
  // True when the module returned labels (possibly none): the pane then names
  // the variable in its caption. False on failures.
  bool listed = false;
  std::vector<ValueLabelRow> rows;  // in the order the module returns them
};

// Reads var's value labels from the open file: numeric labels first;
// when the module refuses those, its string labels (of any width), values
// exactly as returned (blank padding kept). The label arrays are always
// released.
ValueLabelList ReadValueLabels(const SystemFile& file, const VarRecord& var,
                               const NumberSeparators& seps);

}  // namespace brindle
