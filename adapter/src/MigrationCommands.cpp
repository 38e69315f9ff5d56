#include "adapter/src/MigrationCommands.h"

#include "adapter/src/ImAdapterCmd.h"

void RunMigrationFileStartup(ImAdapterCmd& cmd, Json::Value& request) {
  Json::Value param(Json::objectValue);
  param["reason"] = "migration is not available in this build";
  cmd.SendRspToHost(-1, param, request, "im_http_migration_files");
}

void RunMigrationFileShutdown(ImAdapterCmd& cmd, Json::Value& request) {
  Json::Value param(Json::objectValue);
  param["reason"] = "migration is not available in this build";
  cmd.SendRspToHost(-1, param, request, "im_http_migration_files");
}
