#include "values/FrequencyFill.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "datafile/MissingValueText.h"
#include "spssio/AsciiText.h"
#include "spssio/SystemFile.h"
#include "values/SummaryStatistics.h"

namespace brindle {
namespace {

// The labels of a table: each text added once, looked up by its key.
template <class Key>
std::unordered_map<Key, std::int32_t> LabelIndices(
    FrequencyTable& table, const std::unordered_map<Key, std::string>& labels) {
  std::unordered_map<Key, std::int32_t> indices;
  indices.reserve(labels.size());
  for (const auto& [key, text] : labels) indices.emplace(key, table.AddLabel(text));
  return indices;
}

template <class Key>
std::int32_t LabelOf(const std::unordered_map<Key, std::int32_t>& indices, const Key& key) {
  const auto it = indices.find(key);
  return it == indices.end() ? -1 : it->second;
}

template <class Amount>
void AddRowAmount(std::int64_t& count, double& weight, Amount a) {
  if constexpr (std::is_same_v<Amount, double>)
    weight = a;
  else
    count = a;
}

std::string TrimBlanks(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// The variable of that name, or null.
const Variable* Find(const SystemFile& file, const std::string& name, int& index) {
  index = file.findVariable(name);
  return index < 0 ? nullptr : &file.variable(std::size_t(index));
}

// The first label of each numeric value, in file order.
std::unordered_map<double, std::string> NumericLabels(const SystemFile& file,
                                                      const std::string& name) {
  std::unordered_map<double, std::string> labels;
  int index = -1;
  const Variable* v = Find(file, name, index);
  if (!v || v->isString()) return labels;
  for (NumericLabel& l : file.numericLabels(std::size_t(index)))
    if (!std::isnan(l.value)) labels.try_emplace(l.value == 0 ? 0.0 : l.value, std::move(l.label));
  return labels;
}

std::unordered_map<std::string, std::string> StringLabels(const SystemFile& file,
                                                          const std::string& name) {
  std::unordered_map<std::string, std::string> labels;
  int index = -1;
  const Variable* v = Find(file, name, index);
  if (!v || !v->isString()) return labels;
  for (StringLabel& l : file.stringLabels(std::size_t(index)))
    labels.try_emplace(TrimBlanks(std::move(l.value)), std::move(l.label));
  return labels;
}

// The missing values of a string variable, as table keys. The file gives at
// most 8 stored bytes each, whose UTF-8 text may take more: it is not cut.
std::vector<std::string> StringMissing(const SystemFile& file, const std::string& name) {
  std::vector<std::string> missing;
  int index = -1;
  const Variable* v = Find(file, name, index);
  if (!v || !v->isString()) return missing;
  const MissingValues& m = v->missing;
  if (m.format < 1 || m.format > 3) return missing;
  for (int i = 0; i < m.format; ++i) {
    const std::string_view s(m.strings[i]);
    missing.push_back(std::string(TrimTrailingControls(s.substr(0, s.find('\0')))));
  }
  return missing;
}

}  // namespace

// The weight variable's own missing values, as a record IsMissingValue reads.
VarRecord WeightMissing(const SystemFile& file, const std::string& name) {
  VarRecord weight;
  int index = -1;
  const Variable* v = Find(file, name, index);
  if (!v || v->isString()) return weight;
  weight.missingFormat = v->missing.format;
  weight.nMiss1 = v->missing.numbers[0];
  weight.nMiss2 = v->missing.numbers[1];
  weight.nMiss3 = v->missing.numbers[2];
  return weight;
}

// A case counts with a weight above 0 that is not user-missing; a zero,
// negative, system-missing (the lowest double) or user-missing weight leaves
// it out of every count.
bool CountsWithWeight(double w, const VarRecord& weight) {
  return w > 0 && !IsMissingValue(w, weight);
}

template <class Amount>
void FillNumericResult(const FrequencyPass& pass, const VarRecord& var,
                       OrderedDblTable<Amount>& table, bool weighted, std::int64_t casesRead,
                       FrequencyResult& res) {
  const PrintFormat format{var.Fmt, var.Wid, var.Dec};
  auto rows = std::make_shared<FrequencyTable>(
      FrequencyTable::Layout{format, pass.usePrintFormat, pass.seps, pass.sysmis, weighted, 0, 0},
      false);
  const auto labels = LabelIndices(*rows, NumericLabels(*pass.file, var.VarName));
  rows->Reserve(table.Size());
  SummaryStatistics stats(pass.lowest, pass.highest);
  // One walk in value order classifies, sums and keeps each distinct value.
  table.ForEachOrdered([&](double value, Amount amount) {
    const bool valid = !(value == pass.sysmis || IsMissingValue(value, var));
    if (valid)
      stats.AddValid(value, double(amount));
    else
      stats.AddMissing(double(amount));
    std::int64_t count = 0;
    double weight = 0;
    AddRowAmount(count, weight, amount);
    rows->AddNumber(value, count, weight, valid, LabelOf(labels, value == 0 ? 0.0 : value));
  });
  table.Clear();
  const double total = weighted ? stats.Valid() + stats.Missing() : double(casesRead);
  rows->SetTotals(total, stats.Valid());
  res.table = std::move(rows);
  res.memoLines = stats.Lines(weighted, total, format, pass.usePrintFormat, pass.seps);
  res.memo = res.memoLines.empty() ? MemoDisplay::Hidden : MemoDisplay::Shown;
}

template <class Amount>
void FillStringResult(const FrequencyPass& pass, const VarRecord& var,
                      OrderedStrTable<Amount>& table, bool weighted, std::int64_t casesRead,
                      FrequencyResult& res) {
  auto entries = table.Ordered();
  table.Clear();
  // Long strings too: their missing values and labels come from extension
  // records. A missing value of a long string is its first 8 bytes, the rest
  // blanks, so it compares like a short string's once blanks are trimmed.
  const std::vector<std::string> missing = StringMissing(*pass.file, var.VarName);
  const std::unordered_map<std::string, std::string> labelTexts =
      StringLabels(*pass.file, var.VarName);
  // A long string's label column is hidden only when it has no labels.
  if (!labelTexts.empty()) res.hideLabelColumn = false;
  double valid = 0, all = 0;
  for (auto& e : entries) {
    all += double(e.amount);
    e.valid = std::find(missing.begin(), missing.end(), e.value) == missing.end();
    if (e.valid) valid += double(e.amount);
  }
  const double total = weighted ? all : double(casesRead);
  auto rows = std::make_shared<FrequencyTable>(
      FrequencyTable::Layout{PrintFormat{var.Fmt, var.Wid, var.Dec}, pass.usePrintFormat, pass.seps,
                             pass.sysmis, weighted, total, valid},
      true);
  const auto labels = LabelIndices(*rows, labelTexts);
  rows->Reserve(entries.size());
  for (auto& e : entries) {
    std::int64_t count = 0;
    double weight = 0;
    AddRowAmount(count, weight, e.amount);
    const std::int32_t label = LabelOf(labels, e.value);
    rows->AddString(std::move(e.value), count, weight, e.valid, label);
  }
  res.table = std::move(rows);
}

std::string EarlyEndWarning(std::int64_t read, std::int64_t n, const std::string& detail) {
  // Counting on would count a stale value for every case left.
  std::string warning = "The data ended early: only " + std::to_string(read) + " of " +
                        std::to_string(n) + " cases could be read";
  if (!detail.empty()) warning += " (" + detail + ")";
  return warning + ". The table counts the cases read.";
}

template void FillNumericResult(const FrequencyPass&, const VarRecord&,
                                OrderedDblTable<std::int64_t>&, bool, std::int64_t,
                                FrequencyResult&);
template void FillNumericResult(const FrequencyPass&, const VarRecord&, OrderedDblTable<double>&,
                                bool, std::int64_t, FrequencyResult&);
template void FillStringResult(const FrequencyPass&, const VarRecord&,
                               OrderedStrTable<std::int64_t>&, bool, std::int64_t,
                               FrequencyResult&);
template void FillStringResult(const FrequencyPass&, const VarRecord&, OrderedStrTable<double>&,
                               bool, std::int64_t, FrequencyResult&);

}  // namespace brindle
