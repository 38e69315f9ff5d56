/* The stand-in plugins' link to a host program that talks to them directly.
 *
 * A request that does not carry "adapter": 1 comes from the host, not from the
 * adapter: the stand-in answers it through the host sink set here, never
 * through the adapter's callback. The same library keeps the settings that
 * override the stand-ins' environment switches, so that a host or a test can
 * point the three plugins at a folder without touching its environment.
 *
 * Every function may be called from any thread.
 */
#ifndef IM_STANDIN_HOST_H_
#define IM_STANDIN_HOST_H_

#include <stdint.h>

#if defined(_WIN32)
#if defined(IM_STANDIN_HOST_BUILDING)
#define IM_STANDIN_HOST_API __declspec(dllexport)
#else
#define IM_STANDIN_HOST_API __declspec(dllimport)
#endif
#else
#define IM_STANDIN_HOST_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Receives a NUL-terminated JSON text that stays the caller's: copy it before
 * returning. Called on a plugin's worker thread. */
typedef int (*StandInHostSinkFn)(const char* text);

/* Installs the sink for answers to host requests; NULL removes it. Returns 0.
 * When the call returns, no later answer reaches the previous sink. The sink
 * runs under the lock this call takes: it must not call StandInSetHostSink. */
IM_STANDIN_HOST_API int StandInSetHostSink(StandInHostSinkFn sink);

/* Hands text to the host sink. Returns 0 when a sink took it, 1 when there is
 * no sink (the text is dropped and a line goes to standard error), 2 for NULL. */
IM_STANDIN_HOST_API int StandInPostToHost(const char* text);

/* Sets a setting that wins over the environment variable of the same name
 * ("IM_STORE_DB", "IM_CLOUD_DIR", "IM_STANDIN_ACK_DELAY_MS", "IM_STANDIN_FAIL");
 * value NULL removes it, so that the environment counts again. Returns 0, or 1
 * for a NULL or empty name. */
IM_STANDIN_HOST_API int StandInSetOption(const char* name, const char* value);

/* Copies the setting `name` (the override, else the environment) into buffer,
 * NUL-terminated. Returns its length, -1 when it is not set, or -2 when it does
 * not fit in size bytes (buffer then holds nothing useful). */
IM_STANDIN_HOST_API int32_t StandInGetOption(const char* name, char* buffer, uint32_t size);

#ifdef __cplusplus
}
#endif

#endif /* IM_STANDIN_HOST_H_ */
