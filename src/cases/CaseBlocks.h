// The cases of an open file in blocks of consecutive cases, decoded on
// demand and kept in a cache of bounded size, for a view that shows any
// stretch of a file of any length.
//
// A block is decoded on the task pool, through a file of its own, from the
// nearest point of the case index before it. A compressed file without an
// index gets one from a pass in the background that decodes no value; a
// block beyond what that pass has reached waits for it. Asking for a block
// never waits (peek); the owner hears through the notify callback, on a pool
// thread, that blocks arrived. The open file itself is read only while the
// object is made: the owner's thread goes on using it undisturbed.
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
#include <vector>

#include "spssio/TaskPool.h"
#include "spssio/detail/ColumnScanner.h"

namespace brindle {

class CaseColumns;
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

  // file must be open and outlive this object; it is read here (its
  // layout and case index) and never again. expectedCases is the count the
  // program works with (-1 when not known).
  CaseBlocks(SystemFile& file, std::int64_t expectedCases, Options options);
  CaseBlocks(SystemFile& file, std::int64_t expectedCases);
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
  // The block that holds case n, decoded on this thread if need be; null
  // when the data holds no case n (it ended or is damaged before it).
  std::shared_ptr<const CaseBlock> fetch(std::int64_t n);
  // Asks for the blocks of cases [from, to) to be decoded ahead, nearest
  // to `from` first; requests for blocks no longer wanted are dropped.
  void readAhead(std::int64_t from, std::int64_t to);
  // The same for several stretches, the first the most wanted.
  void readAhead(const std::vector<std::pair<std::int64_t, std::int64_t>>& stretches);

  // Run on a pool thread when a block arrived, the count grew or the end of
  // the data was found. Set it before asking for blocks; it must not call
  // back into this object while holding a lock of its own that the caller
  // of peek() holds.
  void setNotify(std::function<void()> notify);

  // Cases known to exist so far: the count pass's progress, or what the
  // blocks found, never more than the data holds.
  std::int64_t casesFound() const;
  // Whether the end of the data (or its damage) has been found.
  bool endFound() const;
  // The first case that could not be read because the data is damaged, and
  // the reader's message; -1 and empty while none is known.
  std::int64_t damageAt() const;
  std::string damageText() const;
  // Bytes the cached blocks take.
  std::size_t cachedBytes() const;
  // Whether the case index needed to reach any case is in place.
  bool indexReady() const;
  // About `parts` segments that together hold every case, for a pass on
  // several threads (the last reads on to the end of the data); empty while
  // the count pass runs.
  std::vector<CaseSegment> segments(std::size_t parts) const;

 private:
  struct Kind {
    bool text = false;
    std::size_t slot = 0;
  };
  struct Loader;

  std::int64_t blockOf(std::int64_t n) const { return n / m_blockCases; }
  // Under m_mutex: where a pass to block b starts; false while the index does not reach it.
  bool startOf(std::int64_t b, CasePoint& point) const;
  std::shared_ptr<CaseBlock> decode(Loader& loader, std::int64_t b, const CasePoint& from);
  void keep(std::int64_t b, std::shared_ptr<CaseBlock> block);
  void noteEnd(std::int64_t cases, int code, const std::string& message);
  void serve();       // a pool task: decodes wanted blocks until none is left
  void buildIndex();  // a pool task: the count pass
  void startLoaders();
  void notify();

  const Options m_options;
  TaskPool& m_pool;
  std::unique_ptr<CaseColumns> m_whole;  // opened once, then only its layout is read
  CaseLayout m_layout;
  const SavReader* m_reader = nullptr;
  std::vector<Kind> m_kinds;
  std::size_t m_numericColumns = 0, m_textColumns = 0;
  std::int64_t m_blockCases = 1;
  std::int64_t m_expected = -1;

  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  std::unordered_map<std::int64_t, std::pair<std::shared_ptr<const CaseBlock>,
                                             std::list<std::int64_t>::iterator>>
      m_cache;
  std::list<std::int64_t> m_recent;  // most recently used first
  std::size_t m_cachedBytes = 0;
  std::vector<std::int64_t> m_wanted;  // blocks asked for, most wanted last
  std::unordered_map<std::int64_t, bool> m_loading;
  unsigned m_loaders = 0;
  CaseIndex m_index;
  bool m_indexing = false;    // the count pass runs
  std::int64_t m_passed = 0;  // cases the count pass has passed
  std::int64_t m_found = 0;
  bool m_endFound = false;
  std::int64_t m_damageAt = -1;
  std::string m_damage;
  std::function<void()> m_notify;
  std::atomic<bool> m_stop{false};
  std::vector<TaskPool::TaskHandle> m_tasks;
};

}  // namespace brindle
