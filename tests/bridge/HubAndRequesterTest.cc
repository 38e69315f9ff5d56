// The callback hub (dispatch by serial number, notification code and upload
// handle), the synchronous request mechanism (waiting for one's own answer,
// time-outs, late answers) and the hub's task queue.
#include <stdexcept>

#include "adapter/src/bridge/ImAdapterNotify.h"
#include "adapter/src/bridge/TaskQueue.h"
#include "tests/bridge/FakePlugins.h"

namespace bridge_test {
namespace {

using std::chrono::milliseconds;
using Calls = std::vector<std::string>;

std::string Marker(const Json::Value& reply) {
  return reply.isObject() && reply["marker"].isString() ? reply["marker"].asString() : "";
}

// Handlers record "<tag>:<userValue>:<marker>"; they run on the hub thread and
// the test reads after DrainHub, so the record needs no lock.
class CallbackHubTest : public BridgeTest {
 protected:
  void SetUp() override {
    BridgeTest::SetUp();
    ImAdapterCallback& hub = ImAdapterCallback::Instance();
    hub.RegisterSnoCallback(40000, {11, Record("sno")});
    hub.RegisterNotifyCallback(77, [r = Record("notify77")](Json::Value& v) { r(0, v); });
    hub.RegisterNotifyCallback(0, [r = Record("notify0")](Json::Value& v) { r(0, v); });
    ImAdapterNotify::Instance().RegisterHandleCallback(7, {21, Record("handle")});
  }
  std::function<void(int32_t, Json::Value&)> Record(const std::string& tag) {
    return [seen = seen_, tag](int32_t user, Json::Value& reply) {
      seen->push_back(tag + ":" + std::to_string(user) + ":" + Marker(reply));
    };
  }
  void TearDown() override {
    ImAdapterCallback::Instance().RegisterNotifyCallback(0, nullptr);
    BridgeTest::TearDown();
  }
  Calls Take() {
    DrainHub();
    Calls out;
    out.swap(*seen_);
    return out;
  }

  std::shared_ptr<Calls> seen_ = std::make_shared<Calls>();
};

// The upload notification is registered again by a restart (stopping and
// starting twice is harmless); what is posted while stopped is the service test's.
TEST_F(CallbackHubTest, RoutesEachMessageToItsHandler) {
  ImAdapterCallback& hub = ImAdapterCallback::Instance();
  hub.RegisterNotifyCallback(ImAdapterCallback::kOffLineRspNotify, nullptr);
  hub.Stop();
  hub.Stop();
  hub.Start();
  hub.Start();
  const std::pair<const char*, Calls> cases[] = {
      // Answers go by "sno" when "rsp" is a non-zero unsigned number.
      {R"({"rsp": 5, "sno": 40000, "marker": "a"})", {"sno:11:a"}},
      {R"({"rsp": 5, "sno": 40000, "marker": "a"})", {"sno:11:a"}},  // twice: handled twice
      {R"({"rsp": 5, "sno": 40001, "marker": "b"})", {}},
      {R"({"rsp": 5, "marker": "c"})", {}},
      {R"({"rsp": 5, "sno": "40000", "marker": "d"})", {}},
      // Anything else is a notification, by "notify" (0 when absent).
      {R"({"rsp": 0, "notify": 77, "marker": "e"})", {"notify77:0:e"}},
      {R"({"notify": 77, "marker": "f"})", {"notify77:0:f"}},
      {R"({"rsp": -3, "sno": 40000, "marker": "g"})", {"notify0:0:g"}},
      {R"({"rsp": "5", "sno": 40000, "marker": "h"})", {"notify0:0:h"}},
      {R"({"notify": 78, "marker": "i"})", {}},
      // Upload results go on by file handle.
      {R"({"rsp": 0, "notify": 1, "param": {"file_handle": 7}, "marker": "j"})", {"handle:21:j"}},
      {R"({"notify": 1, "param": {"file_handle": 8}, "marker": "k"})", {}},
      {R"({"notify": 1, "marker": "l"})", {}},
      {R"({"notify": 1, "param": {"file_handle": "7"}, "marker": "m"})", {}},
      // Unparsable, empty and non-object texts are dropped.
      {"not json", {}},
      {"", {}},
      {"42", {}},
      {R"([1, 2])", {"notify0:0:"}},
  };
  for (const auto& [text, expected] : cases) {
    Answer(std::string(text));
    EXPECT_EQ(Take(), expected) << text;
  }
}

// Empty and throwing handlers do not stop the hub, a handler may register
// further callbacks, and registering a serial number again replaces its entry.
TEST_F(CallbackHubTest, HandlersThatFailOrRegisterLeaveTheHubRunning) {
  ImAdapterCallback& hub = ImAdapterCallback::Instance();
  hub.RegisterSnoCallback(40002, {1, nullptr});
  hub.RegisterSnoCallback(40003,
                          {1, [](int32_t, Json::Value&) { throw std::runtime_error("boom"); }});
  hub.RegisterSnoCallback(40004, {1, [](int32_t, Json::Value&) { throw 7; }});
  hub.RegisterSnoCallback(
      40005, {1, [this](int32_t, Json::Value&) {
                ImAdapterCallback::Instance().RegisterSnoCallback(40000, {12, Record("new")});
              }});
  for (int sno = 40002; sno <= 40005; ++sno) {
    Answer("{\"rsp\": 1, \"sno\": " + std::to_string(sno) + "}");
  }
  Answer(std::string(R"({"rsp": 1, "sno": 40000})"));
  EXPECT_EQ(Take(), Calls{"new:12:"});
}

const RequestKind kProbe = {"Probe::Ask", "Probe::AskSend",   "Probe::AskRsp",
                            kTargetStore, RequestPair::kMain, RequestWait::kStore};

void ProbeRsp(int32_t jsSno, Json::Value& answer) {
  PluginRequester::Instance().Deliver(kProbe, jsSno, answer);
}

// One blocking request of the probe kind, carrying `tag` in its "param".
RequestResult Ask(const std::string& tag) {
  return PluginRequester::Instance().Call(
      kProbe, SnoCallback{1, &ProbeRsp}, [&tag](const SnoCallback& callback) {
        Json::Value request(Json::objectValue);
        request["cmd"] = 99;
        request["description"] = "probe";
        request["param"]["tag"] = tag;
        return PluginRequester::Instance().Send(kProbe, request, callback);
      });
}

std::string TagOf(const RequestResult& result) {
  const Json::Value& param = result.answer["param"];
  return param.isObject() && param["tag"].isString() ? param["tag"].asString() : "<no tag>";
}

// Echoes the request's tag back.
Json::Value Echo(const Json::Value& request) { return AnswerTo(request, request["param"]); }

// Each answer comes after texts naming no request (the routing table covers
// the other malformed texts), with its serial number as a whole real, and is
// delivered twice: the repeat is dropped and does not reach the next request.
TEST_F(BridgeTest, RequestCarriesSerialNumberAndGetsItsOwnAnswer) {
  SetResponder(kTargetStore, [](const Json::Value& request) {
    for (const char* text : {"{\"rsp\": 1", "{\"rsp\": 1, \"sno\": -1}",
                             "{\"rsp\": 1, \"sno\": 1.5}", "{\"rsp\": 1, \"sno\": null}"}) {
      Answer(std::string(text));
    }
    Json::Value answer = Echo(request);
    answer["sno"] = request["sno"].asInt() + 0.0;
    Answer(answer);
    Answer(AnswerTo(request, Json::Value("duplicate")));
  });
  for (const std::string tag : {"a", "b"}) {
    RequestResult result = Ask(tag);
    ASSERT_TRUE(result.answered);
    EXPECT_EQ(TagOf(result), tag);
    const Json::Value request = Received(kTargetStore).back();
    EXPECT_EQ(request, ParseJson(R"({"adapter": 1, "cmd": 99, "description": "probe",
        "param": {"tag": ")" + tag +
                                 R"("}, "sno": )" + std::to_string(result.sno) + "}"));
  }
}

TEST_F(BridgeTest, LateAnswerIsNeverReadByALaterRequest) {
  hub_sync::SetTimeouts(milliseconds(100), milliseconds(100));
  RequestResult first = Ask("first");  // nobody answers in time
  ASSERT_FALSE(first.answered);
  EXPECT_TRUE(first.answer.isNull());
  const Json::Value firstRequest = Received(kTargetStore).at(0);

  // The late answer arrives before the next request: dropped.
  Answer(Echo(firstRequest));
  DrainHub();
  SetResponder(kTargetStore, [](const Json::Value& request) { Answer(Echo(request)); });
  RequestResult second = Ask("second");
  ASSERT_TRUE(second.answered);
  EXPECT_EQ(TagOf(second), "second");

  // The late answer arrives while the next request waits: it does not end it.
  SetResponder(kTargetStore, [firstRequest](const Json::Value&) { Answer(Echo(firstRequest)); });
  EXPECT_FALSE(Ask("third").answered);

  // A late answer followed by the right one: the right one is taken.
  SetResponder(kTargetStore, [firstRequest](const Json::Value& request) {
    Answer(Echo(firstRequest));
    Answer(Echo(request));
  });
  RequestResult fourth = Ask("fourth");
  ASSERT_TRUE(fourth.answered);
  EXPECT_EQ(TagOf(fourth), "fourth");
}

// Tasks run one at a time on the queue's worker and the test reads between
// latches, so the record needs no lock of its own. Each queue is declared
// last: its worker is joined first. Every task put is counted exactly once.
TEST(TaskQueueTest, RunsInOrderDropsWhileStoppedAndOnOverflowRefusesCloseFromATask) {
  Calls record;
  Latch running;
  Latch release;
  Latch done;
  TaskQueue queue("test", 3);
  queue.Put([&] { record.push_back("before start"); });  // stopped: dropped
  ASSERT_TRUE(queue.Start());
  queue.Put([&] {
    running.Open();
    release.WaitOpen();
    record.push_back("first");
  });
  ASSERT_TRUE(running.WaitOpen());
  // The worker is held in "first": three tasks fill the queue, the fourth
  // and fifth push the two oldest out.
  queue.Put([&] { record.push_back("pushed out 1"); });
  queue.Put([&] { record.push_back("pushed out 2"); });
  queue.Put([] { throw std::runtime_error("x"); });
  queue.Put([] { throw 1; });
  queue.Put([&] {
    record.push_back("last");
    done.Open();
  });
  EXPECT_EQ(queue.GetCounts().dropped, 3u);
  release.Open();
  ASSERT_TRUE(done.WaitOpen());
  EXPECT_EQ(record, (Calls{"first", "last"}));

  // Closed in the middle of a task: what waits is dropped, nothing is kept.
  Latch running2;
  Latch release2;
  queue.Put([&] {
    running2.Open();
    release2.WaitOpen();
  });
  ASSERT_TRUE(running2.WaitOpen());
  queue.Put([&] { record.push_back("dropped at close"); });
  std::thread closer([&] { queue.Close(); });
  // Close has to wait for the running task; let it go once Close is under way.
  while (!queue.Closing()) std::this_thread::yield();
  release2.Open();
  closer.join();
  ASSERT_TRUE(queue.Start());
  Latch after;
  queue.Put([&] {
    queue.Close();  // refused: it would join itself
    after.Open();
  });
  ASSERT_TRUE(after.WaitOpen());
  queue.Close();
  EXPECT_EQ(record, (Calls{"first", "last"}));
  const TaskQueue::Counts counts = queue.GetCounts();
  EXPECT_EQ(counts.run, 6u);
  EXPECT_EQ(counts.dropped, 4u);
  EXPECT_EQ(counts.waiting, 0u);
}

}  // namespace
}  // namespace bridge_test
