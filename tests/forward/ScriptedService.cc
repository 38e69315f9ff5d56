#include "tests/forward/ScriptedService.h"

#include <sstream>

namespace forward_test {

namespace {

using scripted::Plugin;

Json::Value ParseText(const std::string& text) {
  Json::Value value;
  Json::CharReaderBuilder builder;
  std::string errors;
  std::istringstream in(text);
  Json::parseFromStream(builder, in, &value, &errors);
  return value;
}

Json::Value AnswerTo(const Json::Value& request, int result) {
  Json::Value answer(Json::objectValue);
  answer["rsp"] = request["cmd"];
  answer["sno"] = request["sno"];
  answer["result"] = result;
  return answer;
}

std::vector<std::string> SplitIds(const std::string& text) {
  std::vector<std::string> ids;
  std::string current;
  for (char c : text) {
    if (c == ',') {
      ids.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!text.empty()) ids.push_back(current);
  return ids;
}

}  // namespace

ScriptedService::ScriptedService() {
  for (Plugin plugin : {Plugin::kIm, Plugin::kStore, Plugin::kOffline}) {
    scripted::SetHandler(plugin,
                         [this, plugin](const std::string& text) { Receive(plugin, text); });
  }
  thread_ = std::thread([this] { Run(); });
}

ScriptedService::~ScriptedService() {
  for (Plugin plugin : {Plugin::kIm, Plugin::kStore, Plugin::kOffline}) {
    scripted::SetHandler(plugin, nullptr);
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void ScriptedService::AddRecord(const Json::Value& record) {
  std::lock_guard<std::mutex> lock(mutex_);
  records_[record["servermessageid"].asString()] = record;
}

void ScriptedService::SetUser(const std::string& account, const std::string& name,
                              const std::string& foreignName) {
  Json::Value user(Json::objectValue);
  user["name"] = name;
  user["foreignName"] = foreignName;
  std::lock_guard<std::mutex> lock(mutex_);
  users_[account] = user;
}

void ScriptedService::SetGroup(const std::string& groupId, const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  groups_[groupId] = name;
}

void ScriptedService::SetMediaExpired(bool expired) {
  std::lock_guard<std::mutex> lock(mutex_);
  mediaExpired_ = expired;
}

std::vector<Json::Value> ScriptedService::Requests(Plugin plugin) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = requests_.find(plugin);
  return found == requests_.end() ? std::vector<Json::Value>() : found->second;
}

std::vector<Json::Value> ScriptedService::Requests(Plugin plugin, int cmd) const {
  std::vector<Json::Value> out;
  for (const Json::Value& request : Requests(plugin)) {
    if (request["cmd"].asInt() == cmd) out.push_back(request);
  }
  return out;
}

void ScriptedService::Receive(Plugin plugin, const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  queue_.push_back({plugin, text});
  wake_.notify_one();
}

void ScriptedService::Handle(Plugin plugin, const Json::Value& request) {
  if (!request.isObject() || request["adapter"].asInt() != 1) return;  // host texts
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_[plugin].push_back(request);
  }
  switch (plugin) {
    case Plugin::kStore:
      AnswerStore(request);
      break;
    case Plugin::kIm:
      AnswerIm(request);
      break;
    case Plugin::kOffline:
      AnswerOffline(request);
      break;
  }
}

void ScriptedService::Run() {
  for (;;) {
    Pending next;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
      if (queue_.empty()) return;
      next = queue_.front();
      queue_.pop_front();
    }
    Handle(next.plugin, ParseText(next.text));
  }
}

void ScriptedService::Send(Plugin plugin, const Json::Value& message) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  scripted::Answer(plugin, Json::writeString(builder, message));
}

void ScriptedService::AnswerStore(const Json::Value& request) {
  Json::Value answer = AnswerTo(request, 0);
  Json::Value& param = answer["param"];
  param = Json::Value(Json::objectValue);
  const Json::Value& in = request["param"];
  std::lock_guard<std::mutex> lock(mutex_);
  switch (request["cmd"].asInt()) {
    case 57: {
      Json::Value list(Json::arrayValue);
      const std::string ids = in["_multimatchinfo"]["datalist"][0]["match_value"].asString();
      for (const std::string& id : SplitIds(ids)) {
        const auto found = records_.find(id);
        if (found != records_.end()) list.append(found->second);
      }
      param["_historyrecordlist"] = list;
      break;
    }
    case 54:
      param["recordId"] = "rec" + std::to_string(nextRecordId_++);
      break;
    case 155: {
      const auto found = users_.find(in["_matchinfo"]["accountid"].asString());
      if (found != users_.end()) param["UserInfo"] = found->second;
      break;
    }
    case 31: {
      const std::string id = in["_multimatchinfo"]["datalist"][0]["match_value"].asString();
      Json::Value list(Json::arrayValue);
      const auto found = groups_.find(id);
      if (found != groups_.end()) {
        Json::Value group(Json::objectValue);
        group["groupid"] = id;
        group["name"] = found->second;
        list.append(group);
      }
      param["_groupinfolist"] = list;
      break;
    }
    default:
      break;
  }
  Send(Plugin::kStore, answer);
}

void ScriptedService::AnswerIm(const Json::Value& request) {
  Json::Value answer = AnswerTo(request, 0);
  answer["description"] = request["cmd"].asInt() == 135682 ? "GroupChatAck" : "UserChatAck";
  Send(Plugin::kIm, answer);
}

void ScriptedService::AnswerOffline(const Json::Value& request) {
  Json::Value answer = AnswerTo(request, 0);
  const int cmd = request["cmd"].asInt();
  if (cmd == 37) {
    std::lock_guard<std::mutex> lock(mutex_);
    answer["param"] = Json::Value(Json::objectValue);
    answer["result"] = mediaExpired_ ? 1 : 0;
  }
  if (cmd != 6) {
    Send(Plugin::kOffline, answer);
    return;
  }
  int handle = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    handle = nextHandle_++;
  }
  answer["param"]["pfile_handle"] = handle;
  Send(Plugin::kOffline, answer);
  Json::Value notification(Json::objectValue);
  notification["notify"] = 1;
  Json::Value& param = notification["param"];
  param["code"] = 1;
  param["file_handle"] = handle;
  param["filersp"]["status_code"] = 200;
  param["filersp"]["url"] = "https://new.example/f/up" + std::to_string(handle);
  param["filersp"]["plain_access_code"] = "pc" + std::to_string(handle);
  Send(Plugin::kOffline, notification);
}

}  // namespace forward_test
