#include "host/src/DemoRunner.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "im_adapter/im_adapter.h"

namespace host {
namespace {

const int kReplyWaitSeconds = 60;
const int kBarWidth = 30;

std::string OneLine(const Json::Value& value) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  builder["emitUTF8"] = true;
  return Json::writeString(builder, value);
}

bool IsNotification(const Json::Value& text, const char* description) {
  return text.isMember("notify") && text["description"].asString() == description;
}

// A short line for one record of a reply's record list.
std::string RecordLine(const Json::Value& record) {
  std::string text = record["showtext"].asString();
  if (text.empty()) text = "(media type " + std::to_string(record["mediatype"].asInt()) + ")";
  if (text.size() > 48) text = text.substr(0, 45) + "...";
  return "record " + record["recordid"].asString() + " to " + record["convid"].asString() +
         ", msg " + record["clientmessageid"].asString() + ": " + text;
}

void DrawBar(const Json::Value& param) {
  const int percent = std::atoi(param["percent"].asCString());
  const int filled = percent * kBarWidth / 100;
  std::printf("\r    [%s%s] %3d%% %u/%u %-24.24s", std::string(filled, '#').c_str(),
              std::string(kBarWidth - filled, '.').c_str(), percent, param["curCount"].asUInt(),
              param["totalCount"].asUInt(), param["fileName"].asCString());
  std::fflush(stdout);
}

}  // namespace

DemoRunner::DemoRunner(const std::string& dir, const DemoSeed& seed, bool json)
    : dir_(dir), seed_(seed), json_(json) {}

std::vector<StepOutcome> DemoRunner::RunAll() {
  std::vector<StepOutcome> steps;
  steps.push_back(Forward());
  steps.push_back(Combine());
  steps.push_back(Limit());
  steps.push_back(Migrate());
  return steps;
}

int DemoRunner::Send(int cmd, const std::string& description, const Json::Value& param) {
  Json::Value request;
  request["cmd"] = cmd;
  request["sno"] = ++sno_;
  request["description"] = description;
  request["param"] = param;
  const std::string text = OneLine(request);
  IMAdapterDispatchMsg(text.data(), static_cast<uint32_t>(text.size()), 5);
  return sno_;
}

bool DemoRunner::Next(int waitSeconds, Json::Value* text) {
  std::string raw;
  if (!puller_.Next(std::chrono::seconds(waitSeconds), &raw)) return false;
  Json::CharReaderBuilder builder;
  std::string errors;
  std::istringstream in(raw);
  if (!Json::parseFromStream(builder, in, text, &errors)) {
    std::fprintf(stderr, "im_adapter_host: the adapter sent a text that is not JSON: %.200s\n",
                 raw.c_str());
    *text = Json::Value();
  }
  lastRaw_ = raw;
  return true;
}

void DemoRunner::Show(const Json::Value& text, const std::string& raw) {
  if (json_) {
    std::printf("%s\n", raw.c_str());
    return;
  }
  if (IsNotification(text, "AppendMsgNotify")) {
    std::printf(
        "  sent %-40s result %d%s\n", text["param"]["clientMsgId"].asCString(),
        text["param"]["result"].asInt(),
        text["param"]["result"].asInt() == 0
            ? (", server id " + text["param"]["serverMsgId"].asString()).c_str()
            : (", " + text["param"]["resultDes"].asString() + text["param"]["reason"].asString())
                  .c_str());
  } else if (text.isMember("rsp")) {
    std::printf("  reply sno %d: result %d%s\n", text["sno"].asInt(), text["result"].asInt(),
                text["param"]["reason"].isString()
                    ? (" (" + text["param"]["reason"].asString() + ")").c_str()
                    : "");
  } else {
    std::printf("  %s\n", OneLine(text).c_str());
  }
}

bool DemoRunner::WaitReply(int sno, StepOutcome* step, Json::Value* reply) {
  Json::Value text;
  while (Next(kReplyWaitSeconds, &text)) {
    if (!text.isMember("rsp") || text["sno"].asInt() != sno) {
      Show(text, lastRaw_);
      continue;
    }
    *reply = text;
    step->answered = true;
    step->result = text["result"].asInt();
    step->reason = text["param"]["reason"].asString();
    Show(text, lastRaw_);
    return true;
  }
  std::fprintf(stderr, "im_adapter_host: no reply to %s within %d s\n", step->name.c_str(),
               kReplyWaitSeconds);
  return false;
}

void DemoRunner::WaitSent(int count, StepOutcome* step) {
  Json::Value text;
  while (step->notifications < count && Next(kReplyWaitSeconds, &text)) {
    if (IsNotification(text, "AppendMsgNotify")) ++step->notifications;
    Show(text, lastRaw_);
  }
  step->complete = step->notifications >= count;
  if (!step->complete) {
    std::fprintf(stderr, "im_adapter_host: %s: %d of %d send notifications came\n",
                 step->name.c_str(), step->notifications, count);
  }
}

Json::Value DemoRunner::ForwardParam(const std::vector<std::string>& ids) const {
  Json::Value param;
  for (const std::string& id : ids) param["msgIdList"].append(id);
  param["userAccount"] = DemoSeed::kMe;
  param["isEnglish"] = 1;
  param["defaultImagePath"] = seed_.ReceiveFiles();
  param["defaultFilePath"] = seed_.ReceiveFiles() + "/FilesPath";
  param["publicShareLink"] = 0;
  param["isCrossInstance"] = false;
  param["isOnlySaveLocal"] = 0;
  return param;
}

StepOutcome DemoRunner::Forward() {
  StepOutcome step;
  step.name = "command 1 (forward one by one)";
  step.cmd = 1;
  const DemoMessages& m = seed_.Messages();
  std::printf("\n[command 1] forward %zu messages of the conversation with %s to group %s\n",
              m.All().size(), DemoSeed::kPeer, DemoSeed::kGroup);
  Json::Value param = ForwardParam(m.All());
  param["groupId"] = DemoSeed::kGroup;
  Json::Value reply;
  if (!WaitReply(Send(1, "MsgForwardOneByOne", param), &step, &reply)) return step;
  const Json::Value& list = reply["param"]["newMsgList"];
  if (step.result != 0 || !list.isArray()) {
    step.complete = true;
    return step;
  }
  if (!json_) {
    for (const Json::Value& record : list) std::printf("    new %s\n", RecordLine(record).c_str());
  }
  WaitSent(static_cast<int>(list.size()), &step);
  return step;
}

StepOutcome DemoRunner::Combine() {
  StepOutcome step;
  step.name = "command 2 (combine and forward)";
  step.cmd = 2;
  const DemoMessages& m = seed_.Messages();
  std::printf("\n[command 2] merge 3 messages into one card for %s\n", DemoSeed::kOther);
  Json::Value param = ForwardParam({m.text, m.picture, m.card});
  param["receiverAccount"] = DemoSeed::kOther;
  param["imWindowId"] = "demo-window-1";
  Json::Value reply;
  if (!WaitReply(Send(2, "MsgCombineAndForward", param), &step, &reply)) return step;
  if (step.result != 0) {
    step.complete = true;
    return step;
  }
  if (!json_) std::printf("    new %s\n", RecordLine(reply["param"]["newMsg"]).c_str());
  WaitSent(1, &step);
  return step;
}

StepOutcome DemoRunner::Limit() {
  StepOutcome step;
  step.name = "command 3 (group chat sending limit)";
  step.cmd = 3;
  std::printf(
      "\n[command 3] six messages in the same second to a group whose flow limit is 3"
      " (five a minute), then one a minute later\n");
  const char* stamps[] = {"1700000000000", "1700000000100", "1700000000200", "1700000000300",
                          "1700000000400", "1700000000500", "1700000060401"};
  int answered = 0;
  for (const char* stamp : stamps) {
    Json::Value param;
    param["currentTimestamp"] = stamp;
    param["msgList"][0]["groupId"] = DemoSeed::kGroup;
    param["msgList"][0]["flowLimitCount"] = 3;
    const int sno = Send(3, "CheckIsExceedSendingLimit", param);
    Json::Value text;
    bool got = false;
    while (!got && Next(kReplyWaitSeconds, &text)) {
      got = text.isMember("rsp") && text["sno"].asInt() == sno;
      if (!got || json_) {
        Show(text, lastRaw_);
        continue;
      }
      const Json::Value& item = text["param"]["msgList"][0];
      std::printf("    t=%s result %d: %s\n", stamp, text["result"].asInt(),
                  item["isSendMsg"].asBool() ? "may send" : "refused");
      if (answered == 0) step.result = text["result"].asInt();
    }
    if (!got) break;
    ++answered;
  }
  step.answered = step.complete = answered == static_cast<int>(sizeof stamps / sizeof *stamps);
  return step;
}

StepOutcome DemoRunner::Migrate() {
  StepOutcome step;
  step.name = "command 4 (received-files migration)";
  step.cmd = 4;
  const std::string destination = dir_ + "/NewLocation/ReceiveFiles";
  std::printf("\n[command 4] move the picture folders to %s\n", destination.c_str());
  Json::Value param;
  param["originReceiveFilesPath"] = seed_.ReceiveFiles();
  param["destinationReceiveFilesPath"] = destination;
  param["displayAccount"] = "Alice";
  param["account"] = DemoSeed::kMe;
  param["migrationType"] = 0;
  Json::Value reply;
  const int sno = Send(4, "migrationFileStartup", param);
  if (!WaitReply(sno, &step, &reply)) return step;
  if (step.result != 0) {
    step.complete = true;
    return step;
  }
  Json::Value text;
  while (Next(kReplyWaitSeconds, &text)) {
    if (text.isMember("rsp") && text["sno"].asInt() == sno) {  // a parameter error comes late
      step.result = text["result"].asInt();
      Show(text, lastRaw_);
      step.complete = true;
      return step;
    }
    if (!IsNotification(text, "MIGRATIONFILE_E_EVT_PROG_RESULT")) {
      Show(text, lastRaw_);
      continue;
    }
    ++step.notifications;
    const Json::Value& p = text["param"];
    if (json_) {
      Show(text, lastRaw_);
    } else if (p["notifyType"].asString() == "progressNotify") {
      DrawBar(p);
    }
    if (p["notifyType"].asString() != "statusNotify") continue;
    if (!json_) {
      std::printf("\n    migration %s", p["status"].asCString());
      if (p.isMember("errorCount")) std::printf(", %d errors", p["errorCount"].asInt());
      if (p.isMember("freeSize")) {
        std::printf(" (needs %s GB, %s GB free)", p["originTotalSize"].asCString(),
                    p["freeSize"].asCString());
      }
      std::printf("\n");
    }
    if (p["status"].asString() != "finish") step.result = 1;
    step.complete = true;
    return step;
  }
  std::fprintf(stderr, "\nim_adapter_host: the migration did not report its end\n");
  return step;
}

bool DemoRunner::WriteSummary(const std::vector<StepOutcome>& steps) const {
  Json::Value summary;
  summary["dir"] = dir_;
  for (const StepOutcome& s : steps) {
    Json::Value step;
    step["name"] = s.name;
    step["cmd"] = s.cmd;
    step["answered"] = s.answered;
    step["complete"] = s.complete;
    step["result"] = s.result;
    step["reason"] = s.reason;
    step["notifications"] = s.notifications;
    summary["steps"].append(step);
  }
  std::ofstream out(dir_ + "/demo_summary.json", std::ios::trunc);
  out << summary.toStyledString();
  return out.good();
}

}  // namespace host
