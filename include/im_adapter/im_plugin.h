/* im_adapter: what the adapter imports from its three service plugins.
 *
 * Each plugin is a shared library of its own:
 *   IM service      zeb_im_json          (libzeb_im_json.so / zeb_im_json.dll)
 *   message store   im_sqlite_plugin     (libim_sqlite_plugin.so / im_sqlite_plugin.dll)
 *   offline files   zeb_httpofflinefile  (libzeb_httpofflinefile.so / zeb_httpofflinefile.dll)
 *
 * Receive entry points take a JSON text and its byte length; the text is not
 * NUL-terminated in general and stays the caller's. A plugin answers the
 * adapter's own requests (those carrying "adapter": 1) through the callback it
 * was given, on any thread of its own; the adapter copies the text before the
 * callback returns, and the callback always returns 0.
 */
#ifndef IM_ADAPTER_IM_PLUGIN_H_
#define IM_ADAPTER_IM_PLUGIN_H_

#include <stdint.h>

#if defined(_WIN32)
#if defined(IM_PLUGIN_BUILDING)
#define IM_PLUGIN_API __declspec(dllexport)
#else
#define IM_PLUGIN_API __declspec(dllimport)
#endif
#else
#define IM_PLUGIN_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The adapter's callback: a NUL-terminated JSON text owned by the plugin. */
typedef int (*IMAdapterServiceCallbackFn)(const char* text);

/* IM service. */
IM_PLUGIN_API int IMServiceStartup(void);
IM_PLUGIN_API int IMServiceShutDown(void);
IM_PLUGIN_API int IMRecvMsgImport(const char* text, uint32_t length);
IM_PLUGIN_API int ImSetAdapterCallback(IMAdapterServiceCallbackFn callback);

/* Message store. */
IM_PLUGIN_API int SqliteRecvMsgImport(const char* text, uint32_t length);
IM_PLUGIN_API int SqliteSetAdapterCallback(IMAdapterServiceCallbackFn callback);

/* Offline-file service. */
IM_PLUGIN_API int OffLineFileRecvMsgImport(const char* text, uint32_t length);
IM_PLUGIN_API int OffLineSetAdapterCallback(IMAdapterServiceCallbackFn callback);

#ifdef __cplusplus
}
#endif

#endif /* IM_ADAPTER_IM_PLUGIN_H_ */
