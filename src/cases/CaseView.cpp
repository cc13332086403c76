#include "cases/CaseView.h"

#include <algorithm>

#include "cases/MemoryUse.h"
#include "spssio/SystemFile.h"

namespace brindle {

CaseView::CaseView(SystemFile& file, const std::string& path, std::int64_t expectedCases,
                   CaseBlocks::Options options)
    : m_file(file),
      m_expected(expectedCases),
      m_blocks(std::make_unique<CaseBlocks>(file, path, expectedCases, options)) {
  KeepLargeBlocksApart();
}

void CaseView::setColumns(std::vector<std::size_t> vars) {
  vars.erase(std::remove_if(vars.begin(), vars.end(),
                            [&](std::size_t v) { return v >= m_file.variableCount(); }),
             vars.end());
  m_vars = std::move(vars);
  setCellOptions(m_options);
}

void CaseView::setCellOptions(const CellOptions& options) {
  m_options = options;
  m_formats.clear();
  m_formats.reserve(m_vars.size());
  for (std::size_t v : m_vars) m_formats.emplace_back(m_file, v, m_options);
}

int CaseView::columnOf(std::size_t var) const {
  const auto it = std::find(m_vars.begin(), m_vars.end(), var);
  return it == m_vars.end() ? -1 : int(it - m_vars.begin());
}

const std::string& CaseView::name(std::size_t column) const {
  return m_file.variable(m_vars[column]).name;
}

const std::string& CaseView::label(std::size_t column) const {
  return m_file.variable(m_vars[column]).label;
}

std::int64_t CaseView::rowCount() const {
  const std::int64_t found = m_blocks->casesFound();
  if (m_blocks->endFound()) return m_expected >= 0 ? std::min(m_expected, found) : found;
  return std::max(m_expected, found);
}

std::int64_t CaseView::caseAt(std::int64_t row) const {
  if (m_order.empty()) return row;
  return row >= 0 && std::size_t(row) < m_order.size() ? m_order[std::size_t(row)] : -1;
}

std::int64_t CaseView::rowOf(std::int64_t caseNumber) const {
  if (m_order.empty()) return caseNumber;
  // A walk over the order rather than a second permutation in memory: a few
  // milliseconds for millions of cases, and only when the cursor jumps.
  const auto it = std::find(m_order.begin(), m_order.end(), caseNumber);
  return it == m_order.end() ? -1 : std::int64_t(it - m_order.begin());
}

void CaseView::setOrder(std::vector<std::int64_t> order) { m_order = std::move(order); }

void CaseView::appendCell(const CaseBlock& block, std::size_t row, std::size_t column,
                          std::string& out) {
  const std::size_t var = m_vars[column];
  if (m_blocks->isString(var))
    m_formats[column].appendText(m_blocks->text(block, row, var), out);
  else
    m_formats[column].appendNumber(m_blocks->number(block, row, var), out);
}

CellState CaseView::cell(std::int64_t row, std::size_t column, std::string& out,
                         bool* userMissing) {
  if (userMissing) *userMissing = false;
  const std::int64_t c = caseAt(row);
  if (c < 0 || column >= m_vars.size()) return CellState::NoCase;
  const std::shared_ptr<const CaseBlock> block = m_blocks->peek(c);
  if (!block) {
    const CaseBlocks& blocks = *m_blocks;
    return blocks.endFound() && c >= blocks.casesFound() ? CellState::NoCase
                                                         : CellState::Pending;
  }
  const std::size_t i = std::size_t(c - block->first);
  if (i >= block->count) return CellState::NoCase;
  appendCell(*block, i, column, out);
  if (userMissing) {
    const std::size_t var = m_vars[column];
    *userMissing = m_blocks->isString(var)
                       ? m_formats[column].isUserMissing(m_blocks->text(*block, i, var))
                       : m_formats[column].isUserMissing(m_blocks->number(*block, i, var));
  }
  return CellState::Shown;
}

CellState CaseView::cellNow(std::int64_t row, std::size_t column, std::string& out) {
  const std::int64_t c = caseAt(row);
  if (c < 0 || column >= m_vars.size()) return CellState::NoCase;
  const std::shared_ptr<const CaseBlock> block = m_blocks->fetch(c);
  if (!block) return CellState::NoCase;
  appendCell(*block, std::size_t(c - block->first), column, out);
  return CellState::Shown;
}

void CaseView::readAhead(std::int64_t first, std::int64_t last) {
  const std::int64_t rows = rowCount();
  first = std::max<std::int64_t>(0, first);
  last = std::min(last, rows - 1);
  if (last < first) return;
  if (m_order.empty()) {
    // A screenful either way, besides what is shown.
    const std::int64_t span = last - first + 1;
    m_blocks->readAhead({{first, last + 1},
                         {last + 1, std::min(rows, last + 1 + span)},
                         {std::max<std::int64_t>(0, first - span), first}});
    return;
  }
  // Sorted rows lie anywhere in the file: each shown row's block.
  for (std::int64_t r = first; r <= last; ++r) m_blocks->peek(caseAt(r));
}

CopyPlan CaseView::planCopy(std::int64_t row0, std::int64_t row1, std::size_t col0,
                           std::size_t col1, bool header, std::size_t limit) const {
  CopyPlan plan;
  plan.header = header;
  plan.limit = limit;
  row0 = std::max<std::int64_t>(0, row0);
  row1 = std::min(row1, rowCount() - 1);
  col1 = std::min(col1, m_vars.empty() ? 0 : m_vars.size() - 1);
  if (m_vars.empty() || row1 < row0 || col1 < col0) return plan;
  // A first guess from the columns' widths refuses a block that is plainly
  // too big before any case is read.
  std::size_t perRow = 2;
  for (std::size_t c = col0; c <= col1; ++c)
    perRow += std::size_t(std::min(m_formats[c].widthInCharacters(), 40)) + 1;
  if (std::uint64_t(row1 - row0 + 1) > limit / perRow) {
    plan.refusal = "The selection is too large to copy (more than " + std::to_string(limit >> 20) +
                   " MB of text). Select fewer cases or variables.";
    return plan;
  }
  for (std::int64_t r = row0; r <= row1; ++r) plan.cases.push_back(caseAt(r));
  for (std::size_t c = col0; c <= col1; ++c) {
    plan.vars.push_back(m_vars[c]);
    plan.formats.push_back(m_formats[c]);
    plan.names.push_back(name(c));
  }
  return plan;
}

CopiedCells RunCopy(CaseBlocks& blocks, const CopyPlan& plan, const std::atomic<bool>* stop,
                    std::atomic<std::int64_t>* done) {
  CopiedCells result;
  const auto refuse = [&](std::string why) {
    result.text.clear();
    result.message = std::move(why);
    return result;
  };
  if (!plan.refusal.empty()) return refuse(plan.refusal);
  const std::string tooBig = "The selection is too large to copy (more than " +
                             std::to_string(plan.limit >> 20) +
                             " MB of text). Select fewer cases or variables.";
  // Tabs and line breaks inside a cell would break the block apart.
  const auto clean = [](std::string& s, std::size_t from) {
    for (std::size_t k = from; k < s.size(); ++k)
      if (s[k] == '\t' || s[k] == '\r' || s[k] == '\n') s[k] = ' ';
  };
  if (plan.header) {
    for (std::size_t c = 0; c < plan.names.size(); ++c) {
      if (c > 0) result.text += '\t';
      const std::size_t at = result.text.size();
      result.text += plan.names[c];
      clean(result.text, at);
    }
    result.text += "\r\n";
  }
  constexpr std::size_t kChunk = 65536;
  std::vector<std::string> lines;
  std::vector<std::size_t> byCase;
  for (std::size_t first = 0; first < plan.cases.size(); first += kChunk) {
    if (stop && stop->load()) return refuse(std::string());
    const std::size_t n = std::min(kChunk, plan.cases.size() - first);
    lines.assign(n, std::string());
    byCase.resize(n);
    for (std::size_t i = 0; i < n; ++i) byCase[i] = i;
    std::sort(byCase.begin(), byCase.end(), [&](std::size_t a, std::size_t b) {
      return plan.cases[first + a] < plan.cases[first + b];
    });
    for (std::size_t i : byCase) {
      const std::int64_t c = plan.cases[first + i];
      const std::shared_ptr<const CaseBlock> block = blocks.fetch(c);
      std::string& line = lines[i];
      for (std::size_t col = 0; col < plan.vars.size(); ++col) {
        if (col > 0) line += '\t';
        if (!block) continue;
        const std::size_t at = line.size();
        const std::size_t row = std::size_t(c - block->first);
        const std::size_t var = plan.vars[col];
        if (blocks.isString(var))
          plan.formats[col].appendText(blocks.text(*block, row, var), line);
        else
          plan.formats[col].appendNumber(blocks.number(*block, row, var), line);
        clean(line, at);
      }
      line += "\r\n";
    }
    for (const std::string& line : lines) result.text += line;
    if (done) done->fetch_add(std::int64_t(n));
    if (result.text.size() > plan.limit) return refuse(tooBig);
  }
  return result;
}

CopiedCells CaseView::copy(std::int64_t row0, std::int64_t row1, std::size_t col0,
                           std::size_t col1, bool header, std::size_t limit) {
  return RunCopy(*m_blocks, planCopy(row0, row1, col0, col1, header, limit));
}

}  // namespace brindle
