#include "cases/CasePass.h"

#include <algorithm>
#include <exception>
#include <mutex>
#include <vector>

#include "cases/CaseBlocks.h"
#include "spssio/CaseColumns.h"
#include "spssio/Spssio.h"
#include "spssio/SpssioCodes.h"
#include "spssio/TaskPool.h"

namespace brindle {

ColumnPass::ColumnPass(SystemFile& file, std::size_t var) : m_whole(std::make_unique<CaseColumns>()) {
  m_open = m_whole->open(file, {int(var)});
  m_whole->close();
}

ColumnPass::~ColumnPass() = default;

bool ColumnPass::run(const CaseBlocks& blocks,
                     const std::function<void(std::int64_t, CaseColumns&, std::size_t)>& visit,
                     const std::atomic<bool>* stop, std::atomic<std::int64_t>* done,
                     TaskPool* pool) {
  m_error.clear();
  if (!m_open) {
    m_error = "The case data cannot be read.";
    return false;
  }
  TaskPool& tasks = pool ? *pool : TaskPool::shared();
  // A few segments a thread, so that a thread that finishes early helps.
  const std::vector<CaseSegment> segments =
      blocks.segments(std::size_t(std::max(1u, tasks.threadCount())) * 4);
  if (segments.empty()) {
    m_error = "The cases are still being counted.";
    return false;
  }
  std::mutex mutex;
  std::string failure;
  const auto stopped = [&] { return stop && stop->load(std::memory_order_relaxed); };
  std::vector<TaskPool::TaskHandle> handles;
  for (const CaseSegment& segment : segments)
    handles.push_back(tasks.post([&, segment] {
      if (stopped()) return;
      CaseColumns cols;
      if (!cols.openSegment(*m_whole, segment)) {
        std::lock_guard lock(mutex);
        if (failure.empty()) failure = "The file cannot be opened again to read its cases.";
        return;
      }
      std::int64_t at = segment.from.firstCase();
      while (!stopped()) {
        const std::size_t got = cols.read(std::size_t(1) << 14);
        if (got == 0) break;
        visit(at, cols, got);
        at += std::int64_t(got);
        if (done) done->fetch_add(std::int64_t(got), std::memory_order_relaxed);
      }
      const int code = cols.status();
      if (code != SPSS_OK && code != SPSS_FILE_END) {
        std::lock_guard lock(mutex);
        if (failure.empty()) failure = cols.error();
      }
    }));
  // Every task refers to this frame: all of them end before it does.
  std::exception_ptr thrown;
  for (const TaskPool::TaskHandle& h : handles) try {
      h->wait();
    } catch (...) {
      if (!thrown) thrown = std::current_exception();
    }
  if (thrown) std::rethrow_exception(thrown);
  m_error = failure;
  return failure.empty() && !stopped();
}

}  // namespace brindle
