// The threads every pass of the program runs its work on: one pool, sized
// once from the hardware, that takes tasks in the order they are posted.
// A task that no pool thread has taken yet can be run by the thread that
// waits for it (Task::runHere), so a pass always finishes, even when every
// pool thread is busy with another pass or no thread could be started.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace brindle {

class TaskPool {
 public:
  // One piece of work posted to the pool. Exactly one thread runs it: a pool
  // thread, or the one that calls runHere() first; withdraw() keeps it from
  // running at all.
  class Task {
   public:
    explicit Task(std::function<void()> work) : m_work(std::move(work)) {}
    // Runs the task on this thread when no thread has taken it; true if it
    // did. An exception from the work is kept for wait().
    bool runHere();
    // Takes the task away before any thread has taken it; true if it did (it
    // then never runs and counts as finished).
    bool withdraw();
    bool finished() const;
    // Runs the task here when no thread has taken it, else waits until it
    // has finished; rethrows what the work threw.
    void wait();

   private:
    bool take() { return !m_taken.exchange(true); }
    void run();

    std::function<void()> m_work;
    std::atomic<bool> m_taken{false};
    mutable std::mutex m_mutex;
    std::condition_variable m_finished;
    bool m_done = false;
    std::exception_ptr m_failure;
  };
  using TaskHandle = std::shared_ptr<Task>;

  // A pool of `threads` threads, started with the first task posted; 0 runs
  // every task on the thread that waits for it.
  explicit TaskPool(unsigned threads);
  // Lets the running tasks finish; tasks no thread has taken are dropped, so
  // every owner of a task waits for it first.
  ~TaskPool();
  TaskPool(const TaskPool&) = delete;
  TaskPool& operator=(const TaskPool&) = delete;

  // The program's pool: one thread per core (at least one).
  static TaskPool& shared();

  unsigned threadCount() const { return m_threadCount; }
  // Queues work behind the tasks posted before it. Never throws for want of a
  // thread: when none can be started the task waits for runHere() or wait().
  TaskHandle post(std::function<void()> work);

 private:
  void startThreads();
  void serve();

  const unsigned m_threadCount;
  std::mutex m_mutex;
  std::condition_variable m_posted;
  std::deque<TaskHandle> m_queue;
  std::vector<std::thread> m_threads;
  bool m_started = false;
  bool m_stopping = false;
};

// The threads a pass runs on: `requested`, or as many as the shared pool
// has when 0.
unsigned PassThreads(unsigned requested);

}  // namespace brindle
