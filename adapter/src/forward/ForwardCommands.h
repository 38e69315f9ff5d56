// Commands 1 and 2: forward stored messages one by one, or merged into one
// card, to a group or a user.
//
// Both run on the service thread, called by the command dispatcher with the
// parsed host request, which each reads once at its start (ForwardRequest).
// They block on the plugins (store, offline file, IM service) and answer the
// host through channel with one reply, then one "AppendMsgNotify" per
// message sent. Nothing of a run survives its return; while it runs, the
// request is listed in the ForwardRequestTable.
#pragma once

#include <json/json.h>

class HostChannel;

// Command 1: every message id of "param"."msgIdList" is read from the store
// (50 ids per query), rebuilt as a new message to the target, stored, listed
// in the reply's "newMsgList" and, unless "isOnlySaveLocal" is 1, sent.
void RunMsgForwardOneByOne(HostChannel& channel, const Json::Value& request);

// Command 2: the messages of one conversation are read in one query, merged
// into one card (level, preview items, merged file list), stored, returned
// as "newMsg" and, unless "isOnlySaveLocal" is 1, sent. "imWindowId" is
// echoed in every reply and notification.
void RunMsgCombineAndForward(HostChannel& channel, const Json::Value& request);
