/* im_adapter: the host's interface.
 *
 * Protocol. Every message is a JSON text in UTF-8.
 * - IMAdapterDispatchMsg(msg, length, target) hands one request to the adapter.
 *   Targets 0 and 1 go to the IM service plugin, 2 to the message store plugin,
 *   3 to the offline-file plugin: the text is passed through untouched, on the
 *   calling thread, and the plugin answers the host by its own means; a NULL
 *   text or a zero length is handed to the plugin as it is, and what the
 *   plugin makes of it is the plugin's rule.
 *   Target 5 is the adapter's own command set: the text is copied into the
 *   inbound queue and run later, in arrival order, on the adapter's service
 *   thread; a NULL text or a zero length is ignored. Any other target is
 *   ignored.
 * - Replies to target-5 requests and the adapter's notifications wait in an
 *   outbound queue (1024 texts; a full queue makes the adapter wait, nothing
 *   is dropped). The host takes them, oldest first, with
 *   IMAdapterSendMsgExport or IMAdapterSendMsgExportTimeout.
 *
 * Threads. Every function may be called from any host thread.
 * IMAdapterStartup and IMAdapterShutDown are called in order, not at the same
 * time from two threads. Plugin answers reach the adapter through its callback
 * on the plugins' threads, which it never holds: while the adapter is shut
 * down, what they send is dropped (one log line with the count at the next
 * start); while it runs, at most 4096 plugin texts wait and a flood drops the
 * oldest (logged) rather than hold a plugin thread, whose own locks may be
 * what the adapter's service thread needs to go on. A command waits at most
 * 5 s for a store answer and 35 s for the others; a file upload waits for its
 * outcome until no upload of its batch has reported for 300 s, and never
 * longer than 15 minutes in all.
 *
 * Exit and unload. The host may end its process at any moment: return from
 * main or call exit while commands wait for plugins, a migration moves files,
 * host threads wait in IMAdapterSendMsgExport and plugins call back. The
 * adapter then neither waits nor frees what its threads use; it only stops
 * logging (every line is already in its file). IMAdapterShutDown before exit
 * is optional; it ends the waits of the running command at once (it reports
 * them as time-outs) and returns when that command is done, so it may wait
 * for an open dialog of command 6 or 7. A running migration is not stopped by
 * it (send command 5). After the first IMAdapterStartup the library stays
 * loaded until the process ends, because the plugins keep its callback:
 * FreeLibrary or dlclose then return at once and unload nothing, with or
 * without IMAdapterShutDown. A host may unload a library it never started
 * once no call into it is in progress (its log file, if any, stays open until
 * the process ends). A host must not use a text it has freed, nor call
 * IMAdapterStartup and IMAdapterShutDown at the same time from two threads.
 *
 * Ownership. A text returned through `msg` belongs to the host. It was
 * allocated with malloc; release it with IMAdapterFreeMsg (always safe) or,
 * when the host shares the library's C runtime, with free.
 *
 * Errors. No function reports routing failures; no exception crosses this
 * interface.
 */
#ifndef IM_ADAPTER_IM_ADAPTER_H_
#define IM_ADAPTER_IM_ADAPTER_H_

#include <stdbool.h>
#include <stdint.h>

#include "im_adapter/export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Starts the service thread (once), starts the IM service plugin and
 * registers the adapter's callback with the three plugins. Returns what the
 * IM service's start-up returned. A second call starts the plugin again but
 * not a second service thread. */
IM_ADAPTER_EXPORT int IMAdapterStartup(void);

/* Stops the service thread (the command that runs finishes first, its plugin
 * waits ended as time-outs; queued requests stay queued), closes the callback
 * hub and stops the IM service plugin. Returns what the IM service's
 * shut-down returned. IMAdapterStartup afterwards starts a working adapter
 * again. */
IM_ADAPTER_EXPORT int IMAdapterShutDown(void);

/* Opens the adapter's log "im_adapter.log" in the folder `path`; a folder
 * named "log" gets one sub-folder per day. Returns 0 on success, 1 when path
 * is NULL or empty (logging stays off). A second call closes the first log. */
IM_ADAPTER_EXPORT int IMAdapterSetLog(const char* path);

/* Routes `length` bytes at `msg` by `target` (see the protocol above). */
IM_ADAPTER_EXPORT void IMAdapterDispatchMsg(const char* msg, uint32_t length, uint32_t target);

/* Waits until an outbound text is there, stores it in *msg and returns true.
 * Never returns false for a valid `msg`; returns false at once when msg is NULL.
 * While texts keep coming, a wait on an empty queue first watches it for up to
 * 50 microseconds (yielding the processor) before it sleeps, so that a reply
 * on its way is taken without the cost of waking a sleeping thread; the
 * adapter's service thread waits for requests in the same way. */
IM_ADAPTER_EXPORT bool IMAdapterSendMsgExport(char** msg);

/* As IMAdapterSendMsgExport, but waits at most timeoutMs milliseconds. On
 * time-out stores NULL in *msg and returns false, so that a host can stop its
 * pulling thread. Takes from the same queue, in the same order. */
IM_ADAPTER_EXPORT bool IMAdapterSendMsgExportTimeout(char** msg, uint32_t timeoutMs);

/* Frees a text returned by the two functions above with the library's own
 * allocator. NULL is ignored. */
IM_ADAPTER_EXPORT void IMAdapterFreeMsg(char* msg);

#ifdef __cplusplus
}
#endif

#endif /* IM_ADAPTER_IM_ADAPTER_H_ */
