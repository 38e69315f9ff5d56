// The hub's task queue: order, failures, closing in the middle of a batch.
#include <gtest/gtest.h>

#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "adapter/src/TaskQueue.h"
#include "tests/bridge/FakePlugins.h"

namespace bridge_test {
namespace {

// Tasks run one at a time on the queue's worker and the test reads between
// latches, so the record needs no lock of its own.
struct Record {
  void Add(const std::string& item) { items.push_back(item); }
  std::vector<std::string> Items() const { return items; }
  std::vector<std::string> items;
};

TEST(TaskQueueTest, RunsTasksInOrderAndSurvivesThrowingOnes) {
  Record record;
  Latch done;
  TaskQueue queue("test");  // declared last: its worker is joined first
  queue.Put([&] { record.Add("a"); });
  queue.Put([] { throw std::runtime_error("x"); });
  queue.Put(nullptr);
  queue.Put([] { throw 1; });
  queue.Put([&] { record.Add("b"); });
  queue.Put([&] { done.Open(); });
  ASSERT_TRUE(queue.Start());
  ASSERT_TRUE(done.WaitOpen());
  EXPECT_EQ(record.Items(), (std::vector<std::string>{"a", "b"}));
}

TEST(TaskQueueTest, CloseInTheMiddleOfABatchKeepsTheRestForTheNextStart) {
  Record record;
  Latch running;
  Latch release;
  Latch done;
  TaskQueue queue("test");
  // Queued before Start, so the worker takes all three as one batch.
  queue.Put([&] {
    running.Open();
    release.WaitOpen();
    record.Add("first");
  });
  queue.Put([&] { record.Add("second"); });
  queue.Put([&] { record.Add("third"); });
  ASSERT_TRUE(queue.Start());
  ASSERT_TRUE(running.WaitOpen());
  std::thread closer([&] { queue.Close(); });
  // Close has to wait for the running task; let it go once Close is under way.
  while (!queue.Closing()) std::this_thread::yield();
  release.Open();
  closer.join();
  EXPECT_EQ(record.Items(), std::vector<std::string>{"first"});

  queue.Put([&] { done.Open(); });
  ASSERT_TRUE(queue.Start());
  ASSERT_TRUE(done.WaitOpen());
  EXPECT_EQ(record.Items(), (std::vector<std::string>{"first", "second", "third"}));
}

TEST(TaskQueueTest, CloseFromATaskIsRefused) {
  Latch done;
  TaskQueue queue("test");
  queue.Put([&] {
    queue.Close();  // would join itself
    done.Open();
  });
  ASSERT_TRUE(queue.Start());
  ASSERT_TRUE(done.WaitOpen());
  queue.Close();
}

}  // namespace
}  // namespace bridge_test
