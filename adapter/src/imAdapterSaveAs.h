// Commands 6 and 7: the save-file and choose-folder dialogs.
#pragma once

#include <json/json.h>

class ImAdapterCmd;

void RunOpenSaveFileDialog(ImAdapterCmd& cmd, Json::Value& request);
void RunOpenChoosePathDialog(ImAdapterCmd& cmd, Json::Value& request);
