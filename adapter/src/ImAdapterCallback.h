// The callback hub: plugin messages are copied and handled one at a time on
// the hub's own task thread ("callbackTask"). (Stub: the plugin bridge fills it in.)
#pragma once

class ImAdapterCallback {
 public:
  static ImAdapterCallback& Instance();
  // Starts the task thread and registers the fixed notification handler.
  void Start();
  // Closes the task queue and joins the task thread.
  void Stop();
  // Copies text and queues it for the task thread; returns at once.
  void Post(const char* text);
};
