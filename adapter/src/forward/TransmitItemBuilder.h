// Turns a copy of a stored history record into the item that a forwarding
// command sends: the stored body split into text and html, reply cards turned
// into ordinary messages of the replied type, forwardable cards marked as
// forwarded, what belonged to the source conversation cleared, and the
// forwarding user made the sender. Messages that must not be forwarded
// (voice, private, never-sent, special cards) are refused.
//
// Runs on the service thread; buildTransmitMsgItem blocks on one user-info
// query to the store (up to 5 s).
#pragma once

#include <cstdint>
#include <string>

#include "adapter/src/forward/ForwardOptions.h"
#include "adapter/src/content/RecordInfo.h"

class TransmitItemBuilder {
 public:
  // Builds the item in place. content and html are overwritten with the
  // text part and the html part of the item's body (the input of the media
  // operations). Only options.userAccount is used. False (logged) means the
  // record is not to be forwarded: its extra is not JSON, or it is a voice
  // message, a card of type 11, 21, 64 or 92, a card of type 31 whose
  // "cardConfig"."canForward" is not set, a never-sent message (sendStatus
  // 0) or a private message.
  static bool buildTransmitMsgItem(RecordInfo& item, std::string& content, std::string& html,
                                   const ForwardOptions& options, int32_t jsSno);
  // The same with the forwarding user's contact already looked up (a run
  // forwarding many messages asks the store once): *forwarder is filled by
  // the first call that needs it and reused by later calls while *known.
  static bool buildTransmitMsgItem(RecordInfo& item, std::string& content, std::string& html,
                                   const ForwardOptions& options, int32_t jsSno,
                                   UserInfo* forwarder, bool* known);

  // content with its picture token replaced by the token of fileEntry.
  static std::string buildImageTextForwardContent(const std::string& content,
                                                  const FileListItem& fileEntry);

  // A card's text part with the "\v" escape (which JSON lacks) turned into
  // "\u000b": a run of n backslashes and "v" loses one backslash and gets
  // "\u000b" when n is odd and stays when n is even.
  static std::string RepairVerticalTabs(const std::string& text);

  // The refusal rules of forwarding (voice, special cards, card 31 without
  // permission, never-sent, private).
  static bool IsForbiddenToForward(const RecordInfo& item);

  // The sender of a new record: originaccount = account; peername the user's
  // foreign name, else name, else account; peernativename the name, else
  // foreign name, else account. Forwarded items and the merged card share it.
  static void SetSender(RecordInfo& item, const std::string& account, const UserInfo& user);

 private:
  static void ApplyReplyCard(RecordInfo& item, std::string& content, std::string& html);
  static bool ClearAppExtra(RecordInfo& item);
  // Marks a type-31 card as forwarded: content rebuilt with
  // "cardConfig"."isForward" true, showhtml the packed card JSON.
  static void RewriteCardConfig(RecordInfo& item, const std::string& html);
  static void MakeForwarderTheSender(RecordInfo& item, const std::string& account,
                                     const UserInfo& user);
};
