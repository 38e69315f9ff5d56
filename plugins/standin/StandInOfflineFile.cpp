// Stand-in offline-file service: keeps the adapter's callback and accepts every text.
#include <atomic>

#include "im_adapter/im_plugin.h"

namespace {
std::atomic<IMAdapterServiceCallbackFn> g_callback{nullptr};
}  // namespace

extern "C" {
int OffLineFileRecvMsgImport(const char*, uint32_t) { return 0; }
int OffLineSetAdapterCallback(IMAdapterServiceCallbackFn callback) {
  g_callback.store(callback);
  return 0;
}
}
