// The cases of an open file in blocks of consecutive cases, decoded on
// demand and kept in a cache of bounded size, for a view that shows any
// stretch of a file of any length.
//
// The blocks are read by a column pass (ColumnPass) on a file of their own,
// opened again from the same path (with the open file's key when it is
// encrypted), so that the program's other passes over the open file go on
// undisturbed. One helper task on the task pool reads the blocks asked for,
// the most wanted first; a read starts at the nearest point of the file's
// case index. A compressed file takes the open file's index once the
// program's passes have found it, else gets its own from a pass that
// decodes no value, run when no block is wanted or when a far block needs
// it. Asking
// for a block never waits (peek); the owner hears through the notify
// callback, on a pool thread, that blocks arrived.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "spssio/TaskPool.h"

namespace brindle {

class SystemFile;

// Cases [first, first + count) of every variable of the file.
struct CaseBlock {
  std::int64_t first = 0;
  std::size_t count = 0;
  std::vector<double> numbers;     // count rows of the numeric columns
  std::vector<std::string> texts;  // count rows of the string columns, UTF-8, no trailing blanks
  std::size_t bytes = 0;           // about what the block takes in memory
};

class CaseBlocks {
 public:
  struct Options {
    std::size_t budgetBytes = std::size_t(64) << 20;  // the cache's limit
    std::size_t blockBytes = std::size_t(256) << 10;  // stored bytes of one block's cases, about
    TaskPool* pool = nullptr;                         // null: the shared pool
  };

  // file is the open file (its dictionary and key are read here, and later
  // its case index once the program's passes have found it; it must outlive
  // the blocks); path is where it was opened from. expectedCases is the count
  // the program works with (-1 when not known).
  CaseBlocks(const SystemFile& file, const std::string& path, std::int64_t expectedCases,
             Options options);
  CaseBlocks(const SystemFile& file, const std::string& path, std::int64_t expectedCases);
  // Stops the background work and waits for it.
  ~CaseBlocks();
  CaseBlocks(const CaseBlocks&) = delete;
  CaseBlocks& operator=(const CaseBlocks&) = delete;

  std::size_t columnCount() const { return m_kinds.size(); }
  bool isString(std::size_t column) const { return m_kinds[column].text; }
  // Column `column` of row `row` (0-based within the block).
  double number(const CaseBlock& block, std::size_t row, std::size_t column) const {
    return block.numbers[row * m_numericColumns + m_kinds[column].slot];
  }
  std::string_view text(const CaseBlock& block, std::size_t row, std::size_t column) const {
    return block.texts[row * m_textColumns + m_kinds[column].slot];
  }
  std::int64_t blockCases() const { return m_blockCases; }

  // The decoded block that holds case n (0-based), or null when it is not
  // decoded yet: it is then asked for. Never waits.
  std::shared_ptr<const CaseBlock> peek(std::int64_t n);
  // The block that holds case n, waiting for it; null when the data holds
  // no case n (it ended or is damaged before it).
  std::shared_ptr<const CaseBlock> fetch(std::int64_t n);
  // Asks for the blocks of cases [from, to) to be read ahead, nearest to
  // `from` first; requests for blocks no longer wanted are dropped.
  void readAhead(std::int64_t from, std::int64_t to);
  // The same for several stretches, the first the most wanted.
  void readAhead(const std::vector<std::pair<std::int64_t, std::int64_t>>& stretches);

  // Run on a pool thread when a block arrived, the count grew or the end of
  // the data was found. Set it before asking for blocks.
  void setNotify(std::function<void()> notify);

  // Cases known to exist so far: the count the program works with, then
  // what the passes found.
  std::int64_t casesFound() const;
  // Whether the end of the data (or its damage) has been found.
  bool endFound() const;
  // The first case that could not be read because the data is damaged, and
  // the reader's message; -1 and empty while none is known.
  std::int64_t damageAt() const;
  std::string damageText() const;
  // Bytes the cached blocks take.
  std::size_t cachedBytes() const;
  // Whether every case can be reached without a pass from the first (the
  // file is uncompressed, or its case index is built).
  bool indexReady() const;

  // Runs work with the blocks' own file while no block is read (one pass
  // at a time per file): sort and find read their column through it. False
  // when there is no such file.
  bool withFile(const std::function<void(SystemFile&)>& work);

 private:
  struct Kind {
    bool text = false;
    std::size_t slot = 0;
  };

  std::int64_t blockOf(std::int64_t n) const { return n / m_blockCases; }
  std::shared_ptr<CaseBlock> decode(std::int64_t b);
  void keep(std::int64_t b, std::shared_ptr<CaseBlock> block);
  void noteEnd(std::int64_t cases, bool damage, const std::string& message);
  void serve();       // the helper task: reads wanted blocks, then the index
  void buildIndex();  // under m_fileMutex
  // Takes the open file's complete case index for the blocks' own file when
  // it has one; true when the blocks' file is indexed. Under m_fileMutex.
  bool adoptIndex();
  void startHelper();
  void notify();

  const Options m_options;
  TaskPool& m_pool;
  std::shared_ptr<SystemFile> m_own;  // the blocks' own file
  std::mutex m_fileMutex;             // one pass at a time on m_own
  bool m_compressed = false;
  std::vector<Kind> m_kinds;
  std::size_t m_numericColumns = 0, m_textColumns = 0;
  std::int64_t m_blockCases = 1;
  std::int64_t m_expected = -1;
  const SystemFile* m_openFile = nullptr;  // the program's, for its case index

  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  std::unordered_map<std::int64_t, std::pair<std::shared_ptr<const CaseBlock>,
                                             std::list<std::int64_t>::iterator>>
      m_cache;
  std::list<std::int64_t> m_recent;  // most recently used first
  std::size_t m_cachedBytes = 0;
  std::vector<std::int64_t> m_wanted;  // blocks asked for, most wanted last
  std::int64_t m_loading = -1;         // the block being read
  bool m_helper = false;               // the helper task runs
  bool m_indexed = false;
  bool m_indexing = false;
  std::int64_t m_found = 0;
  bool m_endFound = false;
  std::int64_t m_damageAt = -1;
  std::string m_damage;
  std::function<void()> m_notify;
  std::atomic<bool> m_stop{false};
  std::vector<TaskPool::TaskHandle> m_tasks;
};

}  // namespace brindle
