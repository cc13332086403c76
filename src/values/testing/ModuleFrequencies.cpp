#include "values/testing/ModuleFrequencies.h"

#include <cstring>

#include "spssio/AsciiText.h"
#include "spssio/SpssioCodes.h"
#include "spssio/SystemFile.h"
#include "values/FreqTables.h"
#include "values/FrequencyFill.h"

namespace brindle {
namespace {

template <class Amount>
FrequencyResult Count(const FrequencyPass& pass, const VarRecord& var, const std::string* weight) {
  FrequencyResult res;
  if (pass.numCases < 1 || !pass.file) return res;
  res.ran = true;
  res.hideLabelColumn = var.VarType > 8;
  const bool isString = var.VarType > 0;
  res.memo = isString ? MemoDisplay::Hidden : MemoDisplay::Unchanged;
  res.caption = var.VarName;
  SystemFile& file = *pass.file;
  const int vi = file.findVariable(var.VarName);
  const int wi = weight ? file.findVariable(*weight) : -1;
  if (vi < 0 || (weight && (wi < 0 || file.variable(std::size_t(wi)).isString()))) {
    if (vi >= 0)
      res.message = "cannot find weight variable";
    else
      res.warning = "cannot find variable " + var.VarName;
    if (!isString) res.memo = MemoDisplay::Hidden;
    return res;
  }
  const VarRecord weightRecord = weight ? WeightMissing(file, *weight) : VarRecord{};
  OrderedDblTable<Amount> numbers;
  OrderedStrTable<Amount> texts;
  std::int64_t read = 0;
  file.rewind();
  while (read < pass.numCases) {
    const int rc = file.readCase();
    if (rc != SPSS_OK) {
      res.warning = EarlyEndWarning(read, pass.numCases,
                                    rc == SPSS_FILE_END ? "" : CodeText(rc, file.caseError()));
      break;
    }
    ++read;
    const Amount amount = weight ? Amount(file.number(std::size_t(wi))) : Amount(1);
    if (weight && !CountsWithWeight(double(amount), weightRecord)) continue;
    if (isString) {
      const std::string text = file.text(std::size_t(vi));
      texts.Insert(std::string(TrimTrailingControls(text.substr(0, text.find('\0')))), amount);
    } else {
      numbers.Insert(file.number(std::size_t(vi)), amount);
    }
  }
  file.rewind();
  if (isString)
    FillStringResult(pass, var, texts, weight != nullptr, read, res);
  else
    FillNumericResult(pass, var, numbers, weight != nullptr, read, res);
  res.casesRead = read;
  return res;
}

}  // namespace

FrequencyResult CountFrequenciesThroughModule(const FrequencyPass& pass, const VarRecord& var,
                                              const std::string* weight) {
  return weight ? Count<double>(pass, var, weight) : Count<std::int64_t>(pass, var, weight);
}

}  // namespace brindle
