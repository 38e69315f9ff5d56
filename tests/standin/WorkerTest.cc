// The stand-ins' worker thread.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <vector>

#include "plugins/common/StandInWorker.h"

namespace {

// Tasks run in posting order, a delay never lets a later task overtake, and
// destruction drops what still waits (flushing at shut-down is covered by the
// IM service test).
TEST(StandInWorker, RunsInPostingOrderAndDropsWhatWaitsAtDestruction) {
  std::mutex lock;
  std::condition_variable done;
  std::vector<int> order;
  auto record = [&](int n) {
    return [&, n] {
      std::lock_guard<std::mutex> guard(lock);
      order.push_back(n);
      done.notify_all();
    };
  };
  {
    standin::StandInWorker worker;
    worker.Post(record(1), 200);
    worker.Post(record(2));
    worker.Post(record(3), 10);
    std::unique_lock<std::mutex> guard(lock);
    ASSERT_TRUE(done.wait_for(guard, std::chrono::seconds(10), [&] { return order.size() == 3; }));
    worker.Post(record(4), 600000);
  }
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

}  // namespace
