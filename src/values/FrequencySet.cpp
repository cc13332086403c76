#include "values/FrequencySet.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <atomic>
#include <chrono>
#include <limits>
#include <memory>
#include <thread>
#include <type_traits>

#include "spssio/AsciiText.h"
#include "spssio/CaseColumns.h"
#include "spssio/SpssioCodes.h"
#include "spssio/SystemFile.h"
#include "spssio/TaskPool.h"
#include "values/FreqTables.h"

namespace brindle {
namespace {

// Progress is reported after every 1000th case, as the one-variable pass
// reports it; batches are that long.
constexpr std::size_t kBatchCases = 1000;
// What a distinct value costs in a counting table, roughly: a hash slot kept
// at most half full, or a hash-map node with its text.
constexpr std::size_t kNumberEntryBytes = 32;
constexpr std::size_t kStringEntryBytes = 96;

// A numeric column's counts: whole numbers from 0 to 255 (answer codes,
// the common case) in an array, every other value in the table.
template <class Amount>
struct NumberCounts {
  std::array<Amount, 256> small{};
  OrderedDblTable<Amount> table;

  void Insert(double v, Amount a) {
    if (v >= 0 && v < 256) {
      const auto k = static_cast<unsigned>(v);
      if (double(k) == v) {
        small[k] += a;
        return;
      }
    }
    table.Insert(v, a);
  }
  // The array's counts into the table; a table in value order stays so.
  void Settle() {
    OrderedDblTable<Amount> front;
    OrderedDblTable<Amount>& into = table.InValueOrder() ? front : table;
    for (unsigned k = 0; k < small.size(); ++k)
      if (small[k] != Amount(0)) into.Insert(double(k), small[k]);
    small.fill(Amount(0));
    if (&into == &front) {
      front.Merge(table);
      table = std::move(front);
    }
  }
  std::size_t Size() const { return table.Size(); }
  void Clear() {
    small.fill(Amount(0));
    table.Clear();
  }
};

// A string column's counts: the first few distinct texts in a short list,
// searched before any hashing; past that, all in the table.
template <class Amount>
struct StringCounts {
  static constexpr std::size_t kFew = 16;
  std::vector<std::pair<std::string, Amount>> few;
  bool spilled = false;
  OrderedStrTable<Amount> table;

  void Insert(std::string_view s, Amount a) {
    if (!spilled) {
      for (auto& [key, amount] : few)
        if (key.size() == s.size() && std::memcmp(key.data(), s.data(), s.size()) == 0) {
          amount += a;
          return;
        }
      if (few.size() < kFew) {
        few.emplace_back(std::string(s), a);
        return;
      }
      spilled = true;
      Settle();
    }
    table.Insert(s, a);
  }
  void Settle() {
    for (const auto& [key, amount] : few) table.Insert(key, amount);
    few.clear();
  }
  std::size_t Size() const { return few.size() + table.Size(); }
  void Clear() {
    few.clear();
    table.Clear();
  }
};

// One thread's tables: per column a numeric or a string table.
template <class Amount>
struct Tables {
  std::vector<NumberCounts<Amount>> numbers;
  std::vector<StringCounts<Amount>> strings;
};

struct Column {
  bool isString = false;
  std::size_t table = 0;  // index into the numbers or strings of a Tables
};

// The key a string value is counted under: the text up to its first zero
// byte, trailing blanks and control characters cut, as the one-variable
// pass keys it.
std::string_view StringKey(std::string_view text) {
  return TrimTrailingControls(text.substr(0, text.find('\0')));
}

template <class Amount>
class SetCounter {
 public:
  SetCounter(const std::vector<Column>& columns, std::size_t numbers, std::size_t strings,
             std::size_t weightColumn, const VarRecord& weight,
             std::vector<std::atomic<bool>>& dropped)
      : m_columns(columns),
        m_numbers(numbers),
        m_strings(strings),
        m_weightColumn(weightColumn),
        m_weight(weight),
        m_dropped(dropped) {}

  std::unique_ptr<Tables<Amount>> NewTables() const {
    auto t = std::make_unique<Tables<Amount>>();
    t->numbers.resize(m_numbers);
    t->strings.resize(m_strings);
    return t;
  }

  // Counts cases [0, n) of the batch at hand in source.
  void Count(Tables<Amount>& t, CaseColumns& source, std::size_t n) {
    constexpr bool weighted = std::is_same_v<Amount, double>;
    if constexpr (weighted) {
      m_weights.resize(n);
      for (std::size_t i = 0; i < n; ++i) {
        const double w = source.number(i, m_weightColumn);
        m_weights[i] = CaseCounts(w, m_weight) ? w : 0;
      }
    }
    for (std::size_t c = 0; c < m_columns.size(); ++c) {
      const Column& col = m_columns[c];
      if (col.isString || m_dropped[c].load(std::memory_order_relaxed)) continue;
      NumberCounts<Amount>& table = t.numbers[col.table];
      for (std::size_t i = 0; i < n; ++i) {
        if constexpr (weighted) {
          if (m_weights[i] > 0) table.Insert(source.number(i, c), m_weights[i]);
        } else {
          table.Insert(source.number(i, c), Amount(1));
        }
      }
    }
    for (std::size_t c = 0; c < m_columns.size(); ++c) {
      const Column& col = m_columns[c];
      if (!col.isString || m_dropped[c].load(std::memory_order_relaxed)) continue;
      StringCounts<Amount>& table = t.strings[col.table];
      for (std::size_t i = 0; i < n; ++i) {
        if constexpr (weighted) {
          if (m_weights[i] > 0) table.Insert(StringKey(source.text(i, c)), m_weights[i]);
        } else {
          table.Insert(StringKey(source.text(i, c)), Amount(1));
        }
      }
    }
  }

  // The bytes t's tables take, about; tables of dropped columns are emptied.
  std::size_t Bytes(Tables<Amount>& t) const {
    std::size_t bytes = 0;
    for (std::size_t c = 0; c < m_columns.size(); ++c) {
      const Column& col = m_columns[c];
      const bool drop = m_dropped[c].load(std::memory_order_relaxed);
      if (!col.isString) {
        if (drop && t.numbers[col.table].Size() > 0) t.numbers[col.table].Clear();
        bytes += t.numbers[col.table].Size() * kNumberEntryBytes;
      } else {
        if (drop && t.strings[col.table].Size() > 0) t.strings[col.table].Clear();
        bytes += t.strings[col.table].Size() * kStringEntryBytes;
      }
    }
    return bytes;
  }

  // Over the budget: the column with the most distinct values in t is left
  // out, for every thread.
  void DropLargest(Tables<Amount>& t) {
    std::size_t best = m_columns.size(), bestBytes = 0;
    for (std::size_t c = 0; c < m_columns.size(); ++c) {
      if (m_dropped[c].load()) continue;
      const Column& col = m_columns[c];
      const std::size_t bytes = col.isString ? t.strings[col.table].Size() * kStringEntryBytes
                                             : t.numbers[col.table].Size() * kNumberEntryBytes;
      if (best == m_columns.size() || bytes > bestBytes) {
        best = c;
        bestBytes = bytes;
      }
    }
    if (best < m_columns.size()) m_dropped[best] = true;
  }

 private:
  const std::vector<Column>& m_columns;
  std::size_t m_numbers, m_strings;
  std::size_t m_weightColumn;
  const VarRecord& m_weight;
  std::vector<std::atomic<bool>>& m_dropped;
  std::vector<double> m_weights;
};

// Runs work(t) for t in [0, threads): 0 on this thread, the others as tasks
// of the shared pool (or here, when no pool thread takes them); while they
// run, idle() is called on this thread every few milliseconds.
template <class Work, class Idle>
void RunOnPool(unsigned threads, std::atomic<unsigned>& running, Work&& work, Idle&& idle) {
  running = threads;
  auto one = [&](unsigned t) {
    work(t);
    --running;
  };
  std::vector<TaskPool::TaskHandle> helpers;
  for (unsigned t = 1; t < threads; ++t)
    helpers.push_back(TaskPool::shared().post([&one, t] { one(t); }));
  one(0);
  for (const TaskPool::TaskHandle& helper : helpers) helper->runHere();
  // This thread gets its turn at least once, however fast the others were.
  idle();
  while (running.load() > 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    idle();
  }
  for (const TaskPool::TaskHandle& helper : helpers) helper->wait();
}

std::string EarlyEnd(std::int64_t read, std::int64_t n, const std::string& detail) {
  std::string warning = "The data ended early: only " + std::to_string(read) + " of " +
                        std::to_string(n) + " cases could be read";
  if (!detail.empty()) warning += " (" + detail + ")";
  return warning + ". The table counts the cases read.";
}

template <class Amount>
FrequencySet CountSet(const FrequencyPass& pass, const std::vector<VarRecord>& vars,
                      const std::string* weightName, const FrequencyProgress& progress,
                      std::size_t budget) {
  constexpr bool weighted = std::is_same_v<Amount, double>;
  FrequencySet set;
  set.results.resize(vars.size());
  set.leftOut.assign(vars.size(), false);
  if (pass.numCases < 1 || !pass.file) return set;
  set.ran = true;
  SystemFile& file = *pass.file;
  const std::int64_t n = pass.numCases;

  // The columns of the pass: the variables found in the file, then the weight.
  std::vector<int> positions;
  std::vector<Column> columns;
  std::vector<std::size_t> varOfColumn;
  std::size_t numbers = 0, strings = 0;
  for (std::size_t v = 0; v < vars.size(); ++v) {
    const int index = file.findVariable(vars[v].VarName);
    if (index < 0) {
      set.leftOut[v] = true;
      continue;
    }
    const bool isString = file.variable(std::size_t(index)).isString();
    positions.push_back(index);
    columns.push_back({isString, isString ? strings++ : numbers++});
    varOfColumn.push_back(v);
  }
  std::size_t weightColumn = 0;
  VarRecord weight;
  if (weighted) {
    const int index = file.findVariable(*weightName);
    if (index < 0 || file.variable(std::size_t(index)).isString()) {
      set.message = "cannot find weight variable";
      return set;
    }
    weightColumn = positions.size();
    positions.push_back(index);
    weight = WeightRecord(file, *weightName);
  }

  CaseColumns cases;
  if (!cases.open(file, positions)) {
    set.warning = EarlyEnd(0, n, cases.error());
    return set;
  }
  std::vector<std::atomic<bool>> dropped(columns.size());
  SetCounter<Amount> counter(columns, numbers, strings, weightColumn, weight, dropped);
  std::atomic<std::int64_t> counted{0};
  std::atomic<bool> cancel{false};
  // Progress after every 1000th case counted: with several threads the
  // count can pass more than one thousand between two reports.
  std::int64_t reported = 0;
  const auto report = [&] {
    const std::int64_t now = counted.load(std::memory_order_relaxed);
    if (!progress || cancel.load() || now / 1000 == reported / 1000) return;
    reported = now;
    if (progress(now)) cancel = true;
  };

  // Sums of counts are integers: any split adds up to one pass's counts.
  // Weight sums are added in file order, as the one-variable pass adds them.
  const unsigned threads = weighted ? 1u : PassThreads(pass.threads);
  std::vector<CaseSegment> segments;
  std::int64_t indexed = 0;
  if (threads > 1 &&
      cases.buildIndex(pass.indexEvery, [&](std::int64_t passed) {
        // The index pass decodes nothing: the window gets its turn now and
        // then, at no count of cases.
        if (progress && passed / 65536 != indexed / 65536 && progress(0)) cancel = true;
        indexed = passed;
        return !cancel.load();
      }))
    segments = cases.split(std::size_t(threads) * 4);
  if (cancel) {
    cases.close();
    set.cancelled = true;
    return set;
  }

  std::vector<std::unique_ptr<Tables<Amount>>> tables;
  // Each thread keeps its tables within its share of the budget: what the
  // others hold is not known at the moment, and their tables of a column
  // left out are emptied at their next batch.
  std::size_t share = budget;
  // After each batch: a column left out when the thread's tables have grown
  // past its share.
  const auto afterBatch = [&](unsigned t, Tables<Amount>& mine, std::size_t batch) {
    counted.fetch_add(std::int64_t(batch), std::memory_order_relaxed);
    if (counter.Bytes(mine) > share) counter.DropLargest(mine);
    if (t == 0) report();
  };

  bool parallel = segments.size() >= 2;
  if (parallel) {
    const unsigned workers = unsigned(std::min<std::size_t>(threads, segments.size()));
    share = budget / workers;
    for (unsigned t = 0; t < workers; ++t) tables.push_back(counter.NewTables());
    std::atomic<std::size_t> nextSegment{0};
    std::atomic<bool> failed{false};
    std::atomic<unsigned> running{0};
    std::vector<SetCounter<Amount>> counters(workers, counter);
    RunOnPool(
        workers, running,
        [&](unsigned t) {
          try {
            CaseColumns source;
            for (std::size_t s; !cancel.load() && !failed.load() &&
                                (s = nextSegment++) < segments.size();) {
              const CaseSegment& segment = segments[s];
              const std::int64_t first = segment.from.firstCase();
              const std::int64_t want = std::min(segment.end, n) - first;
              if (want <= 0) continue;
              if (!source.openSegment(cases, segment)) {
                failed = true;
                break;
              }
              std::int64_t got = 0;
              while (got < want && !cancel.load(std::memory_order_relaxed)) {
                const std::size_t batch =
                    source.read(std::size_t(std::min<std::int64_t>(kBatchCases, want - got)));
                const std::size_t use =
                    std::size_t(std::min<std::int64_t>(std::int64_t(batch), want - got));
                counters[t].Count(*tables[t], source, use);
                got += std::int64_t(use);
                afterBatch(t, *tables[t], use);
                if (batch == 0) break;
              }
              if (got != want && !cancel.load()) {
                // Damage inside the data: one pass from the start says where.
                failed = true;
                break;
              }
            }
          } catch (...) {
            failed = true;
          }
        },
        report);
    if (failed && !cancel) {
      parallel = false;
      tables.clear();
      for (auto& d : dropped) d = false;
      share = budget;
      counted = 0;
    }
  }
  if (!parallel && !cancel) {
    tables.clear();
    tables.push_back(counter.NewTables());
    std::int64_t got = 0;
    while (got < n && !cancel.load()) {
      const std::size_t want = std::size_t(std::min<std::int64_t>(kBatchCases, n - got));
      const std::size_t batch = cases.read(want);
      const std::size_t use = std::min(batch, want);
      counter.Count(*tables[0], cases, use);
      got += std::int64_t(use);
      afterBatch(0, *tables[0], use);
      if (batch < want && (batch == 0 || cases.status() != SPSS_OK)) break;
    }
    if (got < n && !cancel) set.warning = EarlyEnd(got, n, cases.error());
  }
  cases.close();
  if (cancel) {
    set.cancelled = true;
    set.casesRead = counted.load();
    return set;
  }
  set.casesRead = counted.load();

  // Each variable's tables merged and turned into its result, a variable
  // at a time on every thread.
  std::atomic<std::size_t> nextColumn{0};
  std::atomic<unsigned> running{0};
  RunOnPool(
      unsigned(std::max<std::size_t>(1, std::min<std::size_t>(PassThreads(pass.threads),
                                                              columns.size()))),
      running,
      [&](unsigned) {
        for (std::size_t c; (c = nextColumn++) < columns.size();) {
          const std::size_t v = varOfColumn[c];
          if (dropped[c]) {
            set.leftOut[v] = true;
            continue;
          }
          const Column& col = columns[c];
          if (!col.isString) {
            NumberCounts<Amount>& into = tables[0]->numbers[col.table];
            into.Settle();
            for (std::size_t t = 1; t < tables.size(); ++t) {
              NumberCounts<Amount>& from = tables[t]->numbers[col.table];
              from.Settle();
              into.table.Merge(from.table);
              from.Clear();
            }
            set.results[v] = ResultOfCounts(pass, vars[v], into.table, set.casesRead);
          } else {
            StringCounts<Amount>& into = tables[0]->strings[col.table];
            into.Settle();
            for (std::size_t t = 1; t < tables.size(); ++t) {
              StringCounts<Amount>& from = tables[t]->strings[col.table];
              from.Settle();
              into.table.Merge(from.table);
              from.Clear();
            }
            set.results[v] = ResultOfCounts(pass, vars[v], into.table, set.casesRead);
          }
          set.results[v].warning = set.warning;
        }
      },
      [] {});
  return set;
}

}  // namespace

FrequencySet CountFrequencySet(const FrequencyPass& pass, const std::vector<VarRecord>& vars,
                               const std::string* weightName, const FrequencyProgress& progress,
                               std::size_t budgetBytes) {
  return weightName ? CountSet<double>(pass, vars, weightName, progress, budgetBytes)
                    : CountSet<std::int64_t>(pass, vars, nullptr, progress, budgetBytes);
}

}  // namespace brindle
