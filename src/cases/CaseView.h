// The data page's model without its widgets: which variables are its
// columns, the order of its rows (file order or a sort), and the text of
// each cell, taken from the block cache without waiting. The grid asks only
// for the cells it draws; a cell whose block is not decoded yet is Pending
// and fills in when the block arrives.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cases/CaseBlocks.h"
#include "cases/CellText.h"

namespace brindle {

class SystemFile;

enum class CellState { Shown, Pending, NoCase };

// A block of cells as text for the clipboard.
struct CopiedCells {
  std::string text;     // empty when refused
  std::string message;  // why it was refused; empty otherwise
};

// What a copy needs of the view, taken on the view's thread so that the copy
// itself may run on another while the view changes.
struct CopyPlan {
  std::vector<std::int64_t> cases;  // the rows' cases, in row order
  std::vector<std::size_t> vars;    // the columns' dictionary positions
  std::vector<CellFormat> formats;
  std::vector<std::string> names;
  bool header = false;
  std::size_t limit = 0;
  std::string refusal;  // set when the plan refuses the copy outright
};

// Runs a copy plan over blocks; any thread. Rows go in chunks: each chunk's
// cases are read in file order, so that a sorted view reads every block
// once a chunk rather than once a row. stop ends it early (nothing is
// copied); done counts the rows rendered.
CopiedCells RunCopy(CaseBlocks& blocks, const CopyPlan& plan, const std::atomic<bool>* stop = nullptr,
                    std::atomic<std::int64_t>* done = nullptr);

class CaseView {
 public:
  // The most text a copy makes before it is refused.
  static constexpr std::size_t kCopyLimit = std::size_t(50) << 20;

  // file must outlive the view; path is where it was opened from (the
  // blocks are read through a file of their own, see CaseBlocks).
  CaseView(SystemFile& file, const std::string& path, std::int64_t expectedCases,
           CaseBlocks::Options options = CaseBlocks::Options());

  CaseBlocks& blocks() { return *m_blocks; }
  const CaseBlocks& blocks() const { return *m_blocks; }

  // The columns: dictionary positions in the order shown.
  void setColumns(std::vector<std::size_t> vars);
  void setCellOptions(const CellOptions& options);
  const CellOptions& cellOptions() const { return m_options; }
  std::size_t columnCount() const { return m_vars.size(); }
  std::size_t variableOf(std::size_t column) const { return m_vars[column]; }
  // The column of a dictionary position; -1 when it is not shown.
  int columnOf(std::size_t var) const;
  const CellFormat& format(std::size_t column) const { return m_formats[column]; }
  const std::string& name(std::size_t column) const;
  const std::string& label(std::size_t column) const;

  // The rows: the cases the file is known to hold (the count the program
  // works with until the data turns out to end or break before it).
  std::int64_t rowCount() const;
  // The case (0-based, in the file) shown at a row, and back.
  std::int64_t caseAt(std::int64_t row) const;
  std::int64_t rowOf(std::int64_t caseNumber) const;
  // A sort's order (order[row] = case), or file order when empty.
  void setOrder(std::vector<std::int64_t> order);
  const std::vector<std::int64_t>& order() const { return m_order; }

  // The text of a cell, appended to out; never waits for the file.
  CellState cell(std::int64_t row, std::size_t column, std::string& out,
                 bool* userMissing = nullptr);
  // The same, waiting for the block; NoCase when the data holds no such case.
  CellState cellNow(std::int64_t row, std::size_t column, std::string& out);
  // Asks for the blocks of rows [first, last] and some around them.
  void readAhead(std::int64_t first, std::int64_t last);

  // Rows [row0, row1] and columns [col0, col1] as tab-separated lines ended
  // by CR LF, the cells as shown (tabs and line breaks in them as blanks),
  // with a title line of names first when header is set. Waits for the
  // blocks it needs. Refused with a message above limit bytes of text.
  CopiedCells copy(std::int64_t row0, std::int64_t row1, std::size_t col0, std::size_t col1,
                   bool header, std::size_t limit = kCopyLimit);
  // The plan of that copy, for RunCopy on another thread.
  CopyPlan planCopy(std::int64_t row0, std::int64_t row1, std::size_t col0, std::size_t col1,
                    bool header, std::size_t limit = kCopyLimit) const;

 private:
  void appendCell(const CaseBlock& block, std::size_t row, std::size_t column, std::string& out);

  SystemFile& m_file;
  std::int64_t m_expected;
  std::unique_ptr<CaseBlocks> m_blocks;
  CellOptions m_options;
  std::vector<std::size_t> m_vars;
  std::vector<CellFormat> m_formats;
  std::vector<std::int64_t> m_order;
};

}  // namespace brindle
