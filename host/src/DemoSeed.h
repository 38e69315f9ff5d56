// The demo's starting state: a received-files folder with real files, and a
// message store holding contacts, a group and a one-to-one conversation.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/src/HostSink.h"

namespace host {

// Client message ids of the seeded conversation, in the order they were sent.
struct DemoMessages {
  std::string text;
  std::string picture;
  std::string file;
  std::string card;
  std::string voice;
  std::string reply;
  std::string expired;  // a picture past the media retention, its link long gone
  std::vector<std::string> All() const {
    return {text, picture, file, card, voice, reply, expired};
  }
};

class DemoSeed {
 public:
  static constexpr const char* kMe = "alice";
  static constexpr const char* kPeer = "bob";
  static constexpr const char* kGroup = "team-42";
  static constexpr const char* kOther = "carol";

  // dir: the demo folder (it exists); sink: receives the plugins' answers.
  DemoSeed(const std::string& dir, HostSink* sink);

  // The received-files folder ("<dir>/ReceiveFiles").
  std::string ReceiveFiles() const { return dir_ + "/ReceiveFiles"; }

  // Writes the files and fills the store through the plugins (the picture and
  // the file are uploaded first, so that their links are real). False with a
  // message in *error naming what failed.
  bool Run(std::string* error);

  const DemoMessages& Messages() const { return messages_; }

 private:
  bool WriteFiles(std::string* error);
  // Sends request to the plugin at target and waits for its answer.
  bool Ask(uint32_t target, int cmd, const std::string& description, const Json::Value& param,
           Json::Value* answer, std::string* error);
  bool Upload(const std::string& path, Json::Value* entry, std::string* error);
  bool AddContact(const std::string& account, const std::string& name, const std::string& foreign,
                  std::string* error);
  bool AddGroup(std::string* error);
  bool AddRecord(Json::Value record, std::string* error);
  bool AddConversation(std::string* error);

  std::string dir_;
  HostSink* sink_;
  int sno_ = 1000;
  DemoMessages messages_;
};

}  // namespace host
