#include "util/MessageQueuePair.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace util {
namespace {

// A heap copy of length bytes and a terminating NUL; nullptr when out of memory.
char* CopyText(const char* text, size_t length) {
  char* copy = static_cast<char*>(std::malloc(length + 1));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, text, length);
  copy[length] = '\0';
  return copy;
}

}  // namespace

MessageQueuePair::MessageQueuePair() : inbound_(kCapacity), outbound_(kCapacity) {}

bool MessageQueuePair::PushInbound(const char* text, uint32_t length) {
  if (text == nullptr || length == 0) return false;
  char* copy = CopyText(text, length);
  if (copy == nullptr) return false;
  inbound_.Put(copy);
  return true;
}

char* MessageQueuePair::TakeInbound() { return inbound_.TryTake(); }

char* MessageQueuePair::TakeInboundFor(std::chrono::milliseconds timeout) {
  return inbound_.TakeFor(timeout);
}

bool MessageQueuePair::PostToHost(const char* text, size_t length) {
  MutexLock producer(producerLock_);
  if (text == nullptr || length == 0) return false;
  char* copy = CopyText(text, length);
  if (copy == nullptr) return false;
  outbound_.Put(copy);
  return true;
}

char* MessageQueuePair::TakeOutbound() { return outbound_.Take(); }

char* MessageQueuePair::TakeOutboundFor(std::chrono::milliseconds timeout) {
  return outbound_.TakeFor(timeout);
}

}  // namespace util
