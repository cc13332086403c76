#include "cases/CaseOrder.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <exception>
#include <functional>

#include "cases/ColumnRead.h"
#include "spssio/CaseBatch.h"
#include "spssio/TaskPool.h"

namespace brindle {

namespace {

constexpr std::size_t kKeyBytes = 255;

// Runs work(part) for parts [0, parts) on the pool, the caller's thread
// taking its share while it waits.
void RunParts(std::size_t parts, const std::function<void(std::size_t)>& work, TaskPool& pool) {
  if (parts <= 1) {
    if (parts == 1) work(0);
    return;
  }
  std::vector<TaskPool::TaskHandle> handles;
  for (std::size_t k = 0; k < parts; ++k) handles.push_back(pool.post([&work, k] { work(k); }));
  std::exception_ptr thrown;
  for (const auto& h : handles) try {
      h->wait();
    } catch (...) {
      if (!thrown) thrown = std::current_exception();
    }
  if (thrown) std::rethrow_exception(thrown);
}

// Sorts v on the pool's threads: slices sorted at once, then merged in
// pairs, each round's merges at once.
template <class T, class Less>
void ParallelSort(std::vector<T>& v, Less less, TaskPool& pool) {
  const std::size_t parts = std::max<std::size_t>(1, std::min<std::size_t>(pool.threadCount(), 16));
  if (parts == 1 || v.size() < 65536) {
    std::sort(v.begin(), v.end(), less);
    return;
  }
  std::vector<std::size_t> bounds;
  for (std::size_t k = 0; k <= parts; ++k) bounds.push_back(v.size() * k / parts);
  const auto runAll = [&pool](std::vector<std::function<void()>>& jobs) {
    RunParts(jobs.size(), [&jobs](std::size_t k) { jobs[k](); }, pool);
  };
  std::vector<std::function<void()>> jobs;
  for (std::size_t k = 0; k < parts; ++k)
    jobs.push_back([&, k] { std::sort(v.begin() + bounds[k], v.begin() + bounds[k + 1], less); });
  runAll(jobs);
  while (bounds.size() > 2) {
    jobs.clear();
    const std::size_t slices = bounds.size() - 1;
    std::vector<std::size_t> next{bounds[0]};
    for (std::size_t k = 0; k < slices; k += 2) {
      if (k + 1 == slices) {
        next.push_back(bounds[k + 1]);
        break;
      }
      const std::size_t a = bounds[k], m = bounds[k + 1], e = bounds[k + 2];
      jobs.push_back(
          [&, a, m, e] { std::inplace_merge(v.begin() + a, v.begin() + m, v.begin() + e, less); });
      next.push_back(e);
    }
    runAll(jobs);
    bounds = next;
  }
}

bool NoNumber(double x) { return x == -DBL_MAX || std::isnan(x); }

// A number as an unsigned key that orders as the number does: the sign bit
// set for positive numbers, every bit flipped for negative ones. Both zeros
// give the same key, as they compare equal.
std::uint64_t OrderedBits(double x) {
  if (x == 0) x = 0.0;
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  return (bits >> 63) ? ~bits : bits | (std::uint64_t(1) << 63);
}

struct Keyed {
  std::uint64_t key;
  std::int64_t row;
};

// A stable least-significant-digit radix sort of v by key, 11 bits a round;
// a round whose digit is the same in every key is skipped, so keys that vary
// in few bits (small integers, few distinct values) take one or two rounds.
// Each round's counting and moving is split into slices on the pool, a
// slice's entries moved to the places that keep the order of the slices.
void RadixSort(std::vector<Keyed>& v, TaskPool& pool) {
  constexpr int kBits = 11, kDigits = (64 + kBits - 1) / kBits;
  constexpr std::size_t kBuckets = std::size_t(1) << kBits;
  const std::size_t n = v.size();
  if (n < 2) return;
  const std::size_t parts =
      n < 65536 ? 1 : std::max<std::size_t>(1, std::min<std::size_t>(pool.threadCount(), 16));
  std::vector<std::size_t> bounds;
  for (std::size_t k = 0; k <= parts; ++k) bounds.push_back(n * k / parts);

  // Which digits differ between keys: those of the first key against every other.
  std::vector<std::uint64_t> differ(parts, 0);
  const std::uint64_t first = v[0].key;
  RunParts(parts, [&](std::size_t k) {
    std::uint64_t d = 0;
    for (std::size_t i = bounds[k]; i < bounds[k + 1]; ++i) d |= v[i].key ^ first;
    differ[k] = d;
  }, pool);
  std::uint64_t differing = 0;
  for (std::uint64_t d : differ) differing |= d;

  std::vector<Keyed> other(n);
  std::vector<std::size_t> counts(parts * kBuckets);
  std::vector<Keyed>* from = &v;
  std::vector<Keyed>* to = &other;
  for (int digit = 0; digit < kDigits; ++digit) {
    const int shift = digit * kBits;
    if (((differing >> shift) & (kBuckets - 1)) == 0) continue;
    std::fill(counts.begin(), counts.end(), 0);
    const Keyed* src = from->data();
    RunParts(parts, [&](std::size_t k) {
      std::size_t* c = &counts[k * kBuckets];
      for (std::size_t i = bounds[k]; i < bounds[k + 1]; ++i) ++c[(src[i].key >> shift) & (kBuckets - 1)];
    }, pool);
    // Bucket by bucket, slice by slice: where each slice's run of a bucket starts.
    std::size_t at = 0;
    for (std::size_t b = 0; b < kBuckets; ++b)
      for (std::size_t k = 0; k < parts; ++k) {
        const std::size_t c = counts[k * kBuckets + b];
        counts[k * kBuckets + b] = at;
        at += c;
      }
    Keyed* dst = to->data();
    RunParts(parts, [&](std::size_t k) {
      std::size_t* place = &counts[k * kBuckets];
      for (std::size_t i = bounds[k]; i < bounds[k + 1]; ++i)
        dst[place[(src[i].key >> shift) & (kBuckets - 1)]++] = src[i];
    }, pool);
    std::swap(from, to);
  }
  if (from != &v) v.swap(*from);
}

}  // namespace

bool SortKeys::read(CaseBlocks& blocks, std::size_t var, bool isString, std::int64_t cases,
                    const std::atomic<bool>* stop, std::atomic<std::int64_t>* done,
                    std::string& error) {
  m_text = isString;
  m_cases = std::max<std::int64_t>(0, cases);
  m_numbers.clear();
  m_texts.clear();
  if (m_text)
    m_texts.assign(std::size_t(m_cases), std::string());
  else
    m_numbers.assign(std::size_t(m_cases), -DBL_MAX);
  return ReadColumn(
      blocks, var, m_cases,
      [&](CaseBatch& batch) {
        for (std::size_t i = 0; i < batch.size(); ++i) {
          const std::int64_t c = batch.firstCase() + std::int64_t(i);
          if (c < 0 || c >= m_cases) continue;
          if (m_text) {
            const std::string_view t = batch.text(0, i);
            m_texts[std::size_t(c)].assign(t.substr(0, kKeyBytes));
          } else {
            m_numbers[std::size_t(c)] = batch.number(0, i);
          }
        }
      },
      stop, done, error);
}

void SortKeys::setNumbers(std::vector<double> numbers) {
  m_text = false;
  m_numbers = std::move(numbers);
  m_cases = std::int64_t(m_numbers.size());
}

void SortKeys::setTexts(std::vector<std::string> texts) {
  m_text = true;
  m_texts = std::move(texts);
  for (std::string& t : m_texts) {
    const std::size_t end = t.find_last_not_of(' ');
    t.resize(end == std::string::npos ? 0 : std::min(end + 1, kKeyBytes));
  }
  m_cases = std::int64_t(m_texts.size());
}

std::vector<std::int64_t> SortKeys::order(SortDirection direction, TaskPool* pool) const {
  TaskPool& tasks = pool ? *pool : TaskPool::shared();
  const bool down = direction == SortDirection::Descending;
  std::vector<std::int64_t> out;
  out.reserve(std::size_t(m_cases));
  if (m_text) {
    std::vector<std::int64_t> rows(static_cast<std::size_t>(m_cases));
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = std::int64_t(i);
    const auto& t = m_texts;
    // Case numbers break ties, so no two entries are equal: a plain sort is stable.
    ParallelSort(
        rows,
        [&t, down](std::int64_t a, std::int64_t b) {
          const int c = t[std::size_t(a)].compare(t[std::size_t(b)]);
          if (c != 0) return down ? c > 0 : c < 0;
          return a < b;
        },
        tasks);
    return rows;
  }
  std::vector<Keyed> keyed;
  std::vector<std::int64_t> missing;
  keyed.reserve(std::size_t(m_cases));
  for (std::int64_t i = 0; i < m_cases; ++i) {
    const double x = m_numbers[std::size_t(i)];
    if (NoNumber(x)) {
      missing.push_back(i);
      continue;
    }
    // Descending is ascending on the flipped key: equal keys keep file order.
    const std::uint64_t key = OrderedBits(x);
    keyed.push_back({down ? ~key : key, i});
  }
  RadixSort(keyed, tasks);
  for (const Keyed& k : keyed) out.push_back(k.row);
  keyed = std::vector<Keyed>();
  out.insert(out.end(), missing.begin(), missing.end());
  return out;
}

std::vector<std::int64_t> InverseOrder(const std::vector<std::int64_t>& order) {
  std::vector<std::int64_t> inverse(order.size());
  for (std::size_t r = 0; r < order.size(); ++r) inverse[std::size_t(order[r])] = std::int64_t(r);
  return inverse;
}

}  // namespace brindle
