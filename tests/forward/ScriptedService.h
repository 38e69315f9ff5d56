// A scripted back end for the three plugins behind the real library: a
// message store holding records, contacts and groups, an IM service that
// acknowledges every chat, and an offline-file service that answers uploads
// (handle, then the outcome notification), link updates and expiry queries
// (never expired). Every answer is sent from the service's own thread, as
// plugins do.
#pragma once

#include <json/json.h>

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
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

  // The adapter's requests to a plugin, parsed, in arrival order, all of them
  // or those with "cmd" equal to cmd. A request is listed once the service has
  // taken it up, which is always before its answer is sent.
  std::vector<Json::Value> Requests(scripted::Plugin plugin, int cmd = -1) const;

  // Whether uploads fail: the upload answer then carries no file handle, so
  // that an upload gives nothing back.
  void FailUploads(bool fail);

  // Whether requests are kept for Requests() (on by default). A benchmark that
  // sends thousands of requests turns it off, so that the service's own work
  // stays that of a plugin answering at once.
  void KeepRequests(bool keep);

 private:
  void Run();
  void Handle(scripted::Plugin plugin, const Json::Value& request);
  Json::Value AnswerStore(const Json::Value& request);

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::pair<scripted::Plugin, std::string>> queue_;  // parsed on the thread
  bool stop_ = false;
  bool keepRequests_ = true;
  bool failUploads_ = false;
  std::map<scripted::Plugin, std::vector<Json::Value>> requests_;
  std::map<std::string, Json::Value> records_;
  std::map<std::string, Json::Value> users_;
  std::map<std::string, std::string> groups_;
  int nextRecordId_ = 1;
  int nextHandle_ = 100;
  std::thread thread_;
};

}  // namespace forward_test
