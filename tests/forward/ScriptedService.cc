#include "tests/forward/ScriptedService.h"

#include <memory>
#include <sstream>

namespace forward_test {

namespace {

using scripted::Plugin;

constexpr Plugin kPlugins[] = {Plugin::kIm, Plugin::kStore, Plugin::kOffline};

// Answers are written and requests parsed only on the service's thread; one
// writer and one reader serve them all.
void Send(Plugin plugin, const Json::Value& message) {
  static const std::unique_ptr<Json::StreamWriter> writer = [] {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    return std::unique_ptr<Json::StreamWriter>(builder.newStreamWriter());
  }();
  std::ostringstream text;
  writer->write(message, &text);
  scripted::Answer(plugin, text.str());
}

Json::Value ParseRequest(const std::string& text) {
  static const std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
  Json::Value request;
  reader->parse(text.data(), text.data() + text.size(), &request, nullptr);
  return request;
}

std::string FirstMatchValue(const Json::Value& param) {
  return param["_multimatchinfo"]["datalist"][0]["match_value"].asString();
}

}  // namespace

ScriptedService::ScriptedService() {
  for (Plugin plugin : kPlugins) {
    scripted::SetHandler(plugin, [this, plugin](const std::string& text) {
      std::lock_guard<std::mutex> lock(mutex_);
      queue_.emplace_back(plugin, text);
      wake_.notify_one();
    });
  }
  thread_ = std::thread([this] { Run(); });
}

ScriptedService::~ScriptedService() {
  for (Plugin plugin : kPlugins) scripted::SetHandler(plugin, nullptr);
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
  std::lock_guard<std::mutex> lock(mutex_);
  users_[account]["name"] = name;
  users_[account]["foreignName"] = foreignName;
}

void ScriptedService::SetGroup(const std::string& groupId, const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  groups_[groupId] = name;
}

std::vector<Json::Value> ScriptedService::Requests(Plugin plugin, int cmd) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<Json::Value> out;
  const auto found = requests_.find(plugin);
  if (found == requests_.end()) return out;
  for (const Json::Value& request : found->second) {
    if (cmd < 0 || request["cmd"].asInt() == cmd) out.push_back(request);
  }
  return out;
}

void ScriptedService::FailUploads(bool fail) {
  std::lock_guard<std::mutex> lock(mutex_);
  failUploads_ = fail;
}

void ScriptedService::KeepRequests(bool keep) {
  std::lock_guard<std::mutex> lock(mutex_);
  keepRequests_ = keep;
}

void ScriptedService::Run() {
  for (;;) {
    std::pair<Plugin, std::string> next;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
      if (queue_.empty()) return;
      next = std::move(queue_.front());
      queue_.pop_front();
    }
    Handle(next.first, ParseRequest(next.second));
  }
}

void ScriptedService::Handle(Plugin plugin, const Json::Value& request) {
  if (!request.isObject() || request["adapter"].asInt() != 1) return;  // host texts
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (keepRequests_) requests_[plugin].push_back(request);
  }
  const int cmd = request["cmd"].asInt();
  Json::Value answer(Json::objectValue);
  if (plugin == Plugin::kStore) answer = AnswerStore(request);
  answer["rsp"] = cmd;
  answer["sno"] = request["sno"];
  answer["result"] = 0;
  if (plugin == Plugin::kIm) answer["description"] = cmd == 135682 ? "GroupChatAck" : "UserChatAck";
  if (plugin == Plugin::kOffline && cmd == 37) answer["param"] = Json::Value(Json::objectValue);
  bool failUpload = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    failUpload = failUploads_;
  }
  if (plugin != Plugin::kOffline || cmd != 6 || failUpload) {
    Send(plugin, answer);
    return;
  }
  // An upload: the handle first, then the outcome with the new address.
  int handle = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    handle = nextHandle_++;
  }
  answer["param"]["pfile_handle"] = handle;
  Send(plugin, answer);
  Json::Value notification(Json::objectValue);
  notification["notify"] = 1;
  Json::Value& param = notification["param"];
  param["code"] = 1;
  param["file_handle"] = handle;
  param["filersp"]["status_code"] = 200;
  param["filersp"]["url"] = "https://new.example/f/up" + std::to_string(handle);
  param["filersp"]["plain_access_code"] = "pc" + std::to_string(handle);
  Send(plugin, notification);
}

Json::Value ScriptedService::AnswerStore(const Json::Value& request) {
  Json::Value answer(Json::objectValue);
  Json::Value& param = answer["param"] = Json::Value(Json::objectValue);
  const Json::Value& in = request["param"];
  std::lock_guard<std::mutex> lock(mutex_);
  switch (request["cmd"].asInt()) {
    case 57: {  // records by id
      Json::Value& list = param["_historyrecordlist"] = Json::Value(Json::arrayValue);
      std::istringstream ids(FirstMatchValue(in));
      for (std::string id; std::getline(ids, id, ',');) {
        const auto found = records_.find(id);
        if (found != records_.end()) list.append(found->second);
      }
      break;
    }
    case 54:  // add a record
      param["recordId"] = "rec" + std::to_string(nextRecordId_++);
      break;
    case 155: {  // a contact
      const auto found = users_.find(in["_matchinfo"]["accountid"].asString());
      if (found != users_.end()) param["UserInfo"] = found->second;
      break;
    }
    case 31: {  // a group
      const std::string id = FirstMatchValue(in);
      Json::Value& list = param["_groupinfolist"] = Json::Value(Json::arrayValue);
      const auto found = groups_.find(id);
      if (found != groups_.end()) {
        Json::Value& group = list.append(Json::Value(Json::objectValue));
        group["groupid"] = id;
        group["name"] = found->second;
      }
      break;
    }
    default:
      break;
  }
  return answer;
}

}  // namespace forward_test
