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
    std::vector<TaskPool::TaskHandle> handles;
    for (auto& job : jobs) handles.push_back(pool.post(job));
    std::exception_ptr thrown;
    for (const auto& h : handles) try {
        h->wait();
      } catch (...) {
        if (!thrown) thrown = std::current_exception();
      }
    if (thrown) std::rethrow_exception(thrown);
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
  std::vector<std::pair<double, std::int64_t>> keyed;
  std::vector<std::int64_t> missing;
  keyed.reserve(std::size_t(m_cases));
  for (std::int64_t i = 0; i < m_cases; ++i) {
    const double x = m_numbers[std::size_t(i)];
    if (NoNumber(x))
      missing.push_back(i);
    else
      keyed.emplace_back(down ? -x : x, i);
  }
  ParallelSort(keyed, [](const auto& a, const auto& b) { return a < b; }, tasks);
  for (const auto& k : keyed) out.push_back(k.second);
  out.insert(out.end(), missing.begin(), missing.end());
  return out;
}

std::vector<std::int64_t> InverseOrder(const std::vector<std::int64_t>& order) {
  std::vector<std::int64_t> inverse(order.size());
  for (std::size_t r = 0; r < order.size(); ++r) inverse[std::size_t(order[r])] = std::int64_t(r);
  return inverse;
}

}  // namespace brindle
