#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "util/BoundedTextQueue.h"
#include "util/MessageQueuePair.h"

namespace {

struct FreeText {
  void operator()(char* text) const { std::free(text); }
};
using Text = std::unique_ptr<char, FreeText>;

// A heap copy of s, as the queues expect (malloc, NUL-terminated).
char* HeapText(const std::string& s) {
  char* copy = static_cast<char*>(std::malloc(s.size() + 1));
  std::memcpy(copy, s.c_str(), s.size() + 1);
  return copy;
}

std::string Taken(char* text) {
  Text owned(text);
  return owned ? std::string(owned.get()) : std::string("(null)");
}

// ---- BoundedTextQueue --------------------------------------------------------

// A bounded queue and queues without a bound (capacity 0 or below) alike.
TEST(BoundedTextQueue, KeepsFirstInFirstOutOrder) {
  for (int32_t capacity : {16, 0, -1}) {
    SCOPED_TRACE(capacity);
    const int count = capacity > 0 ? 10 : 3000;
    util::BoundedTextQueue queue(capacity);
    for (int i = 0; i < count; ++i) queue.Put(HeapText(std::to_string(i)));
    EXPECT_EQ(queue.Size(), static_cast<size_t>(count));
    EXPECT_EQ(Taken(queue.Take()), "0");
    EXPECT_EQ(Taken(queue.TryTake()), "1");
    EXPECT_EQ(Taken(queue.TakeFor(std::chrono::milliseconds(1))), "2");
    for (int i = 3; i < count; ++i) ASSERT_EQ(Taken(queue.Take()), std::to_string(i));
    EXPECT_EQ(queue.Size(), 0u);
    EXPECT_EQ(queue.TryTake(), nullptr);
    EXPECT_EQ(queue.TakeFor(std::chrono::milliseconds(0)), nullptr);
    queue.Put(HeapText("left"));  // freed by the destructor
  }
}

TEST(BoundedTextQueue, PutWaitsWhileFullUntilOneTake) {
  constexpr int kCapacity = util::MessageQueuePair::kCapacity;
  util::BoundedTextQueue queue(kCapacity);
  for (int i = 0; i < kCapacity; ++i) queue.Put(HeapText(std::to_string(i)));

  std::atomic<bool> started{false};
  std::atomic<bool> returned{false};
  std::thread producer([&] {
    started = true;
    queue.Put(HeapText("one too many"));
    returned = true;
  });
  while (!started) std::this_thread::yield();
  // However long the producer runs, it cannot finish while the queue is full.
  for (int i = 0; i < 200 && !returned; ++i) std::this_thread::yield();
  EXPECT_FALSE(returned);
  EXPECT_EQ(queue.Size(), static_cast<size_t>(kCapacity));

  EXPECT_EQ(Taken(queue.Take()), "0");  // makes room: the waiting Put completes
  producer.join();
  EXPECT_EQ(queue.Size(), static_cast<size_t>(kCapacity));
  for (int i = 1; i < kCapacity; ++i) ASSERT_EQ(Taken(queue.Take()), std::to_string(i));
  EXPECT_EQ(Taken(queue.Take()), "one too many");
}

// ---- MessageQueuePair --------------------------------------------------------

TEST(MessageQueuePair, CopiesLengthBytesAndRefusesEmptyTexts) {
  util::MessageQueuePair queues;
  EXPECT_FALSE(queues.PushInbound(nullptr, 5) || queues.PushInbound("text", 0) ||
               queues.PostToHost(nullptr, 5) || queues.PostToHost("text", 0));
  EXPECT_EQ(queues.InboundSize() + queues.OutboundSize(), 0u);

  // Exactly length bytes are copied, plus a NUL.
  char source[] = {'{', '\0', '}', 'X', 'Y'};
  ASSERT_TRUE(queues.PushInbound(source, 3));
  ASSERT_TRUE(queues.PostToHost(source, 3));
  source[0] = '!';  // the queued texts are copies, not the caller's buffer

  const char expected[] = {'{', '\0', '}', '\0'};
  const Text texts[] = {Text(queues.TakeInbound()), Text(queues.TakeOutbound())};
  for (const Text& text : texts) {
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::memcmp(text.get(), expected, sizeof expected), 0);
  }
  // Texts still queued at destruction are freed (the leak check sees it).
  ASSERT_TRUE(queues.PushInbound("pending", 7));
  ASSERT_TRUE(queues.PostToHost("pending", 7));
}

// Two producers and one consumer on each direction of the pair: nothing is
// refused or lost, and each producer's texts arrive in the order it sent them.
TEST(MessageQueuePair, TwoProducersOneConsumerLoseNothingAndKeepOrder) {
  constexpr int kPerProducer = 50000;
  for (bool inbound : {true, false}) {
    SCOPED_TRACE(inbound ? "inbound" : "outbound");
    util::MessageQueuePair queues;
    std::atomic<int> refused{0};
    auto produce = [&](char name) {
      for (int i = 0; i < kPerProducer; ++i) {
        const std::string t = std::string(1, name) + std::to_string(i);
        const bool ok = inbound ? queues.PushInbound(t.c_str(), static_cast<uint32_t>(t.size()))
                                : queues.PostToHost(t.c_str(), t.size());
        if (!ok) ++refused;
      }
    };
    std::thread a(produce, 'a');
    std::thread b(produce, 'b');
    int next[2] = {0, 0};
    int outOfOrder = 0;
    // Every take is bounded and a bad text is only counted, so the producers
    // always end and are joined, whatever fails.
    for (int n = 0; n < 2 * kPerProducer; ++n) {
      Text text(inbound ? queues.TakeInboundFor(std::chrono::seconds(30))
                        : queues.TakeOutboundFor(std::chrono::seconds(30)));
      if (!text) {  // empty for 30 s: the producers are not held by a full queue
        ADD_FAILURE() << "no text after " << n << " texts";
        break;
      }
      const int producer = text.get()[0] - 'a';
      if (producer != 0 && producer != 1) {
        ADD_FAILURE() << text.get();
        continue;
      }
      if (std::atoi(text.get() + 1) != next[producer]) ++outOfOrder;
      next[producer] = std::atoi(text.get() + 1) + 1;
    }
    a.join();
    b.join();
    EXPECT_EQ(refused, 0);
    EXPECT_EQ(outOfOrder, 0);  // with 2 * kPerProducer texts taken: none lost
  }
}

}  // namespace
