// Counting on several threads: the pass is split at the file's case index,
// each thread counts the segments it takes into a table of its own, and the
// tables are merged at the end. Counts are integers, which add up the same in
// any order, so the merged table is exactly that of one sequential pass.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "spssio/CaseSource.h"
#include "spssio/SpssioCodes.h"
#include "spssio/TaskPool.h"
#include "values/FreqTables.h"
#include "values/Frequencies.h"

namespace brindle {

template <class Amount>
void MergeTable(OrderedDblTable<Amount>& into, const OrderedDblTable<Amount>& from) {
  into.Merge(from);
}

template <class Amount>
void MergeTable(RawKeyCounter<Amount>& into, const RawKeyCounter<Amount>& from) {
  from.ForEach([&](std::string_view key, Amount a) {
    into.Insert(reinterpret_cast<const std::uint8_t*>(key.data()), a);
  });
}

// Counts the first n cases of whole's file on `threads` threads (the calling
// thread one of them, the others tasks on the shared pool; the calling thread
// the only one that calls progress, after each batch
// of about 1000 cases with the cases counted so far): count(table, source, i)
// for case i of the batch at hand in source. On success table holds the
// merged counts and read the cases counted (fewer when progress cancelled).
// False, with table untouched, when the file cannot be split there or a
// segment does not read as its index promised: the caller then counts on
// one thread, which also builds the index a later pass splits at.
template <class Table, class MakeTable, class Count>
bool CountInParallel(CaseSource& whole, std::int64_t n, unsigned threads,
                     const FrequencyProgress& progress, bool& cancelled, std::int64_t& read,
                     Table& table, MakeTable&& makeTable, Count&& count) {
  if (threads < 2) return false;
  // More segments than threads even out segments that decode at different speeds.
  const std::vector<CaseSegment> segments = whole.split(n, std::size_t(threads) * 4);
  if (segments.size() < 2) return false;
  threads = unsigned(std::min<std::size_t>(threads, segments.size()));

  std::vector<std::unique_ptr<CaseSource>> sources;
  std::vector<std::unique_ptr<Table>> tables;
  for (unsigned t = 0; t < threads; ++t) {
    sources.push_back(std::make_unique<CaseSource>());
    tables.push_back(std::make_unique<Table>(makeTable()));
  }
  std::atomic<std::size_t> nextSegment{0};
  std::atomic<std::int64_t> counted{0};
  std::atomic<bool> stop{false}, failed{false}, cancel{false};
  std::atomic<unsigned> running{threads};

  // On the calling thread: true when the pass is cancelled.
  auto report = [&] {
    if (progress && !cancel.load() && progress(counted.load(std::memory_order_relaxed))) {
      cancel = true;
      stop = true;
    }
  };
  auto fail = [&] {
    failed = true;
    stop = true;
  };
  auto work = [&](unsigned t) {
    try {
      CaseSource& source = *sources[t];
      Table& mine = *tables[t];
      for (std::size_t s;
           !stop.load(std::memory_order_relaxed) && (s = nextSegment++) < segments.size();) {
        const CaseSegment& segment = segments[s];
        const std::int64_t want = segment.end - segment.from.firstCase();
        std::int64_t got = 0;
        if (!source.openSegment(whole, segment)) {
          fail();
          break;
        }
        while (got < want && !stop.load(std::memory_order_relaxed)) {
          const std::size_t batch =
              source.read(std::size_t(std::min<std::int64_t>(1000, want - got)));
          const std::size_t use =
              std::size_t(std::min<std::int64_t>(std::int64_t(batch), want - got));
          for (std::size_t i = 0; i < use; ++i) count(mine, source, i);
          got += std::int64_t(use);
          counted.fetch_add(std::int64_t(use), std::memory_order_relaxed);
          if (batch == 0) break;
          if (t == 0) report();
        }
        if (got != want && !stop.load()) {
          fail();
          break;
        }
      }
    } catch (...) {
      // Out of memory on one thread: the caller's own pass decides.
      fail();
    }
    --running;
  };
  std::vector<TaskPool::TaskHandle> helpers;
  for (unsigned t = 1; t < threads; ++t)
    helpers.push_back(TaskPool::shared().post([&work, t] { work(t); }));
  work(0);
  // Helpers no pool thread has taken yet find no segment left and end at once.
  for (const TaskPool::TaskHandle& helper : helpers) helper->runHere();
  // The window gets its turn at least once, however fast the others were.
  report();
  while (running.load() > 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    report();
  }
  for (const TaskPool::TaskHandle& helper : helpers) helper->wait();
  if (cancel) {
    cancelled = true;
    read = counted.load();
    return true;
  }
  if (failed) return false;
  read = counted.load();
  for (unsigned t = 1; t < threads; ++t) {
    MergeTable(*tables[0], *tables[t]);
    tables[t].reset();
  }
  table = std::move(*tables[0]);
  return true;
}

// A pass that cannot be split (the first over a compressed file, which
// builds the case index on the way): one thread decodes batches of numbers
// while the calling thread counts them, so decoding and counting overlap.
// The numbers arrive in file order, so sums come out as in one thread.
// perCase(value, weight) for each of the first n cases (weight 0 when the
// pass has none); progress after every 1000th on the calling thread, as
// ReadCases calls it. Returns the cases read and sets cancelled; ended is
// true when the data stopped before n (cases.status() and error() say why
// once this returns). False, with nothing read, when no pool thread takes the
// producer before the first numbers are needed.
template <class PerCase>
bool ReadNumbersOverlapped(CaseSource& cases, std::int64_t n, bool weighted,
                           const FrequencyProgress& progress, bool& cancelled, std::int64_t& read,
                           bool& ended, PerCase&& perCase) {
  constexpr std::size_t kSlots = 3;
  constexpr std::size_t kSlotCases = 16384;
  struct Slot {
    std::vector<double> values, weights;
    std::size_t count = 0;
    bool last = false;  // nothing follows this slot
  };
  std::array<Slot, kSlots> slots;
  std::mutex lock;
  std::condition_variable changed;
  std::size_t filled = 0, emptied = 0;  // slots handed over and given back, in turn
  bool stop = false;
  std::exception_ptr failure;

  auto produce = [&] {
    try {
      std::int64_t produced = 0;
      for (bool last = false; !last;) {
        {
          std::unique_lock<std::mutex> hold(lock);
          changed.wait(hold, [&] { return stop || filled - emptied < kSlots; });
          if (stop) return;
        }
        Slot& slot = slots[filled % kSlots];
        slot.values.resize(kSlotCases);
        if (weighted) slot.weights.resize(kSlotCases);
        slot.count = 0;
        while (slot.count < kSlotCases && produced < n) {
          const std::size_t want = std::size_t(
              std::min<std::int64_t>(std::int64_t(kSlotCases - slot.count), n - produced));
          const std::size_t got = cases.read(want);
          const std::size_t use = std::min(got, want);
          for (std::size_t i = 0; i < use; ++i) slot.values[slot.count + i] = cases.number(i);
          if (weighted)
            for (std::size_t i = 0; i < use; ++i) slot.weights[slot.count + i] = cases.weight(i);
          slot.count += use;
          produced += std::int64_t(use);
          if (got < want && (got == 0 || cases.status() != SPSS_OK)) {
            last = true;
            break;
          }
        }
        if (produced >= n) last = true;
        slot.last = last;
        std::lock_guard<std::mutex> hold(lock);
        ++filled;
        changed.notify_all();
      }
    } catch (...) {
      std::lock_guard<std::mutex> hold(lock);
      failure = std::current_exception();
      stop = true;
      changed.notify_all();
    }
  };
  const TaskPool::TaskHandle producer = TaskPool::shared().post(produce);

  read = 0;
  ended = false;
  std::int64_t nextProgress = 1000;
  for (bool last = false; !last;) {
    {
      std::unique_lock<std::mutex> hold(lock);
      if (read == 0 &&
          !changed.wait_for(hold, std::chrono::milliseconds(250),
                            [&] { return stop || filled > emptied; }) &&
          producer->withdraw()) {
        // No pool thread has been free for the producer: the caller reads alone.
        return false;
      }
      changed.wait(hold, [&] { return stop || filled > emptied; });
      if (filled == emptied) break;  // the producer failed
    }
    const Slot& slot = slots[emptied % kSlots];
    for (std::size_t i = 0; i < slot.count; ++i) {
      perCase(slot.values[i], weighted ? slot.weights[i] : 0.0);
      if (++read == nextProgress) {
        nextProgress += 1000;
        if (progress && progress(read)) {
          cancelled = true;
          break;
        }
      }
    }
    last = slot.last || cancelled;
    std::lock_guard<std::mutex> hold(lock);
    ++emptied;
    if (cancelled) stop = true;
    changed.notify_all();
  }
  producer->wait();
  if (failure) std::rethrow_exception(failure);
  ended = !cancelled && read < n;
  return true;
}

}  // namespace brindle
