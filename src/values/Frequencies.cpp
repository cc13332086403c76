#include "values/Frequencies.h"

#include <algorithm>
#include <unordered_map>

#include "datafile/MissingValueText.h"
#include "spssio/AsciiText.h"
#include "spssio/CaseSource.h"
#include "spssio/Spssio.h"
#include "spssio/SystemFile.h"
#include "values/FreqTables.h"
#include "values/ParallelCount.h"
#include "values/SummaryStatistics.h"

namespace brindle {
namespace {

constexpr std::int64_t kProgressEvery = 1000;

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

// What the pane says when the data ends before the n cases the file promised.
std::string EarlyEndWarning(std::int64_t read, std::int64_t n, const CaseSource& cases) {
  // Counting on would count a stale value for every case left.
  std::string warning = "The data ended early: only " + std::to_string(read) + " of " +
                        std::to_string(n) + " cases could be read";
  const std::string detail = cases.error();
  if (!detail.empty()) warning += " (" + detail + ")";
  return warning + ". The table counts the cases read.";
}

// Reads up to N cases, calling perCase(cases, i) for each, with the progress
// callback after every 1000th. Returns the cases read; sets cancelled, or
// warning when the data ends before N.
template <class PerCase>
std::int64_t ReadCases(CaseSource& cases, std::int64_t n, const FrequencyProgress& progress,
                       bool& cancelled, std::string& warning, PerCase&& perCase) {
  std::int64_t read = 0;
  std::int64_t nextProgress = kProgressEvery;
  while (read < n) {
    const std::size_t want = std::size_t(std::min(nextProgress, n) - read);
    // A batch of wide values may bring fewer cases than asked for.
    const std::size_t got = cases.read(want);
    const std::size_t use = std::size_t(std::min<std::int64_t>(std::int64_t(got), n - read));
    for (std::size_t i = 0; i < use; ++i) {
      perCase(i);
      if (++read == nextProgress) {
        nextProgress += kProgressEvery;
        if (progress && progress(read)) {
          cancelled = true;
          return read;
        }
      }
    }
    if (got < want && (got == 0 || cases.status() != SPSS_OK)) {
      if (read < n) warning = EarlyEndWarning(read, n, cases);
      break;
    }
  }
  return read;
}

template <class Amount>
void FillNumeric(const FrequencyPass& pass, const VarRecord& var, OrderedDblTable<Amount>& table,
                 bool weighted, std::int64_t casesRead, FrequencyResult& res) {
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
void FillString(const FrequencyPass& pass, const VarRecord& var, OrderedStrTable<Amount>& table,
                bool weighted, std::int64_t casesRead, FrequencyResult& res) {
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

template <class Amount>
FrequencyResult Run(const FrequencyPass& pass, const VarRecord& var, const std::string* weightName,
                    const FrequencyProgress& progress) {
  FrequencyResult res;
  if (pass.numCases < 1 || !pass.file) return res;
  res.ran = true;
  res.hideLabelColumn = var.VarType > 8;
  const bool isString = var.VarType > 0;
  const bool weighted = weightName != nullptr;
  res.memo = isString ? MemoDisplay::Hidden : MemoDisplay::Unchanged;
  res.caption = var.VarName;

  CaseSource cases;
  const CaseSource::Start started =
      cases.open(*pass.file, var.VarName, weightName, pass.viaModule, pass.indexEvery);
  if (started != CaseSource::Start::Ok) {
    // Nothing can be counted: without a weight no case has one above 0.
    if (started == CaseSource::Start::NoWeight)
      res.message = "cannot find weight variable";
    else
      res.warning = "cannot find variable " + var.VarName;
    if (!isString) res.memo = MemoDisplay::Hidden;
    cases.close();
    return res;
  }

  const VarRecord weight = weighted ? WeightMissing(*pass.file, *weightName) : VarRecord{};
  bool cancelled = false;
  std::int64_t read = 0;
  if (!isString) {
    OrderedDblTable<Amount> table;
    const unsigned threads = PassThreads(pass.threads);
    // Decoding on one thread and counting on another, where the pass cannot
    // be split.
    const auto overlapped = [&](auto&& perCase) {
      bool ended = false;
      if (threads < 2 || pass.viaModule ||
          !ReadNumbersOverlapped(cases, pass.numCases, weighted, progress, cancelled, read, ended,
                                 perCase))
        return false;
      if (ended) res.warning = EarlyEndWarning(read, pass.numCases, cases);
      return true;
    };
    if (weighted) {
      if (!overlapped([&](double v, double w) {
            if (CountsWithWeight(w, weight)) table.Insert(v, Amount(w));
          }))
        read =
            ReadCases(cases, pass.numCases, progress, cancelled, res.warning, [&](std::size_t i) {
              const double w = cases.weight(i);
              if (CountsWithWeight(w, weight)) table.Insert(cases.number(i), Amount(w));
            });
    } else if (!CountInParallel(
                   cases, pass.numCases, threads, progress, cancelled, read, table,
                   [] { return OrderedDblTable<Amount>(); },
                   [](OrderedDblTable<Amount>& t, CaseSource& c, std::size_t i) {
                     t.Insert(c.number(i), Amount(1));
                   }) &&
               !overlapped([&](double v, double) { table.Insert(v, Amount(1)); })) {
      read = ReadCases(cases, pass.numCases, progress, cancelled, res.warning,
                       [&](std::size_t i) { table.Insert(cases.number(i), Amount(1)); });
    }
    cases.close();
    if (!cancelled) FillNumeric(pass, var, table, weighted, read, res);
  } else {
    RawKeyCounter<Amount> raw(cases.storedWidth());
    if (weighted) {
      read = ReadCases(cases, pass.numCases, progress, cancelled, res.warning, [&](std::size_t i) {
        const double w = cases.weight(i);
        if (CountsWithWeight(w, weight)) raw.Insert(cases.stored(i), Amount(w));
      });
    } else if (!CountInParallel(
                   cases, pass.numCases, PassThreads(pass.threads), progress, cancelled, read, raw,
                   [&] { return RawKeyCounter<Amount>(cases.storedWidth()); },
                   [](RawKeyCounter<Amount>& t, CaseSource& c, std::size_t i) {
                     t.Insert(c.stored(i), Amount(1));
                   })) {
      read = ReadCases(cases, pass.numCases, progress, cancelled, res.warning,
                       [&](std::size_t i) { raw.Insert(cases.stored(i), Amount(1)); });
    }
    cases.close();
    if (!cancelled) {
      OrderedStrTable<Amount> table;
      raw.ForEach([&](std::string_view stored, Amount a) { table.Insert(cases.text(stored), a); });
      raw.Reset(0);
      FillString(pass, var, table, weighted, read, res);
    }
  }
  res.casesRead = read;
  if (cancelled) {
    res.cancelled = true;
    res.caption.clear();
    res.warning.clear();
  }
  return res;
}

}  // namespace

FrequencyPass MakeFrequencyPass(std::shared_ptr<SystemFile> file, std::int64_t numCases,
                                bool usePrintFormat, const NumberSeparators& seps) {
  FrequencyPass pass;
  pass.file = std::move(file);
  pass.numCases = numCases;
  pass.usePrintFormat = usePrintFormat;
  pass.seps = seps;
  spssHostSysmisVal(&pass.sysmis);
  spssLowHighVal(&pass.lowest, &pass.highest);
  return pass;
}

FrequencyResult CountFrequencies(const FrequencyPass& pass, const VarRecord& var,
                                 const FrequencyProgress& progress) {
  return Run<std::int64_t>(pass, var, nullptr, progress);
}

FrequencyResult CountWeightedFrequencies(const FrequencyPass& pass, const VarRecord& var,
                                         const std::string& activeWeightName,
                                         const FrequencyProgress& progress) {
  return Run<double>(pass, var, &activeWeightName, progress);
}

namespace {

// What Run sets before the counting, for a result counted elsewhere.
FrequencyResult CountedResult(const VarRecord& var, std::int64_t casesRead) {
  FrequencyResult res;
  res.ran = true;
  res.hideLabelColumn = var.VarType > 8;
  res.memo = var.VarType > 0 ? MemoDisplay::Hidden : MemoDisplay::Unchanged;
  res.caption = var.VarName;
  res.casesRead = casesRead;
  return res;
}

}  // namespace

VarRecord WeightRecord(const SystemFile& file, const std::string& name) {
  return WeightMissing(file, name);
}

bool CaseCounts(double w, const VarRecord& weight) { return CountsWithWeight(w, weight); }

template <class Amount>
FrequencyResult ResultOfCounts(const FrequencyPass& pass, const VarRecord& var,
                               OrderedDblTable<Amount>& table, std::int64_t casesRead) {
  FrequencyResult res = CountedResult(var, casesRead);
  FillNumeric(pass, var, table, std::is_same_v<Amount, double>, casesRead, res);
  return res;
}

template <class Amount>
FrequencyResult ResultOfCounts(const FrequencyPass& pass, const VarRecord& var,
                               OrderedStrTable<Amount>& table, std::int64_t casesRead) {
  FrequencyResult res = CountedResult(var, casesRead);
  FillString(pass, var, table, std::is_same_v<Amount, double>, casesRead, res);
  return res;
}

template FrequencyResult ResultOfCounts(const FrequencyPass&, const VarRecord&,
                                        OrderedDblTable<std::int64_t>&, std::int64_t);
template FrequencyResult ResultOfCounts(const FrequencyPass&, const VarRecord&,
                                        OrderedDblTable<double>&, std::int64_t);
template FrequencyResult ResultOfCounts(const FrequencyPass&, const VarRecord&,
                                        OrderedStrTable<std::int64_t>&, std::int64_t);
template FrequencyResult ResultOfCounts(const FrequencyPass&, const VarRecord&,
                                        OrderedStrTable<double>&, std::int64_t);

}  // namespace brindle
