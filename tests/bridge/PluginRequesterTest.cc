// The synchronous request mechanism: serial numbers, waiting for one's own
// answer, time-outs and late answers.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "adapter/src/ImAdapterCallback.h"
#include "adapter/src/ImAdapterCmd.h"
#include "adapter/src/JsonText.h"
#include "adapter/src/PluginApi.h"
#include "adapter/src/PluginRequester.h"
#include "tests/bridge/FakePlugins.h"

namespace bridge_test {
namespace {

using std::chrono::milliseconds;

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

class PluginRequesterTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallFakePlugins(); }
  void TearDown() override { RemoveFakePlugins(); }

  static void ShortenTimeouts() { bridge_test::ShortenTimeouts(milliseconds(100)); }
};

TEST(SerialNumberTest, CyclesThrough32767To65535) {
  ImAdapterCmd& cmd = ImAdapterCmd::Instance();
  const int32_t first = cmd.NextSno();
  ASSERT_GE(first, 32767);
  ASSERT_LE(first, 65535);
  int32_t previous = first;
  for (int i = 1; i < 32769; ++i) {
    const int32_t sno = cmd.NextSno();
    ASSERT_EQ(sno, previous == 65535 ? 32767 : previous + 1);
    previous = sno;
  }
  EXPECT_EQ(cmd.NextSno(), first);  // 32769 numbers, then the cycle repeats
}

// Each answer is delivered twice: the repeat is dropped and does not reach the
// next request.
TEST_F(PluginRequesterTest, RequestCarriesSerialNumberAndRepeatedAnswerIsHarmless) {
  SetResponder(kTargetStore, [](const Json::Value& request) {
    Answer(Echo(request));
    Answer(AnswerTo(request, Json::Value("duplicate")));
  });
  for (const std::string tag : {"a", "b"}) {
    RequestResult result = Ask(tag);
    ASSERT_TRUE(result.answered);
    EXPECT_EQ(TagOf(result), tag);
    const Json::Value request = Received(kTargetStore).back();
    EXPECT_EQ(request["adapter"], Json::Value(1));
    EXPECT_EQ(request["sno"], Json::Value(result.sno));
    EXPECT_EQ(request["cmd"], Json::Value(99));
    EXPECT_EQ(request["description"], Json::Value("probe"));
  }
}

TEST_F(PluginRequesterTest, AnswerFromAnotherThreadEndsTheWait) {
  SetResponder(kTargetStore,
               [](const Json::Value& request) { Spawn([request] { Answer(Echo(request)); }); });
  RequestResult result = Ask("threaded");
  ASSERT_TRUE(result.answered);
  EXPECT_EQ(TagOf(result), "threaded");

  // Only "rsp" and "sno" route an answer; members of other types still reach the waiter.
  SetResponder(kTargetStore, [](const Json::Value& request) {
    Json::Value answer = AnswerTo(request, Json::Value(Json::arrayValue));
    answer["result"] = "not a number";
    Answer(answer);
  });
  result = Ask("typed");
  ASSERT_TRUE(result.answered);
  EXPECT_TRUE(result.answer["param"].isArray());
}

TEST_F(PluginRequesterTest, LateAnswerIsNeverReadByALaterRequest) {
  ShortenTimeouts();
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
  RequestResult third = Ask("third");
  EXPECT_FALSE(third.answered);

  // A late answer followed by the right one: the right one is taken.
  SetResponder(kTargetStore, [firstRequest](const Json::Value& request) {
    Answer(Echo(firstRequest));
    Answer(Echo(request));
  });
  RequestResult fourth = Ask("fourth");
  ASSERT_TRUE(fourth.answered);
  EXPECT_EQ(TagOf(fourth), "fourth");
}

TEST_F(PluginRequesterTest, MalformedAnswersDoNotEndTheWait) {
  ShortenTimeouts();
  const std::vector<std::string> garbage = {"",
                                            "garbage",
                                            "{\"rsp\": 1",
                                            "[]",
                                            "{\"rsp\": 1}",
                                            "{\"rsp\": 1, \"sno\": \"x\"}",
                                            "{\"rsp\": 1, \"sno\": -1}",
                                            "{\"rsp\": 1, \"sno\": 1.5}",
                                            "{\"rsp\": 1, \"sno\": null}"};
  SetResponder(kTargetStore, [&garbage](const Json::Value&) {
    for (const std::string& text : garbage) Answer(text);
  });
  EXPECT_FALSE(Ask("garbage only").answered);

  SetResponder(kTargetStore, [&garbage](const Json::Value& request) {
    for (const std::string& text : garbage) Answer(text);
    Json::Value answer = Echo(request);
    answer["sno"] = request["sno"].asInt() + 0.0;  // a whole real still names the request
    Answer(answer);
  });
  RequestResult result = Ask("after garbage");
  ASSERT_TRUE(result.answered);
  EXPECT_EQ(TagOf(result), "after garbage");
}

class PluginRequesterConcurrencyTest : public PluginRequesterTest {};

TEST_F(PluginRequesterConcurrencyTest, ForeignAnswersFromManyThreadsNeverWakeTheWrongWaiter) {
  constexpr int kNoiseThreads = 3;
  constexpr int kRequests = 20;
  constexpr int kFirstNoiseSno = 1000;
  constexpr int kNoiseSnos = kNoiseThreads * kRequests * 20;
  // The foreign answers run the probe's own handler, which must drop them.
  for (int sno = kFirstNoiseSno; sno < kFirstNoiseSno + kNoiseSnos; ++sno) {
    ImAdapterCallback::Instance().RegisterSnoCallback(sno, SnoCallback{1, &ProbeRsp});
  }
  auto noiseSno = std::make_shared<std::atomic<int>>(kFirstNoiseSno);
  SetResponder(kTargetStore, [noiseSno](const Json::Value& request) {
    // Several plugin threads flood the hub with answers to other serial
    // numbers; only once they are all posted is this request answered.
    auto posted = std::make_shared<std::atomic<int>>(0);
    auto allPosted = std::make_shared<Latch>();
    for (int t = 0; t < kNoiseThreads; ++t) {
      Spawn([noiseSno, request, posted, allPosted] {
        for (int i = 0; i < 20; ++i) {
          Json::Value foreign = AnswerTo(request, Json::Value("foreign"));
          foreign["sno"] = noiseSno->fetch_add(1);
          Answer(foreign);
        }
        if (posted->fetch_add(1) + 1 == kNoiseThreads) allPosted->Open();
      });
    }
    Spawn([request, allPosted] {
      allPosted->WaitOpen();
      Answer(Echo(request));
    });
  });
  for (int i = 0; i < kRequests; ++i) {
    RequestResult result = Ask("r" + std::to_string(i));
    ASSERT_TRUE(result.answered) << i;
    ASSERT_EQ(TagOf(result), "r" + std::to_string(i));
  }
}

}  // namespace
}  // namespace bridge_test
