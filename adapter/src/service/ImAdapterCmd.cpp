#include "adapter/src/service/ImAdapterCmd.h"

#include <algorithm>
#include <exception>
#include <string>
#include <utility>

#include "adapter/src/boundary/JsonText.h"
#include "adapter/src/boundary/OperationTrace.h"
#include "adapter/src/dialogs/imAdapterSaveAs.h"
#include "adapter/src/forward/ForwardCommands.h"
#include "adapter/src/migration/MigrationCommands.h"
#include "log/AdapterLog.h"

namespace {

const char kProcessRecvMsg[] = "ImAdapterCmd::ProcessRecvMsg";

using Handler = void (ImAdapterCmd::*)(Json::Value&);

struct CommandRow {
  uint32_t cmd;
  Handler handler;
};

// The command table: each command number and the member that runs it.
// Scanned in order; rows 0 and 8 have no handler.
const CommandRow kCommandTable[] = {
    {0, nullptr},
    {1, &ImAdapterCmd::MsgForwardOneByOne},
    {2, &ImAdapterCmd::MsgCombineAndForward},
    {3, &ImAdapterCmd::CheckIsExceedSendingLimit},
    {4, &ImAdapterCmd::migrationFileStartup},
    {5, &ImAdapterCmd::migrationFileShutdown},
    {6, &ImAdapterCmd::OpenSaveFileDialog},
    {7, &ImAdapterCmd::OpenChoosePathDialog},
    {8, nullptr},
};

// value as compact JSON on one line, cut to at most maxBytes.
std::string OneLineJson(const Json::Value& value, size_t maxBytes) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  std::string text = Json::writeString(builder, value);
  // Texts are written with their control characters escaped; no line break
  // is left but a trailing one.
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text.substr(0, maxBytes);
}

// text on one log line: a host may send its JSON over several lines, and
// line breaks between JSON tokens are blanks like any other.
std::string OneLineText(const char* text) {
  std::string line(text);
  std::replace_if(
      line.begin(), line.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  return line;
}

}  // namespace

ImAdapterCmd& ImAdapterCmd::Instance() {
  // Never destroyed: threads may still use it while the process ends.
  static ImAdapterCmd* const instance = new ImAdapterCmd();
  return *instance;
}

ImAdapterCmd::ImAdapterCmd() = default;

void ImAdapterCmd::ProcessRecvMsg(const char* text) {
  OperationTrace trace(kProcessRecvMsg);
  try {
    if (text != nullptr) IMLOG(kLogDbg, kProcessRecvMsg, "input: " + OneLineText(text));
    Json::Value request;
    if (ParseJsonText(text, request) != 0) {
      IMLOG(kLogErr, kProcessRecvMsg, "json parse failed");
      return;
    }
    if (!request.isObject()) {
      // It parsed (an array): a request is an object all the same.
      IMLOG(kLogErr, kProcessRecvMsg, "request is not a json object");
      return;
    }
    uint32_t full = 0;
    if (!ReadCommandNumber(request["cmd"], &full)) {
      IMLOG(kLogErr, kProcessRecvMsg, "invalid cmd: " + OneLineJson(request["cmd"], 64));
      return;
    }
    const uint32_t cmd = full & 0xFFFFu;
    IMLOG(kLogInf, kProcessRecvMsg, "cmd: " + std::to_string(cmd));
    if (cmd < 1 || cmd > 7) {
      IMLOG(kLogErr, kProcessRecvMsg, "invalid cmd: " + std::to_string(cmd));
      return;
    }
    for (const CommandRow& row : kCommandTable) {
      if (row.cmd == cmd && row.handler != nullptr) (this->*row.handler)(request);
    }
  } catch (const std::exception& e) {
    IMLOG(kLogErr, kProcessRecvMsg, std::string("command failed, exception: ") + e.what());
  } catch (...) {
    IMLOG(kLogErr, kProcessRecvMsg, "command failed, unknown exception");
  }
}

void ImAdapterCmd::MsgForwardOneByOne(Json::Value& request) {
  RunMsgForwardOneByOne(channel_, request);
}

void ImAdapterCmd::MsgCombineAndForward(Json::Value& request) {
  RunMsgCombineAndForward(channel_, request);
}

void ImAdapterCmd::CheckIsExceedSendingLimit(Json::Value& request) {
  sendingLimit_.Run(channel_, request);
}

void ImAdapterCmd::migrationFileStartup(Json::Value& request) {
  RunMigrationFileStartup(channel_, request);
}

void ImAdapterCmd::migrationFileShutdown(Json::Value& request) {
  RunMigrationFileShutdown(channel_, request);
}

void ImAdapterCmd::OpenSaveFileDialog(Json::Value& request) {
  RunOpenSaveFileDialog(channel_, request);
}

void ImAdapterCmd::OpenChoosePathDialog(Json::Value& request) {
  RunOpenChoosePathDialog(channel_, request);
}
