// A scripted back end for the three plugins behind the real library: a
// message store holding records, contacts and groups, an IM service that
// acknowledges every chat, and an offline-file service that answers uploads
// (handle, then the outcome notification), link updates and expiry queries.
// Every answer is sent from the service's own thread, as plugins do.
#pragma once

#include <json/json.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/ScriptedPlugins.h"

namespace forward_test {

class ScriptedService {
 public:
  ScriptedService();   // installs the handlers and starts the answering thread
  ~ScriptedService();  // removes the handlers and joins the thread
  ScriptedService(const ScriptedService&) = delete;
  ScriptedService& operator=(const ScriptedService&) = delete;

  // Stores a record under its "servermessageid".
  void AddRecord(const Json::Value& record);
  void SetUser(const std::string& account, const std::string& name, const std::string& foreignName);
  void SetGroup(const std::string& groupId, const std::string& name);
  // What the expiry query answers (default: not expired).
  void SetMediaExpired(bool expired);

  // The adapter's requests to a plugin, parsed, in arrival order (a request
  // is listed once the service has taken it up; an adapter request is always
  // taken up before its answer is sent).
  std::vector<Json::Value> Requests(scripted::Plugin plugin) const;
  // Those with "cmd" equal to cmd.
  std::vector<Json::Value> Requests(scripted::Plugin plugin, int cmd) const;

 private:
  struct Pending {
    scripted::Plugin plugin;
    std::string text;  // parsed on the answering thread, as a plugin would
  };

  void Receive(scripted::Plugin plugin, const std::string& text);
  void Run();
  void Handle(scripted::Plugin plugin, const Json::Value& request);
  void AnswerStore(const Json::Value& request);
  void AnswerIm(const Json::Value& request);
  void AnswerOffline(const Json::Value& request);
  static void Send(scripted::Plugin plugin, const Json::Value& message);

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Pending> queue_;
  bool stop_ = false;
  std::map<scripted::Plugin, std::vector<Json::Value>> requests_;
  std::map<std::string, Json::Value> records_;
  std::map<std::string, Json::Value> users_;
  std::map<std::string, std::string> groups_;
  bool mediaExpired_ = false;
  int nextRecordId_ = 1;
  int nextHandle_ = 100;
  std::thread thread_;
};

}  // namespace forward_test
