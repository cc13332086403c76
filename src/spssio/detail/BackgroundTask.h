// Work a pass hands to another core while it goes on (reading the next
// stretch of the file ahead of the decoder). It runs on the program's task
// pool; when no pool thread has taken it by the time its result is wanted,
// the thread that wants it runs it.
#pragma once

#include <functional>
#include <memory>

#include "spssio/TaskPool.h"

namespace brindle {

// The result of work posted with RunInBackground. Destroying or replacing it
// waits for the work, so the work may use what its owner holds.
class BackgroundResult {
 public:
  BackgroundResult() = default;
  BackgroundResult(TaskPool::TaskHandle task, std::shared_ptr<bool> result)
      : m_task(std::move(task)), m_result(std::move(result)) {}
  BackgroundResult(BackgroundResult&&) noexcept = default;
  BackgroundResult& operator=(BackgroundResult&& other) noexcept;
  ~BackgroundResult() { finish(); }

  // Waits for the work (running it here when no thread has taken it) and
  // gives what it returned; false when it threw.
  bool get();

 private:
  void finish() noexcept;

  TaskPool::TaskHandle m_task;
  std::shared_ptr<bool> m_result;
};

// Posts task to the program's pool. The task must not touch what the caller
// uses until its result has been taken.
BackgroundResult RunInBackground(std::function<bool()> task);

}  // namespace brindle
