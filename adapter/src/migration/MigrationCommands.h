// Commands 4 and 5: start and stop the migration of the received-files folder.
//
// Both run on the service thread (ImAdapterCmd's handlers call them) and
// answer the host at once. Command 4 hands a copy of its request to a
// migration thread of its own; the run's outcome reaches the host later as
// notifications from that thread.
#pragma once

#include <json/json.h>

#include <chrono>

class ImAdapterCmd;

// Command 4: claims the run state, starts a migration thread with a copy of
// request and answers result 0 with a null "param" ("migrationFileStartup"),
// or −1 when no thread can be started. The claim comes before the reply, so a
// command 5 that follows stops this run before its next file. A run already in
// progress turns the request away (a log line; the host gets only its result
// 0). The reply goes out before the thread does anything, so a parameter
// error's second answer (result 1) always follows it. A new run starts only
// after the run before it, even a stopped one still finishing its file, ended.
void RunMigrationFileStartup(ImAdapterCmd& cmd, Json::Value& request);

// Command 5: stops the running migration before its next file (it then reports
// "finish") and answers result 0 with a null "param" ("migrationFileShutdown").
// Does not wait for the run to end.
void RunMigrationFileShutdown(ImAdapterCmd& cmd, Json::Value& request);

// Waits until at most maxAlive migration threads are alive (a thread that found
// a run in progress ends at once), at most timeout. True when that holds. For
// an orderly shutdown of the library and for tests; any thread but a migration
// thread may call it.
bool WaitForMigrationThreadsFor(std::chrono::milliseconds timeout, int maxAlive = 0);
