// Commands 1 and 2: forward stored messages one by one, or merged into one card.
#pragma once

#include <json/json.h>

class ImAdapterCmd;

void RunMsgForwardOneByOne(ImAdapterCmd& cmd, Json::Value& request);
void RunMsgCombineAndForward(ImAdapterCmd& cmd, Json::Value& request);
