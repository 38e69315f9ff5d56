// Commands 1 and 2: forward stored messages one by one, or merged into one
// card, to a group or a user.
//
// Both run on the service thread, called by ImAdapterCmd's handlers with the
// parsed host request. They block on the plugins (store, offline file, IM
// service) and answer the host with one reply, then one "AppendMsgNotify"
// per message sent. Nothing of a run survives its return.
#pragma once

#include <json/json.h>

class ImAdapterCmd;

// Command 1: every message id of "param"."msgIdList" is read from the store
// (50 ids per query), rebuilt as a new message to the target, stored, listed
// in the reply's "newMsgList" and, unless "isOnlySaveLocal" is 1, sent.
void RunMsgForwardOneByOne(ImAdapterCmd& cmd, Json::Value& request);

// Command 2: the messages of one conversation are read in one query, merged
// into one card (level, preview items, merged file list), stored, returned
// as "newMsg" and, unless "isOnlySaveLocal" is 1, sent. "imWindowId" is
// echoed in every reply and notification.
void RunMsgCombineAndForward(ImAdapterCmd& cmd, Json::Value& request);
