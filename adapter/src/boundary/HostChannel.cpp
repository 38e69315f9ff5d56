#include "adapter/src/boundary/HostChannel.h"

#include "adapter/src/boundary/JsonText.h"

namespace {

// The "rsp" of a reply: the request's "cmd" as a command number, or 0 when
// it has none that converts.
uint32_t ReplyCommand(const Json::Value& request) {
  const Json::Value* cmd = FindMember(request, "cmd");
  uint32_t number = 0;
  return (cmd != nullptr && ReadCommandNumber(*cmd, &number)) ? number : 0;
}

Json::Value ReplyEnvelope(int result, const RequestEnvelope& request,
                          const std::string& defaultDescription) {
  Json::Value reply(Json::objectValue);
  reply["description"] = request.hasDescription ? request.description : defaultDescription;
  reply["rsp"] = request.cmd;
  reply["result"] = result;
  if (request.hasSno) reply["sno"] = request.sno;
  return reply;
}

}  // namespace

bool ReadCommandNumber(const Json::Value& cmd, uint32_t* out) {
  if (cmd.isNull()) {
    *out = 0;
    return true;
  }
  if (cmd.isBool()) {
    *out = cmd.asBool() ? 1u : 0u;
    return true;
  }
  if (!cmd.isNumeric() || !cmd.isConvertibleTo(Json::uintValue)) return false;
  *out = cmd.asUInt();
  return true;
}

RequestEnvelope RequestEnvelope::Read(const Json::Value& request) {
  RequestEnvelope envelope;
  envelope.cmd = ReplyCommand(request);
  const Json::Value* sno = FindMember(request, "sno");
  if (sno != nullptr && IsUInt32(*sno)) {
    envelope.hasSno = true;
    envelope.sno = sno->asUInt();
  }
  envelope.hasDescription = ReadTextMember(request, "description", &envelope.description);
  return envelope;
}

HostChannel& HostChannel::Instance() {
  // Never destroyed: threads may still use it while the process ends.
  static HostChannel* const instance = new HostChannel();
  return *instance;
}

int32_t HostChannel::NextSno() {
  int32_t current = sno_.load();
  int32_t next = 0;
  do {
    next = current < 65535 ? current + 1 : 32767;
  } while (!sno_.compare_exchange_weak(current, next));
  return next;
}

void HostChannel::PostJson(const Json::Value& value) {
  const std::string text = StyledJsonText(value);
  queues_.PostToHost(text.data(), text.size());
}

void HostChannel::SendRspToHost(int result, const Json::Value& param,
                                const RequestEnvelope& request,
                                const std::string& defaultDescription) {
  Json::Value reply = ReplyEnvelope(result, request, defaultDescription);
  reply["param"] = param;
  PostJson(reply);
}

void HostChannel::SendRspToHostLending(int result, Json::Value* param,
                                       const RequestEnvelope& request,
                                       const std::string& defaultDescription) {
  Json::Value reply = ReplyEnvelope(result, request, defaultDescription);
  Json::Value& slot = reply["param"];
  slot.swap(*param);
  PostJson(reply);
  slot.swap(*param);
}

void HostChannel::SendResultToHost(int result, const RequestEnvelope& request,
                                   const std::string& defaultDescription) {
  PostJson(ReplyEnvelope(result, request, defaultDescription));
}

void HostChannel::SendAppendMsgNotify(Json::Value param) {
  Json::Value notify(Json::objectValue);
  notify["description"] = "AppendMsgNotify";
  notify["notify"] = kAppendMsgNotify;
  notify["param"].swap(param);
  PostJson(notify);
}

void HostChannel::SendMigrationProgressNotify(const Json::Value& param) {
  Json::Value notify(Json::objectValue);
  notify["description"] = "MIGRATIONFILE_E_EVT_PROG_RESULT";
  notify["notify"] = kMigrationProgressNotify;
  notify["param"] = param;
  PostJson(notify);
}
