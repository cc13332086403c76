#include "spssio/detail/BackgroundTask.h"

namespace brindle {

BackgroundResult& BackgroundResult::operator=(BackgroundResult&& other) noexcept {
  if (this != &other) {
    finish();
    m_task = std::move(other.m_task);
    m_result = std::move(other.m_result);
  }
  return *this;
}

bool BackgroundResult::get() {
  if (!m_task) return false;
  bool ok = false;
  try {
    m_task->wait();
    ok = *m_result;
  } catch (...) {
    ok = false;
  }
  m_task.reset();
  return ok;
}

void BackgroundResult::finish() noexcept {
  if (!m_task) return;
  try {
    m_task->wait();
  } catch (...) {
  }
  m_task.reset();
}

BackgroundResult RunInBackground(std::function<bool()> task) {
  auto result = std::make_shared<bool>(false);
  auto handle = TaskPool::shared().post([task = std::move(task), result] { *result = task(); });
  return BackgroundResult(std::move(handle), std::move(result));
}

}  // namespace brindle
