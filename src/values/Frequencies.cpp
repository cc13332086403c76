#include "values/Frequencies.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "spssio/ColumnPass.h"
#include "spssio/Spssio.h"
#include "spssio/SystemFile.h"
#include "values/FreqTables.h"
#include "values/FrequencyFill.h"

namespace brindle {
namespace {

constexpr std::int64_t kProgressEvery = 1000;

template <class Amount>
void MergeTable(OrderedDblTable<Amount>& into, const OrderedDblTable<Amount>& from) {
  into.Merge(from);
}

template <class Amount>
void MergeTable(RawKeyCounter<Amount>& into, const RawKeyCounter<Amount>& from) {
  from.ForEach([&](std::string_view key, Amount a) {
    into.Insert(reinterpret_cast<const std::uint8_t*>(key.data()), a);
  });
}

const std::uint8_t* Stored(const CaseBatch& batch, std::size_t i) {
  return reinterpret_cast<const std::uint8_t*>(batch.stored(0, i).data());
}

// Reads up to n cases in order, calling perCase(batch, i) for each, with the
// progress callback after every 1000th. Returns the cases read; sets
// cancelled, or warning when the data ends before n.
template <class PerCase>
std::int64_t ReadCases(ColumnPass& cases, std::int64_t n, const FrequencyProgress& progress,
                       bool& cancelled, std::string& warning, PerCase&& perCase) {
  std::int64_t read = 0;
  std::int64_t nextProgress = kProgressEvery;
  const PassEnd end = cases.read({0, n}, [&](CaseBatch& batch) {
    for (std::size_t i = 0; i < batch.size(); ++i) {
      perCase(batch, i);
      if (++read == nextProgress) {
        nextProgress += kProgressEvery;
        if (progress && progress(read)) {
          cancelled = true;
          return false;
        }
      }
    }
    return true;
  });
  if (!cancelled && read < n) warning = EarlyEndWarning(read, n, end.detail);
  return read;
}

// Counts the first n cases on every core, each worker into a table of its
// own (made by makeTable), merged into table at the end: counts are integers,
// which add up the same in any order. False, with table untouched, when the
// cases cannot be split there (ReadCases then counts them, indexing the file
// for the next pass).
template <class Table, class MakeTable, class Count>
bool CountSplit(ColumnPass& cases, std::int64_t n, const FrequencyProgress& progress,
                bool& cancelled, std::int64_t& read, Table& table, MakeTable&& makeTable,
                Count&& count) {
  std::vector<Table> tables;
  for (unsigned w = 0; w < cases.workers(); ++w) tables.push_back(makeTable());
  const std::optional<PassEnd> end = cases.readSplit(
      {0, n},
      [&](unsigned w, CaseBatch& batch) {
        for (std::size_t i = 0; i < batch.size(); ++i) count(tables[w], batch, i);
        return true;
      },
      [&](std::int64_t counted) { return !(progress && progress(counted)); });
  if (!end) return false;
  read = end->cases;
  if (end->stopped) {
    cancelled = true;
    return true;
  }
  for (std::size_t w = 1; w < tables.size(); ++w) {
    MergeTable(tables[0], tables[w]);
    tables[w] = makeTable();
  }
  table = std::move(tables[0]);
  return true;
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

  SystemFile& file = *pass.file;
  const int vi = file.findVariable(var.VarName);
  // Only numbers can weigh: the selector offers no string variables.
  const int wi = weighted ? file.findVariable(*weightName) : -1;
  if (vi < 0 || (weighted && (wi < 0 || file.variable(std::size_t(wi)).isString()))) {
    // Nothing can be counted: without a weight no case has one above 0.
    if (vi >= 0)
      res.message = "cannot find weight variable";
    else
      res.warning = "cannot find variable " + var.VarName;
    if (!isString) res.memo = MemoDisplay::Hidden;
    return res;
  }
  std::vector<int> columns{vi};
  if (weighted) columns.push_back(wi);
  ColumnPass cases(file, columns);
  cases.setThreads(pass.threads);
  cases.setIndexSpacing(pass.indexEvery);
  const std::int64_t n = pass.numCases;

  const VarRecord weight = weighted ? WeightMissing(file, *weightName) : VarRecord{};
  bool cancelled = false;
  std::int64_t read = 0;
  if (!isString) {
    OrderedDblTable<Amount> table;
    if (weighted) {
      // Sums of weights depend on their order: one pass in case order.
      read = ReadCases(cases, n, progress, cancelled, res.warning,
                       [&](const CaseBatch& b, std::size_t i) {
                         const double w = b.number(1, i);
                         if (CountsWithWeight(w, weight)) table.Insert(b.number(0, i), Amount(w));
                       });
    } else if (!CountSplit(
                   cases, n, progress, cancelled, read, table,
                   [] { return OrderedDblTable<Amount>(); },
                   [](OrderedDblTable<Amount>& t, const CaseBatch& b, std::size_t i) {
                     t.Insert(b.number(0, i), Amount(1));
                   })) {
      read = ReadCases(
          cases, n, progress, cancelled, res.warning,
          [&](const CaseBatch& b, std::size_t i) { table.Insert(b.number(0, i), Amount(1)); });
    }
    if (!cancelled) FillNumericResult(pass, var, table, weighted, read, res);
  } else {
    const std::size_t width = cases.columnWidth(0);
    RawKeyCounter<Amount> raw(width);
    if (weighted) {
      read = ReadCases(cases, n, progress, cancelled, res.warning,
                       [&](const CaseBatch& b, std::size_t i) {
                         const double w = b.number(1, i);
                         if (CountsWithWeight(w, weight)) raw.Insert(Stored(b, i), Amount(w));
                       });
    } else if (!CountSplit(
                   cases, n, progress, cancelled, read, raw,
                   [&] { return RawKeyCounter<Amount>(width); },
                   [](RawKeyCounter<Amount>& t, const CaseBatch& b, std::size_t i) {
                     t.Insert(Stored(b, i), Amount(1));
                   })) {
      read = ReadCases(
          cases, n, progress, cancelled, res.warning,
          [&](const CaseBatch& b, std::size_t i) { raw.Insert(Stored(b, i), Amount(1)); });
    }
    if (!cancelled) {
      OrderedStrTable<Amount> table;
      raw.ForEach(
          [&](std::string_view stored, Amount a) { table.Insert(cases.keyText(stored), a); });
      raw.Reset(0);
      FillStringResult(pass, var, table, weighted, read, res);
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

}  // namespace brindle
