// Work split into numbered segments, produced on the task pool and handed to
// one consumer in segment order: the export's CSV and the command line's
// table lines come out as one thread would have written them.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <vector>

#include "spssio/TaskPool.h"

namespace brindle {

// Runs produce(segment, deliver) for segments 0 .. count - 1 on pool, no more
// than `ahead` (at least 1) segments from the one being consumed at a time.
// deliver(Piece&&) hands a piece on; it blocks while its segment is not the
// one being consumed and already holds `held` pieces, and returns false once
// the consumer has stopped (produce should then return). On the calling
// thread consume(segment, Piece&&) gets every piece, a segment's in the order
// delivered and segments in order; it returns false to stop. A segment that
// no pool thread has taken a moment after the consumer needs it runs on the
// calling thread, so the pass finishes however busy the pool is. Returns when every
// segment started has ended; an exception from produce or consume is
// rethrown here after that.
// How long the consumer waits for the pool to take up the segment it needs
// before it runs that segment itself.
inline constexpr std::chrono::milliseconds kTakeUp{50};

template <class Piece, class Produce, class Consume>
void DeliverInOrder(TaskPool& pool, std::size_t count, std::size_t ahead, std::size_t held,
                    Produce&& produce, Consume&& consume) {
  if (ahead == 0) ahead = 1;
  if (held == 0) held = 1;
  struct Segment {
    std::deque<Piece> pieces;
    bool done = false;
    std::exception_ptr failure;
    TaskPool::TaskHandle task;
  };
  std::vector<Segment> ring(std::min(ahead, count ? count : 1));
  ahead = ring.size();
  std::mutex mutex;
  std::condition_variable changed;
  std::size_t head = 0;    // the segment being consumed
  std::size_t posted = 0;  // segments handed to the pool
  bool stop = false;

  auto run = [&](std::size_t s) {
    Segment& segment = ring[s % ahead];
    auto deliver = [&, s](Piece&& piece) -> bool {
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return stop || s == head || segment.pieces.size() < held; });
      if (stop) return false;
      segment.pieces.push_back(std::move(piece));
      changed.notify_all();
      return true;
    };
    std::exception_ptr failure;
    try {
      produce(s, deliver);
    } catch (...) {
      failure = std::current_exception();
    }
    std::lock_guard lock(mutex);
    segment.failure = failure;
    segment.done = true;
    changed.notify_all();
  };
  // Under mutex: keeps `ahead` segments under way.
  auto postMore = [&] {
    for (; posted < count && posted < head + ahead; ++posted) {
      ring[posted % ahead] = Segment();
      ring[posted % ahead].task = pool.post([&run, s = posted] { run(s); });
    }
  };

  // A pool without threads takes up nothing.
  const auto takeUp = pool.threadCount() ? kTakeUp : std::chrono::milliseconds(0);
  std::exception_ptr failure;
  try {
    std::unique_lock lock(mutex);
    postMore();
    while (head < count) {
      Segment& segment = ring[head % ahead];
      const auto ready = [&] { return !segment.pieces.empty() || segment.done; };
      // A pool thread that is waking up takes the segment in a moment;
      // one still not taken then waits behind other work.
      if (!changed.wait_for(lock, takeUp, ready)) {
        const TaskPool::TaskHandle task = segment.task;
        lock.unlock();
        const bool ranHere = task->runHere();
        lock.lock();
        if (!ranHere) changed.wait(lock, ready);
      }
      if (!segment.pieces.empty()) {
        Piece piece = std::move(segment.pieces.front());
        segment.pieces.pop_front();
        changed.notify_all();
        lock.unlock();
        const bool more = consume(head, std::move(piece));
        lock.lock();
        if (!more) break;
        continue;
      }
      // The segment has ended: its task has only to return.
      const TaskPool::TaskHandle task = std::move(segment.task);
      const std::exception_ptr thrown = segment.failure;
      lock.unlock();
      task->wait();
      if (thrown) std::rethrow_exception(thrown);
      lock.lock();
      segment = Segment();
      ++head;
      postMore();
      changed.notify_all();
    }
  } catch (...) {
    failure = std::current_exception();
  }
  std::vector<TaskPool::TaskHandle> started;
  {
    std::lock_guard lock(mutex);
    stop = true;
    changed.notify_all();
    for (Segment& segment : ring)
      if (segment.task) started.push_back(segment.task);
  }
  for (const TaskPool::TaskHandle& task : started)
    if (!task->withdraw()) task->wait();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace brindle
