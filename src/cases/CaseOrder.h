// The order of the cases sorted by one variable, as a permutation of case
// numbers: ascending or descending, equal values in file order, the
// system-missing value (and any other value that is no number) last in
// either direction. Strings compare byte by byte in UTF-8, their first 255
// bytes without trailing blanks taking part. Nothing of the file is
// changed.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace brindle {

class CaseBlocks;
class TaskPool;

enum class SortDirection { Ascending, Descending };

// Keys of one column for every case, read by one column pass on every core.
class SortKeys {
 public:
  // Reads variable var (a string variable when isString) of cases
  // [0, cases) by one column pass (ReadColumn); any thread. False when
  // stopped or not every case could be read (error says why).
  bool read(CaseBlocks& blocks, std::size_t var, bool isString, std::int64_t cases,
            const std::atomic<bool>* stop, std::atomic<std::int64_t>* done, std::string& error);
  // Sorts on the pool's threads.
  std::vector<std::int64_t> order(SortDirection direction, TaskPool* pool = nullptr) const;
  std::int64_t cases() const { return m_cases; }

  // Keys given directly, for tests.
  void setNumbers(std::vector<double> numbers);
  void setTexts(std::vector<std::string> texts);

 private:
  bool m_text = false;
  std::int64_t m_cases = 0;
  std::vector<double> m_numbers;
  std::vector<std::string> m_texts;
};

// The permutation that reverses order: inverse[case] = its row.
std::vector<std::int64_t> InverseOrder(const std::vector<std::int64_t>& order);

}  // namespace brindle
