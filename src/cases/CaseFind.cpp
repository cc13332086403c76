#include "cases/CaseFind.h"

#include <cmath>
#include <unordered_map>

#include "cases/CellText.h"
#include "cases/ColumnRead.h"
#include "spssio/CaseBatch.h"
#include "variables/FindFilter.h"

namespace brindle {

bool NumberShows(const CellFormat& format, double x, std::string_view text) {
  std::string shown;
  format.appendNumberValue(x, shown);
  if (MatchesFindText(shown, text)) return true;
  const std::string* label = format.numberLabel(x);
  return label && MatchesFindText(*label, text);
}

bool TextShows(const CellFormat& format, std::string_view value, std::string_view text) {
  if (MatchesFindText(WithoutTrailingBlanks(value), text)) return true;
  const std::string* label = format.textLabel(value);
  return label && MatchesFindText(*label, text);
}

bool CaseMatches::find(CaseBlocks& blocks, std::size_t var, const CellFormat& format,
                       std::string_view text, std::int64_t cases, const std::atomic<bool>* stop,
                       std::atomic<std::int64_t>* done, std::string& error) {
  cases = std::max<std::int64_t>(0, cases);
  m_marks.assign(std::size_t(cases), 0);
  const bool isString = format.isString();
  // The text is folded once; each value is formatted into one buffer a batch.
  const std::string folded = FoldedFindText(text);
  const auto shows = [&](std::string_view field) { return ContainsFoldedFindText(field, folded); };
  return ReadColumn(
      blocks, var, cases,
      [&](CaseBatch& batch) {
        // Fractions are formatted once a batch for each distinct value (most
        // columns hold few); whole numbers are written quicker than looked up.
        std::unordered_map<double, bool> seen;
        std::string shown;
        for (std::size_t i = 0; i < batch.size(); ++i) {
          const std::int64_t c = batch.firstCase() + std::int64_t(i);
          if (c < 0 || c >= cases) continue;
          bool hit;
          if (isString) {
            const std::string_view value = batch.text(0, i);
            hit = shows(WithoutTrailingBlanks(value));
            if (!hit)
              if (const std::string* label = format.textLabel(value)) hit = shows(*label);
          } else {
            const double x = batch.number(0, i);
            const bool whole = x == std::trunc(x);
            const auto it = whole ? seen.end() : seen.find(x);
            if (it != seen.end()) {
              hit = it->second;
            } else {
              shown.clear();
              format.appendNumberValue(x, shown);
              hit = shows(shown);
              if (!hit)
                if (const std::string* label = format.numberLabel(x)) hit = shows(*label);
              if (!whole && seen.size() < 4096) seen.emplace(x, hit);
            }
          }
          m_marks[std::size_t(c)] = hit ? 1 : 0;
        }
      },
      stop, done, error);
}

std::int64_t CaseMatches::nextRow(std::int64_t row, bool forward, std::int64_t rows,
                                  const std::vector<std::int64_t>& order) const {
  const auto caseAt = [&](std::int64_t r) {
    return order.empty() ? r : (std::size_t(r) < order.size() ? order[std::size_t(r)] : -1);
  };
  if (forward) {
    for (std::int64_t r = std::max<std::int64_t>(row + 1, 0); r < rows; ++r)
      if (matches(caseAt(r))) return r;
  } else {
    for (std::int64_t r = std::min(row - 1, rows - 1); r >= 0; --r)
      if (matches(caseAt(r))) return r;
  }
  return -1;
}

}  // namespace brindle
