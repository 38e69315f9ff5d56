#include "plugins/standin/StandInImService.h"

#include <chrono>
#include <exception>

#include "plugins/common/StandInJson.h"
#include "plugins/common/StandInSettings.h"

namespace standin {
namespace {

const char kOutboxSchema[] =
    "CREATE TABLE IF NOT EXISTS outbox(id INTEGER PRIMARY KEY AUTOINCREMENT, cmd INTEGER NOT NULL,"
    " client_msg_id TEXT, server_msg_id TEXT, sender TEXT, receiver TEXT, group_id TEXT,"
    " content_type INTEGER, content TEXT, server_send_time TEXT, request TEXT NOT NULL);"
    "CREATE INDEX IF NOT EXISTS outbox_client_id ON outbox(client_msg_id);";

int64_t NowMillis() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// The chat's client message id: the request's, else the chat item's "msgId".
std::string ClientMsgId(const Json::Value& param) {
  const std::string id = TextMember(param, "clientMsgId");
  return id.empty() ? TextMember(param["chatInfo"], "msgId") : id;
}

Json::Value ChatAnswer(const Json::Value& request, int32_t result, const std::string& reason) {
  Json::Value answer = MakeAnswer(request, result, reason);
  answer.removeMember("param");
  answer["description"] = RequestCmd(request) == kCmdGroupChat ? "GroupChatAck" : "UserChatAck";
  return answer;
}

}  // namespace

std::string StandInImService::FailMode() { return Setting("IM_STANDIN_FAIL", ""); }

bool StandInImService::Handle(const Json::Value& request, const std::string& fail,
                              Json::Value* answer) {
  if (fail == "silent") return false;
  try {
    const int32_t cmd = RequestCmd(request);
    if (cmd != kCmdUserChat && cmd != kCmdGroupChat) {
      *answer = MakeAnswer(request, 1, "unknown cmd " + std::to_string(cmd));
    } else if (fail == "error") {
      *answer =
          ChatAnswer(request, 1, "the IM service refused the message (IM_STANDIN_FAIL=error)");
      (*answer)["clientMsgId"] = ClientMsgId(request["param"]);
    } else {
      *answer = Chat(request);
    }
  } catch (const std::exception& e) {
    *answer = MakeAnswer(request, 1, std::string("request failed: ") + e.what());
  }
  return true;
}

bool StandInImService::EnsureOpen(std::string* error) {
  const std::string path = Setting("IM_STORE_DB", "im_store.db");
  if (db_.IsOpen() && db_.Path() == path) return true;
  if (!db_.Open(path, error)) return false;
  if (db_.Exec(kOutboxSchema, error)) return true;
  db_.Close();
  return false;
}

bool StandInImService::StoreOutbox(const Json::Value& request, const std::string& clientMsgId,
                                   const std::string& serverMsgId, const std::string& sendTime,
                                   std::string* error) {
  if (!EnsureOpen(error)) return false;
  StandInStatement insert = db_.Prepare(
      "INSERT INTO outbox(cmd, client_msg_id, server_msg_id, sender, receiver, group_id,"
      " content_type, content, server_send_time, request) VALUES(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10)",
      error);
  if (!insert.Valid()) return false;
  const Json::Value& chat = request["param"]["chatInfo"];
  insert.BindInt(1, RequestCmd(request));
  insert.BindText(2, clientMsgId);
  insert.BindText(3, serverMsgId);
  insert.BindText(4, TextMember(chat, "userAccount"));
  insert.BindText(5, TextMember(chat, "receiverAccount"));
  insert.BindText(6, TextMember(chat, "groupId"));
  insert.BindInt(7, chat["chatContentType"].isInt() ? chat["chatContentType"].asInt() : -1);
  insert.BindText(8, TextMember(chat, "content"));
  insert.BindText(9, sendTime);
  insert.BindText(10, WriteCompact(request));
  if (insert.Step() == 0) return true;
  *error = "cannot write the outbox: " + db_.LastError();
  return false;
}

Json::Value StandInImService::Chat(const Json::Value& request) {
  const Json::Value& param = request["param"];
  const std::string clientMsgId = ClientMsgId(param);
  if (!param.isObject() || !param["chatInfo"].isObject()) {
    Json::Value answer = ChatAnswer(request, 1, "chatInfo is missing");
    answer["clientMsgId"] = clientMsgId;
    return answer;
  }
  const int64_t now = NowMillis();
  const std::string sendTime = std::to_string(now);
  const std::string serverMsgId = "S" + sendTime + "-" + std::to_string(++counter_);
  std::string error;
  if (!StoreOutbox(request, clientMsgId, serverMsgId, sendTime, &error)) {
    Json::Value answer = ChatAnswer(request, 1, error);
    answer["clientMsgId"] = clientMsgId;
    return answer;
  }
  Json::Value answer = ChatAnswer(request, 0, "");
  answer["clientMsgId"] = clientMsgId;
  answer["serverMsgId"] = serverMsgId;
  answer["serverSendTime"] = sendTime;
  return answer;
}

}  // namespace standin
