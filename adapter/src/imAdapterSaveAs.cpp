#include "adapter/src/imAdapterSaveAs.h"

#include "adapter/src/ImAdapterCmd.h"

void RunOpenSaveFileDialog(ImAdapterCmd& cmd, Json::Value& request) {
  Json::Value param(Json::objectValue);
  param["reason"] = "dialogs are not available in this build";
  cmd.SendRspToHost(-1, param, request, "OpenSaveFileDialog");
}

void RunOpenChoosePathDialog(ImAdapterCmd& cmd, Json::Value& request) {
  Json::Value param(Json::objectValue);
  param["reason"] = "dialogs are not available in this build";
  cmd.SendRspToHost(-1, param, request, "OpenChoosePathDialog");
}
