// One column of the open file read over every case, on every core of the
// task pool: the pass under the data page's sort and find. The cases split
// at the case index that CaseBlocks keeps, each segment read through a file
// of its own, so the window's thread may go on using the open file.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace brindle {

class CaseBlocks;
class CaseColumns;
class SystemFile;
class TaskPool;

class ColumnPass {
 public:
  // Lays out the column of variable var (a dictionary position); on the
  // thread that owns file, which it reads now and never again.
  ColumnPass(SystemFile& file, std::size_t var);
  ~ColumnPass();
  ColumnPass(const ColumnPass&) = delete;
  ColumnPass& operator=(const ColumnPass&) = delete;

  // Calls visit(first, columns, n) for batches of cases on pool threads,
  // several at once: cases first .. first + n - 1 are rows 0 .. n - 1 of
  // columns (column 0 is the variable). Segments come from blocks, which
  // must have found the end of the data. stop, when set, ends the pass
  // early; done, when given, counts the cases visited. Returns false when
  // stopped, when blocks cannot split the data yet, or when a segment could
  // not be read (error() then says why); cases before a damaged stretch are
  // visited all the same.
  bool run(const CaseBlocks& blocks,
           const std::function<void(std::int64_t, CaseColumns&, std::size_t)>& visit,
           const std::atomic<bool>* stop = nullptr, std::atomic<std::int64_t>* done = nullptr,
           TaskPool* pool = nullptr);
  const std::string& error() const { return m_error; }

 private:
  std::unique_ptr<CaseColumns> m_whole;
  bool m_open = false;
  std::string m_error;
};

}  // namespace brindle
