// The shared task pool: the only place the program starts threads.
#include "spssio/TaskPool.h"

#include <system_error>

namespace brindle {

void TaskPool::Task::run() {
  std::exception_ptr failure;
  try {
    m_work();
  } catch (...) {
    failure = std::current_exception();
  }
  m_work = nullptr;  // what the work holds goes before anyone is told it ended
  std::lock_guard<std::mutex> lock(m_mutex);
  m_failure = failure;
  m_done = true;
  m_finished.notify_all();
}

bool TaskPool::Task::runHere() {
  if (!take()) return false;
  run();
  return true;
}

bool TaskPool::Task::withdraw() {
  if (!take()) return false;
  m_work = nullptr;
  std::lock_guard<std::mutex> lock(m_mutex);
  m_done = true;
  m_finished.notify_all();
  return true;
}

bool TaskPool::Task::finished() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_done;
}

void TaskPool::Task::wait() {
  runHere();
  std::unique_lock<std::mutex> lock(m_mutex);
  m_finished.wait(lock, [&] { return m_done; });
  if (m_failure) std::rethrow_exception(m_failure);
}

TaskPool::TaskPool(unsigned threads) : m_threadCount(threads) {}

TaskPool::~TaskPool() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stopping = true;
  }
  m_posted.notify_all();
  for (std::thread& t : m_threads) t.join();
}

TaskPool& TaskPool::shared() {
  static TaskPool pool(std::max(1u, std::thread::hardware_concurrency()));
  return pool;
}

void TaskPool::startThreads() {
  // Under m_mutex. Threads that cannot be started leave their share of the
  // work to those that could, or to the threads that wait for it.
  m_started = true;
  try {
    m_threads.reserve(m_threadCount);
    for (unsigned t = 0; t < m_threadCount; ++t) m_threads.emplace_back([this] { serve(); });
  } catch (const std::system_error&) {
  } catch (const std::bad_alloc&) {
  }
}

void TaskPool::serve() {
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    m_posted.wait(lock, [&] { return m_stopping || !m_queue.empty(); });
    if (m_stopping) return;
    TaskHandle task = std::move(m_queue.front());
    m_queue.pop_front();
    lock.unlock();
    task->runHere();
    task.reset();
    lock.lock();
  }
}

TaskPool::TaskHandle TaskPool::post(std::function<void()> work) {
  auto task = std::make_shared<Task>(std::move(work));
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_started && m_threadCount > 0) startThreads();
    if (!m_threads.empty()) m_queue.push_back(task);
  }
  m_posted.notify_one();
  return task;
}

unsigned PassThreads(unsigned requested) {
  return requested ? requested : TaskPool::shared().threadCount();
}

}  // namespace brindle
