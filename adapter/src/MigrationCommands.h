// Commands 4 and 5: start and stop the migration of the received-files folder.
#pragma once

#include <json/json.h>

class ImAdapterCmd;

void RunMigrationFileStartup(ImAdapterCmd& cmd, Json::Value& request);
void RunMigrationFileShutdown(ImAdapterCmd& cmd, Json::Value& request);
