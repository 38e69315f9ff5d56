// The adapter's two queues: inbound host requests (target 5) for the service
// thread, and outbound replies and notifications for the host.
#pragma once

#include <chrono>
#include <cstdint>

#include "util/BoundedTextQueue.h"
#include "util/Mutex.h"

namespace util {

class MessageQueuePair {
 public:
  static constexpr int32_t kCapacity = 1024;

  MessageQueuePair();
  MessageQueuePair(const MessageQueuePair&) = delete;
  MessageQueuePair& operator=(const MessageQueuePair&) = delete;

  // Copies length bytes plus a NUL into a fresh heap buffer and queues it for
  // the service thread, waiting while the queue is full. False, with nothing
  // queued, for a null text or a zero length.
  bool PushInbound(const char* text, uint32_t length);
  // The next inbound text (the caller frees it with free), or nullptr at once.
  char* TakeInbound();
  // As TakeInbound, but waits at most `timeout` for a text to arrive.
  char* TakeInboundFor(std::chrono::milliseconds timeout);

  // Copies the text and queues it for the host. Producers (service thread,
  // migration thread) are serialised by the producer lock, held across a wait
  // on a full queue. False for a null text or a zero length.
  bool PostToHost(const char* text, size_t length);
  // The next outbound text, waiting without limit.
  char* TakeOutbound();
  // The next outbound text, or nullptr after `timeout`.
  char* TakeOutboundFor(std::chrono::milliseconds timeout);

  size_t InboundSize() const { return inbound_.Size(); }
  size_t OutboundSize() const { return outbound_.Size(); }

 private:
  BoundedTextQueue inbound_;
  BoundedTextQueue outbound_;
  Mutex producerLock_;
};

}  // namespace util
