#include "adapter/src/ImAdapterCallback.h"

ImAdapterCallback& ImAdapterCallback::Instance() {
  static ImAdapterCallback instance;
  return instance;
}
void ImAdapterCallback::Start() {}
void ImAdapterCallback::Stop() {}
void ImAdapterCallback::Post(const char*) {}
