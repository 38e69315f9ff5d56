// Scripted stand-ins for the three service plugins, for end-to-end tests that
// drive the real libim_adapter.so through its exports.
//
// The three plugin libraries are built under the real plugin sonames
// (libzeb_im_json.so, libim_sqlite_plugin.so, libzeb_httpofflinefile.so) in
// this folder's build directory; a test executable that links them gets them
// in place of the stand-in plugins. Each forwards what the adapter calls to
// the control functions below, which live in one shared control library.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "im_adapter/im_plugin.h"

namespace scripted {

enum class Plugin { kIm = 0, kStore = 1, kOffline = 2 };

// Called on the adapter's calling thread with each text a plugin receives.
using Handler = std::function<void(const std::string& text)>;

// Installs (or clears, with nullptr) the handler of one plugin.
void SetHandler(Plugin plugin, Handler handler);
// Calls the adapter callback that the plugin was given; -1 when it has none.
int Answer(Plugin plugin, const std::string& text);
// Everything a plugin received so far, in order.
std::vector<std::string> Received(Plugin plugin);
// How often the IM service was started / shut down, and how often each plugin
// was given a callback.
int StartupCount();
int ShutdownCount();
int CallbackRegistrations(Plugin plugin);
// The value IMServiceStartup / IMServiceShutDown return next.
void SetStartupResult(int result);
void SetShutdownResult(int result);
// Forgets handlers, received texts and counters (keeps the callbacks).
void Reset();

}  // namespace scripted

// Entry points used by the three plugin libraries (not for tests).
extern "C" {
IM_PLUGIN_API int ScriptedRecv(int plugin, const char* text, uint32_t length);
IM_PLUGIN_API int ScriptedSetCallback(int plugin, IMAdapterServiceCallbackFn callback);
IM_PLUGIN_API int ScriptedStartup(void);
IM_PLUGIN_API int ScriptedShutdown(void);
}
