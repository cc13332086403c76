#include "values/FrequencySet.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <atomic>
#include <chrono>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>

#include "spssio/AsciiText.h"
#include "spssio/ColumnPass.h"
#include "spssio/SpssioCodes.h"
#include "spssio/SystemFile.h"
#include "spssio/TaskPool.h"
#include "values/FreqTables.h"
#include "values/FrequencyFill.h"

namespace brindle {
namespace {

// Progress is reported after every 1000th case, as the one-variable pass
// reports it; batches are that long.
constexpr std::size_t kBatchCases = 1000;
// What a distinct value costs in a counting table, roughly: a hash slot kept
// at most half full, or a hash-map node with its text.
constexpr std::size_t kNumberEntryBytes = 32;
constexpr std::size_t kStringEntryBytes = 96;

// Sorts values in numeric order by the bits of each (negatives' flipped):
// a radix sort, a few linear passes for millions of values. Where the
// order is not the table's (minus zero, NaNs of either sign) the table
// still counts right, only by hashing.
void SortByValue(std::vector<double>& values) {
  std::vector<std::uint64_t> keys(values.size()), other(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    std::uint64_t bits;
    std::memcpy(&bits, &values[i], 8);
    keys[i] = (bits >> 63) ? ~bits : bits | (std::uint64_t(1) << 63);
  }
  for (unsigned shift = 0; shift < 64; shift += 16) {
    std::vector<std::size_t> counts(65537, 0);
    for (const std::uint64_t k : keys) ++counts[((k >> shift) & 0xFFFF) + 1];
    // A digit that all keys share is no pass at all.
    if (!keys.empty() && counts[((keys[0] >> shift) & 0xFFFF) + 1] == keys.size()) continue;
    for (std::size_t b = 1; b < counts.size(); ++b) counts[b] += counts[b - 1];
    for (const std::uint64_t k : keys) other[counts[(k >> shift) & 0xFFFF]++] = k;
    keys.swap(other);
  }
  for (std::size_t i = 0; i < values.size(); ++i) {
    const std::uint64_t k = keys[i];
    const std::uint64_t bits = (k >> 63) ? k & ~(std::uint64_t(1) << 63) : ~k;
    std::memcpy(&values[i], &bits, 8);
  }
}

// A numeric column's counts. Values on a grid of the variable's print
// decimals (answer codes, amounts of a few decimals) are counted in an
// array indexed by their place on the grid, which grows to at most kGridMax
// places around the values met; every other value goes to the table. A
// value is on the grid when its place, divided by the grid's scale, gives
// it back exactly, so the table gets the very same values at the end.
template <class Amount>
struct NumberCounts {
  static constexpr std::int64_t kGridMax = std::int64_t(1) << 17;
  std::int64_t gridMax = kGridMax;  // places, within the column's share of the budget
  // Counts of one take half the room on the grid, and so twice the values
  // stay in the cache; before a count could pass 32 bits the grid is
  // emptied into the table.
  using Slot = std::conditional_t<std::is_same_v<Amount, std::int64_t>, std::uint32_t, Amount>;
  static constexpr std::int64_t kSlotLimit =
      std::is_same_v<Slot, std::uint32_t> ? std::int64_t(0xFFFFFFFF) : INT64_MAX;
  std::vector<Slot> grid;
  std::int64_t gridValues = 0;  // values counted on the grid since it was emptied
  std::int64_t base = 0;  // the grid place of grid[0]
  double scale = 1;       // values times scale are whole on the grid
  std::int64_t offGrid = 0;
  bool gridOff = false;  // the values hardly fall on it: not worth the look
  OrderedDblTable<Amount> table;
  // Counts of one, the values nearly all distinct (weights, measurements of
  // many decimals): the values side by side, sorted once at the end, cost
  // less than a hash table larger than the cache.
  bool collecting = false;
  std::vector<double> collected;

  void SetGrid(int decimals, std::int64_t places) {
    gridMax = std::clamp<std::int64_t>(places, 256, kGridMax);
    scale = 1;
    for (int d = 0; d < std::min(decimals, 9); ++d) scale *= 10;
  }
  void Insert(double v, Amount a) {
    if (!gridOff) {
      const double scaled = v * scale;
      // Within 2^51 (NaN and system-missing are not) the sum below rounds
      // to the nearest whole number.
      if (scaled > -2251799813685248.0 && scaled < 2251799813685248.0) {
        constexpr double kRound = 6755399441055744.0;  // 1.5 * 2^52
        const double whole = (scaled + kRound) - kRound;
        if (whole / scale == v) {
          const auto place = static_cast<std::int64_t>(whole);
          const std::int64_t at = place - base;
          if (gridValues >= kSlotLimit) FlushGrid();
          if (at >= 0 && at < std::int64_t(grid.size())) {
            grid[std::size_t(at)] += Slot(a);
            ++gridValues;
            return;
          }
          if (Widen(place)) {
            grid[std::size_t(place - base)] += Slot(a);
            ++gridValues;
            return;
          }
        }
      }
      // Values of many decimals (weights, measurements): the table alone.
      if (++offGrid > 4096 && grid.size() <= 64) gridOff = true;
    }
    table.Insert(v, a);
  }
  // Counting one at a time with the grid off: while the table's values are
  // mostly distinct, they go on as a list.
  void MaybeCollect() {
    if constexpr (std::is_same_v<Amount, std::int64_t>) {
      if (collecting || !gridOff || table.InValueOrder() || table.Size() * 4 < std::size_t(offGrid) * 3)
        return;
      collecting = true;
      table.ForEachOrdered([&](double v, Amount a) { collected.insert(collected.end(), std::size_t(a), v); });
      table.Clear();
    }
  }
  // Counts n values once each: Insert with the grid in registers.
  void CountAll(const double* values, std::size_t n) {
    constexpr double kRound = 6755399441055744.0;
    std::size_t i = 0;
    while (i < n) {
      if (collecting) {
        collected.insert(collected.end(), values + i, values + n);
        return;
      }
      if (gridOff) {
        MaybeCollect();
        if (collecting) continue;
        for (; i < n; ++i) table.Insert(values[i], Amount(1));
        return;
      }
      if (gridValues > kSlotLimit - std::int64_t(n)) FlushGrid();
      gridValues += std::int64_t(n - i);
      Slot* const counts = grid.data();
      const std::uint64_t size = grid.size();
      const std::int64_t first = base;
      const double by = scale;
      if (by == 1) {
        for (; i < n; ++i) {
          const double v = values[i];
          if (!(v > -2251799813685248.0 && v < 2251799813685248.0)) break;
          const double whole = (v + kRound) - kRound;
          const auto at = std::uint64_t(static_cast<std::int64_t>(whole) - first);
          if (whole != v || at >= size) break;
          ++counts[at];
        }
      } else {
        for (; i < n; ++i) {
          const double v = values[i];
          const double scaled = v * by;
          if (!(scaled > -2251799813685248.0 && scaled < 2251799813685248.0)) break;
          const double whole = (scaled + kRound) - kRound;
          const auto at = std::uint64_t(static_cast<std::int64_t>(whole) - first);
          if (whole / by != v || at >= size) break;
          ++counts[at];
        }
      }
      // Off the grid, or past its ends: the one value the long way.
      if (i < n) Insert(values[i++], Amount(1));
    }
  }
  // Makes room on the grid for place; false when the grid would grow past
  // kGridMax places.
  bool Widen(std::int64_t place) {
    if (grid.empty()) {
      grid.assign(64, Slot(0));
      base = place - 32;
      return true;
    }
    const std::int64_t size = std::int64_t(grid.size());
    const std::int64_t lo = std::min(base, place), hi = std::max(base + size, place + 1);
    if (hi - lo > gridMax) return false;
    const std::int64_t span = std::min(gridMax, std::max(2 * size, 2 * (hi - lo)));
    // Grows towards the value, keeping every place it had.
    const std::int64_t newBase = place < base ? hi - span : lo;
    std::vector<Slot> wider(std::size_t(span), Slot(0));
    std::copy(grid.begin(), grid.end(), wider.begin() + (base - newBase));
    grid.swap(wider);
    base = newBase;
    return true;
  }
  // The grid's counts into the table, the grid kept, its counts zero.
  void FlushGrid() {
    for (std::size_t k = 0; k < grid.size(); ++k)
      if (grid[k] != Slot(0)) table.Insert(double(base + std::int64_t(k)) / scale, Amount(grid[k]));
    std::fill(grid.begin(), grid.end(), Slot(0));
    gridValues = 0;
  }
  // The grid's counts and the list into the table; a table in value order
  // stays so.
  void Settle() {
    if (collecting) {
      SortByValue(collected);
      // In value order the table appends, without hashing.
      table.Clear();
      for (const double v : collected) table.Insert(v, Amount(1));
      std::vector<double>().swap(collected);
      collecting = false;
    }
    OrderedDblTable<Amount> front;
    OrderedDblTable<Amount>& into = table.InValueOrder() ? front : table;
    for (std::size_t k = 0; k < grid.size(); ++k)
      if (grid[k] != Slot(0)) into.Insert(double(base + std::int64_t(k)) / scale, Amount(grid[k]));
    std::vector<Slot>().swap(grid);
    gridValues = 0;
    if (&into == &front) {
      front.Merge(table);
      table = std::move(front);
    }
  }
  std::size_t Size() const { return table.Size(); }
  // What the grid takes besides the table's entries.
  std::size_t GridBytes() const {
    return grid.size() * sizeof(Slot) + collected.size() * sizeof(double);
  }
  void Clear() {
    std::vector<Slot>().swap(grid);
    gridValues = 0;
    std::vector<double>().swap(collected);
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
      // Texts of one column are of one width: a first and a middle byte
      // tell most of them apart before the whole comparison.
      const std::size_t mid = s.size() / 2;
      for (auto& [key, amount] : few)
        if (key.size() == s.size() && (s.empty() || (key[0] == s[0] && key[mid] == s[mid])) &&
            std::memcmp(key.data(), s.data(), s.size()) == 0) {
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
  int decimals = 0;       // a number's print decimals
};

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

  // The grids of a thread's tables take at most a quarter of its share.
  std::unique_ptr<Tables<Amount>> NewTables(std::size_t share) const {
    auto t = std::make_unique<Tables<Amount>>();
    t->numbers.resize(m_numbers);
    t->strings.resize(m_strings);
    const std::int64_t places =
        std::int64_t(share / 4 / std::max<std::size_t>(1, m_numbers) / sizeof(Amount));
    for (const Column& col : m_columns)
      if (!col.isString) t->numbers[col.table].SetGrid(col.decimals, places);
    return t;
  }

  // Counts the cases of the batch; strings by their stored bytes.
  void Count(Tables<Amount>& t, const CaseBatch& batch) {
    constexpr bool weighted = std::is_same_v<Amount, double>;
    const std::size_t n = batch.size();
    if constexpr (weighted) {
      m_weights.resize(n);
      for (std::size_t i = 0; i < n; ++i) {
        const double w = batch.number(m_weightColumn, i);
        m_weights[i] = CountsWithWeight(w, m_weight) ? w : 0;
      }
    }
    for (std::size_t c = 0; c < m_columns.size(); ++c) {
      const Column& col = m_columns[c];
      if (m_dropped[c].load(std::memory_order_relaxed)) continue;
      if (!col.isString) {
        NumberCounts<Amount>& table = t.numbers[col.table];
        const double* values = batch.numbers(c);
        if constexpr (weighted) {
          for (std::size_t i = 0; i < n; ++i)
            if (m_weights[i] > 0) table.Insert(values[i], m_weights[i]);
        } else {
          table.CountAll(values, n);
        }
      } else {
        StringCounts<Amount>& table = t.strings[col.table];
        for (std::size_t i = 0; i < n; ++i) {
          if constexpr (weighted) {
            if (m_weights[i] > 0) table.Insert(batch.stored(c, i), m_weights[i]);
          } else {
            table.Insert(batch.stored(c, i), Amount(1));
          }
        }
      }
    }
  }

  // The bytes of one case as RenderWeighted writes it: its weight, then
  // every column's value (8 bytes a number, a string's stored width).
  void SetRowLayout(std::vector<std::size_t> widths) {
    m_offsets.assign(widths.size(), 0);
    m_rowBytes = sizeof(double);
    for (std::size_t c = 0; c < widths.size(); ++c) {
      m_offsets[c] = m_rowBytes;
      m_rowBytes += m_columns[c].isString ? widths[c] : sizeof(double);
    }
  }
  std::size_t RowBytes() const { return m_rowBytes; }
  // Appends the batch's cases that count with their weight, on any thread.
  void RenderWeighted(const CaseBatch& batch, std::string& out) const {
    for (std::size_t i = 0; i < batch.size(); ++i) {
      const double w = batch.number(m_weightColumn, i);
      if (!CountsWithWeight(w, m_weight)) continue;
      const std::size_t at = out.size();
      out.resize(at + m_rowBytes);
      char* row = out.data() + at;
      std::memcpy(row, &w, sizeof w);
      for (std::size_t c = 0; c < m_columns.size(); ++c) {
        if (!m_columns[c].isString) {
          const double v = batch.number(c, i);
          std::memcpy(row + m_offsets[c], &v, sizeof v);
        } else {
          const std::string_view stored = batch.stored(c, i);
          std::memcpy(row + m_offsets[c], stored.data(), stored.size());
        }
      }
    }
  }
  // Counts rendered cases in the order they were rendered, as the
  // one-variable weighted pass adds their weights.
  void CountRendered(Tables<Amount>& t, std::string_view rows) {
    const std::size_t n = m_rowBytes ? rows.size() / m_rowBytes : 0;
    for (std::size_t c = 0; c < m_columns.size(); ++c) {
      if (m_dropped[c].load(std::memory_order_relaxed)) continue;
      const Column& col = m_columns[c];
      const std::size_t width =
          c + 1 < m_offsets.size() ? m_offsets[c + 1] - m_offsets[c] : m_rowBytes - m_offsets[c];
      for (std::size_t i = 0; i < n; ++i) {
        const char* row = rows.data() + i * m_rowBytes;
        double w, v;
        std::memcpy(&w, row, sizeof w);
        if (!col.isString) {
          std::memcpy(&v, row + m_offsets[c], sizeof v);
          t.numbers[col.table].Insert(v, Amount(w));
        } else {
          t.strings[col.table].Insert(std::string_view(row + m_offsets[c], width), Amount(w));
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
        if (drop && (t.numbers[col.table].Size() > 0 || t.numbers[col.table].GridBytes() > 0))
          t.numbers[col.table].Clear();
        bytes += t.numbers[col.table].Size() * kNumberEntryBytes + t.numbers[col.table].GridBytes();
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
                                             : t.numbers[col.table].Size() * kNumberEntryBytes +
                                                   t.numbers[col.table].GridBytes();
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
  std::vector<std::size_t> m_offsets;
  std::size_t m_rowBytes = 0;
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

// What a pass makes of one variable's merged counts, as the one-variable
// pass makes it.
FrequencyResult Counted(const VarRecord& var, std::int64_t casesRead) {
  FrequencyResult res;
  res.ran = true;
  res.hideLabelColumn = var.VarType > 8;
  res.memo = var.VarType > 0 ? MemoDisplay::Hidden : MemoDisplay::Unchanged;
  res.caption = var.VarName;
  res.casesRead = casesRead;
  return res;
}

template <class Amount>
FrequencyResult ResultOf(const FrequencyPass& pass, const VarRecord& var,
                         OrderedDblTable<Amount>& table, bool weighted, std::int64_t casesRead) {
  FrequencyResult res = Counted(var, casesRead);
  FillNumericResult(pass, var, table, weighted, casesRead, res);
  return res;
}

template <class Amount>
FrequencyResult ResultOf(const FrequencyPass& pass, const VarRecord& var,
                         OrderedStrTable<Amount>& table, bool weighted, std::int64_t casesRead) {
  FrequencyResult res = Counted(var, casesRead);
  FillStringResult(pass, var, table, weighted, casesRead, res);
  return res;
}

template <class Amount>
FrequencySet CountSet(const FrequencyPass& pass, const std::vector<VarRecord>& vars,
                      const std::string* weightName, const FrequencyProgress& progress,
                      std::size_t budget, bool alongside) {
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
    columns.push_back({isString, isString ? strings++ : numbers++, vars[v].Dec});
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
    weight = WeightMissing(file, *weightName);
  }

  ColumnPass cases(file, positions);
  if (!cases.valid()) {
    set.warning = EarlyEndWarning(0, n, {});
    return set;
  }
  // Sums of counts are integers: any split adds up to one pass's counts.
  // Weight sums are added in case order, as the one-variable pass adds them.
  // Beside other passes the weighted cases are decoded on every thread and
  // counted in case order on this one.
  cases.setThreads(weighted && !alongside ? 1u : pass.threads);
  cases.setIndexSpacing(pass.indexEvery);
  cases.setAlongside(alongside);
  // Progress after every 1000th case, as the one-variable pass reports it.
  cases.setBatchCases(kBatchCases);
  std::vector<std::atomic<bool>> dropped(columns.size());
  SetCounter<Amount> counter(columns, numbers, strings, weightColumn, weight, dropped);
  std::atomic<std::int64_t> counted{0};
  bool cancel = false;
  // On the calling thread: with several threads the count can pass more
  // than one thousand between two reports.
  std::int64_t reported = 0;
  const auto report = [&](std::int64_t now) {
    if (!progress || cancel || now / 1000 == reported / 1000) return !cancel;
    reported = now;
    if (progress(now)) cancel = true;
    return !cancel;
  };
  const unsigned workers = std::max(1u, cases.workers());
  const CaseRange all{0, n};
  if (alongside && (workers < 2 || !cases.splits(all))) {
    set.unread = true;
    return set;
  }
  if (workers > 1 && !cases.splits(all)) {
    // The index pass decodes nothing: the window gets its turn now and
    // then, at no count of cases.
    std::int64_t indexed = 0;
    cases.indexCases([&](std::int64_t passed) {
      if (progress && passed / 65536 != indexed / 65536 && progress(0)) cancel = true;
      indexed = passed;
      return !cancel;
    });
    if (cancel) {
      set.cancelled = true;
      return set;
    }
  }

  // Each thread keeps its tables within its share of the budget: what the
  // others hold is not known at the moment, and their tables of a column
  // left out are emptied at their next batch.
  std::size_t share = budget;
  const auto afterBatch = [&](Tables<Amount>& mine, SetCounter<Amount>& count) {
    if (count.Bytes(mine) > share) count.DropLargest(mine);
  };

  std::vector<std::unique_ptr<Tables<Amount>>> tables;
  bool split = false;
  if (weighted && alongside) {
    tables.push_back(counter.NewTables(share));
    std::vector<std::size_t> widths;
    for (std::size_t c = 0; c < columns.size(); ++c) widths.push_back(cases.columnWidth(c));
    counter.SetRowLayout(std::move(widths));
    std::int64_t got = 0;
    const PassEnd end = cases.readInOrder(
        all, [&](CaseBatch& batch, std::string& out) { counter.RenderWeighted(batch, out); },
        [&](std::string&& rows, std::int64_t batchCases) {
          counter.CountRendered(*tables[0], rows);
          got += batchCases;
          afterBatch(*tables[0], counter);
          return report(got);
        });
    if (!cancel && got == 0 && !end.sound()) {
      set.unread = true;
      return set;
    }
    split = true;
    set.casesRead = got;
    if (!cancel && got < n) set.warning = EarlyEndWarning(got, n, end.detail);
  } else if (workers > 1 && cases.splits(all)) {
    share = budget / workers;
    for (unsigned w = 0; w < workers; ++w) tables.push_back(counter.NewTables(share));
    std::vector<SetCounter<Amount>> counters(workers, counter);
    const std::optional<PassEnd> end = cases.readSplit(
        all,
        [&](unsigned w, CaseBatch& batch) {
          counters[w].Count(*tables[w], batch);
          counted.fetch_add(std::int64_t(batch.size()), std::memory_order_relaxed);
          afterBatch(*tables[w], counters[w]);
          return true;
        },
        [&](std::int64_t done) { return report(done); });
    if (!end && alongside) {
      set.unread = true;
      return set;
    }
    if (end) {
      split = true;
      set.casesRead = end->cases;
      if (end->stopped) cancel = true;
      if (!cancel && end->cases < n) set.warning = EarlyEndWarning(end->cases, n, end->detail);
    }
  }
  if (!split && !cancel) {
    // One pass in case order, which also indexes the file for the next.
    tables.clear();
    share = budget;
    tables.push_back(counter.NewTables(share));
    for (auto& d : dropped) d = false;
    std::int64_t got = 0;
    const PassEnd end = cases.read(all, [&](CaseBatch& batch) {
      counter.Count(*tables[0], batch);
      got += std::int64_t(batch.size());
      afterBatch(*tables[0], counter);
      return report(got);
    });
    set.casesRead = got;
    if (!cancel && got < n) set.warning = EarlyEndWarning(got, n, end.detail);
  }
  if (cancel) {
    set.cancelled = true;
    return set;
  }

  // Each variable's tables merged and turned into its result, a variable
  // at a time on every thread; the text conversion is one at a time.
  std::mutex converting;
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
            set.results[v] = ResultOf(pass, vars[v], into.table, weighted, set.casesRead);
          } else {
            StringCounts<Amount>& into = tables[0]->strings[col.table];
            into.Settle();
            for (std::size_t t = 1; t < tables.size(); ++t) {
              StringCounts<Amount>& from = tables[t]->strings[col.table];
              from.Settle();
              into.table.Merge(from.table);
              from.Clear();
            }
            // Stored values to the texts the table keys: values that differ
            // only in what the key leaves out fall together.
            OrderedStrTable<Amount> texts;
            {
              const std::lock_guard<std::mutex> hold(converting);
              into.table.ForEach(
                  [&](std::string_view stored, Amount a) { texts.Insert(cases.keyText(stored), a); });
            }
            into.Clear();
            set.results[v] = ResultOf(pass, vars[v], texts, weighted, set.casesRead);
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
                               std::size_t budgetBytes, bool alongside) {
  return weightName
             ? CountSet<double>(pass, vars, weightName, progress, budgetBytes, alongside)
             : CountSet<std::int64_t>(pass, vars, nullptr, progress, budgetBytes, alongside);
}

}  // namespace brindle
