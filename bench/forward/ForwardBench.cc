// Forwarding through the real library with scripted plugins that answer at
// once on their own thread, logging on at the adapter's threshold:
//   - command 1: 1,000 stored text messages forwarded one by one to a group,
//     timed from the request to the last "AppendMsgNotify" (target: at least
//     2,500 messages/s);
//   - command 2: 100 messages merged into one card and sent (target: under
//     50 ms per merge).
#include <benchmark/benchmark.h>
#include <json/json.h>

#include <memory>
#include <string>

#include "common/xml/XmlBuild.h"
#include "common/xml/XmlText.h"
#include "im_adapter/im_adapter.h"
#include "platform/Platform.h"
#include "tests/forward/ScriptedService.h"
#include "tests/util/ScratchFile.h"

namespace {

constexpr int kStored = 1000;

std::string Compact(const Json::Value& v) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  return Json::writeString(builder, v);
}

// The adapter with scripted plugins, 1,000 stored messages and an open log.
class Fixture {
 public:
  Fixture() {
    service_.KeepRequests(false);
    service_.SetUser("me", "me-name", "Me");
    service_.SetGroup("g1", "Group");
    const std::string now = std::to_string(platform::NowUnixMillis());
    for (int i = 0; i < kStored; ++i) {
      Json::Value r(Json::objectValue);
      r["servermessageid"] = "m" + std::to_string(i);
      r["convid"] = "conv";
      r["chattype"] = 1;
      r["groupid"] = "conv";
      r["originaccount"] = "alice";
      r["mediatype"] = 0;
      r["status"] = 1;
      r["utcstamp"] = now;
      r["timestamp"] = now;
      r["content"] = xml::Build(xml::XmlEscapeText("message text number " + std::to_string(i)),
                                "<p>message</p>", 0, false);
      service_.AddRecord(r);
    }
    IMAdapterSetLog(logs_.path().c_str());
    IMAdapterStartup();
  }
  ~Fixture() { IMAdapterShutDown(); }

  // Sends one request and takes the reply and `notifications` notifications.
  // False when a text does not come within 60 s.
  static bool RunCommand(int cmd, int count, int notifications) {
    Json::Value request(Json::objectValue);
    request["cmd"] = cmd;
    request["sno"] = 1;
    Json::Value& param = request["param"];
    for (int i = 0; i < count; ++i) param["msgIdList"].append("m" + std::to_string(i));
    param["userAccount"] = "me";
    param["groupId"] = "g1";
    const std::string text = Compact(request);
    IMAdapterDispatchMsg(text.c_str(), static_cast<uint32_t>(text.size()), 5);
    for (int i = 0; i < notifications + 1; ++i) {
      char* msg = nullptr;
      if (!IMAdapterSendMsgExportTimeout(&msg, 60000)) return false;
      IMAdapterFreeMsg(msg);
    }
    return true;
  }

 private:
  testfiles::ScratchDir logs_;
  forward_test::ScriptedService service_;
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

void BM_ForwardOneByOne1000ToGroup(benchmark::State& state) {
  Shared();
  for (auto _ : state) {
    if (!Fixture::RunCommand(1, kStored, kStored)) {
      state.SkipWithError("no answer in time");
      break;
    }
  }
  state.counters["messages/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kStored, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ForwardOneByOne1000ToGroup)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CombineAndForward100(benchmark::State& state) {
  Shared();
  for (auto _ : state) {
    if (!Fixture::RunCommand(2, 100, 1)) {
      state.SkipWithError("no answer in time");
      break;
    }
  }
}
BENCHMARK(BM_CombineAndForward100)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
