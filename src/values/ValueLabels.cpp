#include "values/ValueLabels.h"

#include "spssio/Spssio.h"

namespace brindle {

ValueLabelList ReadValueLabels(int handle, const VarRecord& var, const NumberSeparators& seps) {
  ValueLabelList list;
  double* nValues = nullptr;
  char** labels = nullptr;
  int count = 0;
  if (spssGetVarNValueLabels(handle, var.VarName.c_str(), &nValues, &labels, &count) == SPSS_OK) {
    list.listed = true;
    list.rows.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
      list.rows.push_back({labels[i], FixedText(nValues[i], var.Wid + 1, var.Dec, seps)});
    spssFreeVarNValueLabels(nValues, labels, count);
    return list;
  }
  char** cValues = nullptr;
  labels = nullptr;
  count = 0;
  if (spssGetVarCValueLabels(handle, var.VarName.c_str(), &cValues, &labels, &count) == SPSS_OK) {
    list.listed = true;
    list.rows.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) list.rows.push_back({labels[i], cValues[i]});
    spssFreeVarCValueLabels(cValues, labels, count);
  }
  return list;
}

}  // namespace brindle
