#include "values/ValueLabels.h"

#include "spssio/SystemFile.h"

namespace brindle {

ValueLabelList ReadValueLabels(const SystemFile& file, const VarRecord& var,
                               const NumberSeparators& seps) {
  ValueLabelList list;
  const int index = file.findVariable(var.VarName);
  if (index < 0) return list;
  list.listed = true;
  if (!file.variable(std::size_t(index)).isString()) {
    for (const NumericLabel& l : file.numericLabels(std::size_t(index)))
      list.rows.push_back({l.label, FixedText(l.value, var.Wid + 1, var.Dec, seps)});
  } else {
    for (StringLabel& l : file.stringLabels(std::size_t(index)))
      list.rows.push_back({std::move(l.label), std::move(l.value)});
  }
  return list;
}

}  // namespace brindle
