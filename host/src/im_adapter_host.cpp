// im_adapter_host: a reference host program for the adapter.
//
//   im_adapter_host demo [--dir DIR] [--json]
//       Sets the log folder to DIR/log, starts the adapter and runs a short
//       scenario of commands, printing a readable summary of every reply (the
//       raw JSON with --json). Exits 0 only when every step got its answer.
//   im_adapter_host send [--target N] [--wait SECONDS] [FILE|-]
//       Dispatches each JSON line of FILE (standard input for "-" or no FILE)
//       to target N (5 by default), prints every outbound text as one JSON
//       line, and exits when a reply has come for each target-5 line or after
//       the wait (10 s by default).
#include <json/json.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host/src/HostOptions.h"
#include "im_adapter/im_adapter.h"

namespace {

using Clock = std::chrono::steady_clock;

// One outbound text, parsed; false when nothing arrived within the wait.
bool PullJson(uint32_t waitMs, Json::Value* out, std::string* raw) {
  char* msg = nullptr;
  if (!IMAdapterSendMsgExportTimeout(&msg, waitMs)) return false;
  raw->assign(msg);
  IMAdapterFreeMsg(msg);
  Json::CharReaderBuilder builder;
  std::string errors;
  std::istringstream in(*raw);
  return Json::parseFromStream(builder, in, out, &errors);
}

std::string OneLine(const Json::Value& v) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  builder["emitUTF8"] = true;
  return Json::writeString(builder, v);
}

void Dispatch(const std::string& text, uint32_t target) {
  IMAdapterDispatchMsg(text.data(), static_cast<uint32_t>(text.size()), target);
}

// A readable line for a command-3 reply.
void PrintLimitReply(const Json::Value& reply) {
  std::printf("  reply sno=%u result=%d\n", reply["sno"].asUInt(), reply["result"].asInt());
  const Json::Value& list = reply["param"]["msgList"];
  for (Json::ArrayIndex i = 0; list.isArray() && i < list.size(); ++i) {
    std::printf("    group %-10s limit %2d -> %s\n", list[i]["groupId"].asCString(),
                list[i]["flowLimitCount"].asInt(),
                list[i]["isSendMsg"].asBool() ? "may send" : "refused");
  }
}

int RunDemo(const host::Options& options) {
  if (!host::PrepareDemoFolder(options.dir)) return 2;
  const std::string logDir = options.dir + "/log";
  if (IMAdapterSetLog(logDir.c_str()) != 0) {
    std::fprintf(stderr, "im_adapter_host: cannot open the log in %s\n", logDir.c_str());
    return 2;
  }
  std::printf("im_adapter demo: log folder %s\n", logDir.c_str());
  std::printf("IMAdapterStartup -> %d\n", IMAdapterStartup());

  // Group chat sending limit: six messages in the same second to a group whose
  // flow limit is 3 (five per minute), then one a minute later.
  std::printf("\n[command 3] group chat sending limit\n");
  const char* stamps[] = {"1700000000000", "1700000000100", "1700000000200", "1700000000300",
                          "1700000000400", "1700000000500", "1700000060401"};
  int answered = 0;
  const int kSteps = static_cast<int>(sizeof stamps / sizeof stamps[0]);
  for (int i = 0; i < kSteps; ++i) {
    Json::Value request;
    request["cmd"] = 3;
    request["sno"] = i + 1;
    request["description"] = "CheckIsExceedSendingLimit";
    request["param"]["currentTimestamp"] = stamps[i];
    request["param"]["msgList"][0]["groupId"] = "team-42";
    request["param"]["msgList"][0]["flowLimitCount"] = 3;
    Dispatch(OneLine(request), 5);
    Json::Value reply;
    std::string raw;
    if (!PullJson(5000, &reply, &raw)) {
      std::fprintf(stderr, "im_adapter_host: no reply to step %d\n", i + 1);
      break;
    }
    ++answered;
    if (options.json) {
      std::printf("%s", raw.c_str());
    } else {
      std::printf("  t=%s", stamps[i]);
      PrintLimitReply(reply);
    }
  }
  std::printf("\nIMAdapterShutDown -> %d\n", IMAdapterShutDown());
  const bool ok = answered == kSteps;
  std::printf("%s: %d of %d steps answered\n", ok ? "demo finished" : "demo FAILED", answered,
              kSteps);
  return ok ? 0 : 1;
}

int RunSend(const host::Options& options) {
  std::vector<std::string> lines;
  if (!host::ReadJsonLines(options.input, &lines)) return 2;
  IMAdapterStartup();
  int expected = 0;
  for (const std::string& line : lines) {
    Dispatch(line, options.target);
    if (options.target == 5) ++expected;
  }
  const auto deadline = Clock::now() + std::chrono::seconds(options.waitSeconds);
  int replies = 0;
  while (Clock::now() < deadline && (expected == 0 || replies < expected)) {
    Json::Value text;
    std::string raw;
    if (!PullJson(100, &text, &raw)) continue;
    std::printf("%s\n", OneLine(text).c_str());
    std::fflush(stdout);
    if (text.isMember("rsp")) ++replies;
  }
  IMAdapterShutDown();
  if (expected > 0 && replies < expected) {
    std::fprintf(stderr, "im_adapter_host: %d of %d replies came within %d s\n", replies, expected,
                 options.waitSeconds);
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  host::Options options;
  std::string error;
  if (!host::ParseOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "im_adapter_host: %s\n%s", error.c_str(), host::Usage());
    return 2;
  }
  if (options.command == "demo") return RunDemo(options);
  if (options.command == "send") return RunSend(options);
  std::printf("%s", host::Usage());
  return options.command == "help" ? 0 : 2;
}
