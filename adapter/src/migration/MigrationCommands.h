// Commands 4 and 5: start and stop the migration of the received-files folder.
//
// Both run on the service thread (ImAdapterCmd's handlers call them) and
// answer the host at once through the host channel. Each reads its request
// once where it enters (Run...); the rest works on what was read. Command 4
// hands its MigrationRequest to a migration thread of its own; the run's
// outcome reaches the host later as notifications from that thread.
#pragma once

#include <json/json.h>

#include <chrono>

#include "adapter/src/boundary/HostChannel.h"
#include "adapter/src/migration/MigrationRequest.h"

// Command 4's entry: reads request (MigrationRequest) and starts the migration
// (StartMigration) between "Enter..." and "Leave...".
void RunMigrationFileStartup(HostChannel& channel, const Json::Value& request);

// Command 4: claims the run state, starts a migration thread with request and
// answers result 0 with a null "param" ("migrationFileStartup"),
// or −1 when no thread can be started. The claim comes before the reply, so a
// command 5 that follows stops this run before its next file. A run already in
// progress turns the request away (a log line; the host gets only its result
// 0). The reply goes out before the thread does anything, so a parameter
// error's second answer (result 1) always follows it. A new run starts only
// after the run before it, even a stopped one still finishing its file, ended.
// channel must outlive the migration thread (the process-wide channel does).
void StartMigration(HostChannel& channel, MigrationRequest request);

// Command 5's entry: reads the request's envelope and stops the run (StopMigration).
void RunMigrationFileShutdown(HostChannel& channel, const Json::Value& request);

// Command 5: stops the running migration before its next file (it then reports
// "finish") and answers result 0 with a null "param" ("migrationFileShutdown").
// Does not wait for the run to end.
void StopMigration(HostChannel& channel, const RequestEnvelope& request);

// Waits until at most maxAlive migration threads are alive (a thread that found
// a run in progress ends at once), at most timeout. True when that holds. For
// an orderly shutdown of the library and for tests; any thread but a migration
// thread may call it.
bool WaitForMigrationThreadsFor(std::chrono::milliseconds timeout, int maxAlive = 0);
