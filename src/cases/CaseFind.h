// Finding the cases whose value in one column shows a text: the value as
// the page shows it (by its print format) or its label holds the text
// anywhere, letters A to Z compared without case, as the variables' find
// compares. The matches of every case come from one column pass on every
// core; stepping from one match to the next in the page's order is then a
// walk over the kept marks.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brindle {

class CaseBlocks;
class CellFormat;

// Whether a value shows text: its formatted value or its label holds it.
bool NumberShows(const CellFormat& format, double x, std::string_view text);
bool TextShows(const CellFormat& format, std::string_view value, std::string_view text);

class CaseMatches {
 public:
  // Marks the cases [0, cases) whose value of variable var (rendered by
  // format) shows text, by one column pass (ReadColumn); any thread. False
  // when stopped or not every case could be read (error says why; the cases
  // read are marked all the same).
  bool find(CaseBlocks& blocks, std::size_t var, const CellFormat& format, std::string_view text,
            std::int64_t cases, const std::atomic<bool>* stop, std::atomic<std::int64_t>* done,
            std::string& error);
  // Marks given directly, for tests.
  void setMarks(std::vector<std::uint8_t> marks) { m_marks = std::move(marks); }

  bool matches(std::int64_t c) const {
    return c >= 0 && std::size_t(c) < m_marks.size() && m_marks[std::size_t(c)];
  }
  // The nearest row after `row` (forward) or before it whose case matches,
  // in the order given (order[row] = case; empty: file order); -1 when
  // none. Rows run 0 .. rows - 1; row may be -1 or rows to start at an end.
  std::int64_t nextRow(std::int64_t row, bool forward, std::int64_t rows,
                       const std::vector<std::int64_t>& order) const;

 private:
  std::vector<std::uint8_t> m_marks;
};

}  // namespace brindle
