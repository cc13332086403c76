// The task pool and the in-order delivery on it: every task runs exactly once
// however the pool's threads and the waiting threads race for it, a pass
// finishes when no pool thread is free, and pieces reach the consumer in
// order, none lost, none twice.
#include "spssio/TaskPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <stdexcept>
#include <string>
#include <vector>

#include "spssio/DeliverInOrder.h"

namespace brindle {
namespace {

TEST(TaskPool, EveryTaskRunsExactlyOnce) {
  for (unsigned threads : {0u, 1u, 3u}) {
    TaskPool pool(threads);
    constexpr int kTasks = 2000;
    std::vector<std::atomic<int>> runs(kTasks);
    std::vector<TaskPool::TaskHandle> tasks;
    for (int i = 0; i < kTasks; ++i) tasks.push_back(pool.post([&runs, i] { ++runs[i]; }));
    // The waiting thread races the pool for every other task.
    for (int i = 0; i < kTasks; i += 2) tasks[i]->runHere();
    for (const auto& task : tasks) task->wait();
    for (int i = 0; i < kTasks; ++i)
      ASSERT_EQ(runs[i].load(), 1) << "task " << i << ", threads " << threads;
  }
}

TEST(TaskPool, WithdrawnTaskNeverRuns) {
  TaskPool pool(0);
  bool ran = false;
  const auto task = pool.post([&] { ran = true; });
  EXPECT_TRUE(task->withdraw());
  EXPECT_TRUE(task->finished());
  task->wait();
  EXPECT_FALSE(ran);
  EXPECT_FALSE(task->runHere());
}

TEST(TaskPool, WaitRethrowsWhatTheTaskThrew) {
  TaskPool pool(1);
  const auto task = pool.post([] { throw std::runtime_error("damaged block"); });
  EXPECT_THROW(task->wait(), std::runtime_error);
  EXPECT_TRUE(task->finished());
}

TEST(TaskPool, WaiterRunsATaskNoBusyThreadTakes) {
  TaskPool pool(1);
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  const auto blocker = pool.post([released] { released.wait(); });
  bool ran = false;
  const auto task = pool.post([&] { ran = true; });
  task->wait();  // the one pool thread is held: this runs here
  EXPECT_TRUE(ran);
  release.set_value();
  blocker->wait();
}

// Segment s delivers s % 5 pieces "s.k" (some none at all).
std::vector<std::string> Expected(std::size_t count) {
  std::vector<std::string> pieces;
  for (std::size_t s = 0; s < count; ++s)
    for (std::size_t k = 0; k < s % 5; ++k)
      pieces.push_back(std::to_string(s) + "." + std::to_string(k));
  return pieces;
}

struct DeliveryCase {
  unsigned threads;
  std::size_t count, ahead, held;
};

class DeliverInOrderTest : public ::testing::TestWithParam<DeliveryCase> {};

TEST_P(DeliverInOrderTest, PiecesArriveInOrder) {
  const DeliveryCase c = GetParam();
  TaskPool pool(c.threads);
  std::vector<std::string> got;
  std::vector<std::size_t> segmentsSeen;
  DeliverInOrder<std::string>(
      pool, c.count, c.ahead, c.held,
      [](std::size_t s, auto& deliver) {
        for (std::size_t k = 0; k < s % 5; ++k)
          if (!deliver(std::to_string(s) + "." + std::to_string(k))) return;
      },
      [&](std::size_t s, std::string&& piece) {
        segmentsSeen.push_back(s);
        got.push_back(std::move(piece));
        return true;
      });
  EXPECT_EQ(got, Expected(c.count));
  for (std::size_t i = 0; i < got.size(); ++i)
    EXPECT_EQ(std::to_string(segmentsSeen[i]), got[i].substr(0, got[i].find('.')));
}

INSTANTIATE_TEST_SUITE_P(Pools, DeliverInOrderTest,
                         ::testing::Values(DeliveryCase{0, 40, 4, 2}, DeliveryCase{1, 40, 3, 1},
                                           DeliveryCase{3, 200, 8, 1}, DeliveryCase{3, 200, 1, 1},
                                           DeliveryCase{2, 0, 4, 2}, DeliveryCase{4, 1, 16, 8}));

TEST(DeliverInOrder, ConsumerStopsEarlyAndProducersEnd) {
  TaskPool pool(3);
  std::atomic<int> refused{0};
  std::vector<std::size_t> seen;
  DeliverInOrder<std::size_t>(
      pool, 100, 6, 1,
      [&](std::size_t s, auto& deliver) {
        for (int k = 0; k < 50; ++k)
          if (!deliver(std::size_t(s))) {
            ++refused;
            return;
          }
      },
      [&](std::size_t s, std::size_t&&) {
        seen.push_back(s);
        return seen.size() < 75;  // stops inside segment 1
      });
  ASSERT_EQ(seen.size(), 75u);
  EXPECT_EQ(seen.front(), 0u);
  EXPECT_EQ(seen.back(), 1u);
}

TEST(DeliverInOrder, ProducerFailureReachesTheCaller) {
  TaskPool pool(2);
  std::vector<int> seen;
  EXPECT_THROW(DeliverInOrder<int>(
                   pool, 10, 4, 2,
                   [](std::size_t s, auto& deliver) {
                     if (s == 3) throw std::runtime_error("out of memory");
                     deliver(int(s));
                   },
                   [&](std::size_t, int&& piece) {
                     seen.push_back(piece);
                     return true;
                   }),
               std::runtime_error);
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 2}));
}

TEST(DeliverInOrder, FinishesWhileEveryPoolThreadIsBusy) {
  TaskPool pool(1);
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  const auto blocker = pool.post([released] { released.wait(); });
  std::vector<std::string> got;
  DeliverInOrder<std::string>(
      pool, 30, 4, 1,
      [](std::size_t s, auto& deliver) {
        for (std::size_t k = 0; k < s % 5; ++k)
          if (!deliver(std::to_string(s) + "." + std::to_string(k))) return;
      },
      [&](std::size_t, std::string&& piece) {
        got.push_back(std::move(piece));
        return true;
      });
  EXPECT_EQ(got, Expected(30));
  release.set_value();
  blocker->wait();
}

}  // namespace
}  // namespace brindle
