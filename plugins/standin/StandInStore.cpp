// Stand-in message store: keeps the adapter's callback and accepts every text.
#include <atomic>

#include "im_adapter/im_plugin.h"

namespace {
std::atomic<IMAdapterServiceCallbackFn> g_callback{nullptr};
}  // namespace

extern "C" {
int SqliteRecvMsgImport(const char*, uint32_t) { return 0; }
int SqliteSetAdapterCallback(IMAdapterServiceCallbackFn callback) {
  g_callback.store(callback);
  return 0;
}
}
