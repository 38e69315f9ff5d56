// The real shared library driven through its exports, with scripted plugins.
#include <gtest/gtest.h>
#include <json/json.h>

#include <cstdio>
#include <set>
#include <string>

#include "im_adapter/im_adapter.h"
#include "tests/support/ScriptedPlugins.h"

extern "C" int im_adapter_c_header_check(void);

namespace {

using scripted::Plugin;

class ExportsTest : public ::testing::Test {
 protected:
  void SetUp() override { scripted::Reset(); }
  void TearDown() override {
    IMAdapterShutDown();
    for (char* msg = nullptr; IMAdapterSendMsgExportTimeout(&msg, 0);) IMAdapterFreeMsg(msg);
  }
};

TEST(Exports, ExactlySevenFunctionsLeaveTheLibrary) {
  const std::string library = IM_ADAPTER_LIBRARY_PATH;
  if (library.size() > 4 && library.compare(library.size() - 4, 4, ".dll") == 0) {
    GTEST_SKIP() << "the Windows build checks its exports with objdump in its build script";
  }
  std::string command = "nm -D --defined-only " + library;
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> names;
  char line[512];
  while (std::fgets(line, sizeof line, pipe)) {
    char type = 0;
    char name[400] = {0};
    if (std::sscanf(line, "%*s %c %399s", &type, name) == 2) names.insert(name);
  }
  ASSERT_EQ(pclose(pipe), 0);
  EXPECT_EQ(names,
            (std::set<std::string>{"IMAdapterDispatchMsg", "IMAdapterFreeMsg",
                                   "IMAdapterSendMsgExport", "IMAdapterSendMsgExportTimeout",
                                   "IMAdapterSetLog", "IMAdapterShutDown", "IMAdapterStartup"}));
}

TEST(Exports, PublicHeadersCompileAsC) { EXPECT_EQ(im_adapter_c_header_check(), 0); }

// The exports reach the plugin libraries; routing and the order of the calls
// are the service test's, and the forwarding tests use every plugin through them.
TEST_F(ExportsTest, StartupAndShutDownReachThePlugins) {
  scripted::SetStartupResult(11);
  EXPECT_EQ(IMAdapterStartup(), 11);
  for (Plugin p : {Plugin::kIm, Plugin::kStore, Plugin::kOffline}) {
    EXPECT_EQ(scripted::CallbackRegistrations(p), 1);
  }
  scripted::SetShutdownResult(-3);
  EXPECT_EQ(IMAdapterShutDown(), -3);
  EXPECT_EQ(scripted::ShutdownCount(), 1);
}

TEST_F(ExportsTest, PullWithTimeoutReturnsFalseAndNullWhenNothingComes) {
  char* msg = reinterpret_cast<char*>(0x1);
  EXPECT_FALSE(IMAdapterSendMsgExportTimeout(&msg, 10));
  EXPECT_EQ(msg, nullptr);
  EXPECT_FALSE(IMAdapterSendMsgExportTimeout(nullptr, 10));
  EXPECT_FALSE(IMAdapterSendMsgExport(nullptr));
  IMAdapterFreeMsg(nullptr);
  IMAdapterDispatchMsg(nullptr, 10, 5);
  IMAdapterDispatchMsg("{}", 0, 5);
  EXPECT_EQ(IMAdapterSetLog(nullptr), 1);
  EXPECT_EQ(IMAdapterSetLog(""), 1);
}

TEST_F(ExportsTest, AFullOutboundQueueHoldsTheServiceBackAndNothingIsLost) {
  IMAdapterStartup();
  const int kRequests = 1100;  // more than the 1024 the outbound queue holds
  for (int i = 0; i < kRequests; ++i) {
    const std::string request = "{\"cmd\":3,\"sno\":" + std::to_string(i) +
                                ",\"param\":{\"currentTimestamp\":\"1\",\"msgList\":[]}}";
    IMAdapterDispatchMsg(request.c_str(), static_cast<uint32_t>(request.size()), 5);
  }
  for (int i = 0; i < kRequests; ++i) {
    char* msg = nullptr;
    ASSERT_TRUE(IMAdapterSendMsgExport(&msg));
    Json::Value reply;
    Json::Reader().parse(msg, reply);
    IMAdapterFreeMsg(msg);
    ASSERT_EQ(reply["sno"].asInt(), i);
  }
}

}  // namespace
