// The stand-in offline-file service driven through its entry points; links
// with a set expiry are laid in through the service class.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "im_adapter/im_plugin.h"
#include "plugins/hostlink/StandInHost.h"
#include "plugins/standin/StandInOfflineFile.h"
#include "tests/standin/StandInRecorder.h"

namespace {

namespace fs = std::filesystem;
using standin_test::Received;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Json::Value UploadParam(const std::string& path, const std::string& name) {
  Json::Value param;
  param["up_file_info"]["file_path"] = path;
  param["up_file_info"]["file_name"] = name;
  param["up_file_info"]["delete_file"] = true;
  return param;
}

Json::Value LinkParam(const std::string& code) {
  Json::Value param;
  param["link_code"] = code;
  param["access_code"] = "1234";
  return param;
}

class OfflineFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = standin_test::FreshFolderForTest();
    StandInSetOption("IM_CLOUD_DIR", (dir_ + "/cloud").c_str());
    file_ = dir_ + "/photo.png";
    std::ofstream(file_, std::ios::binary) << "\x89PNG fake picture bytes";
  }
  void TearDown() override { StandInSetOption("IM_CLOUD_DIR", nullptr); }

  standin_test::StandInRecorder recorder_{&OffLineSetAdapterCallback, &OffLineFileRecvMsgImport};
  std::string dir_;
  std::string file_;
};

// A query knows a link until it expires; a forward of an unknown link records it.
TEST_F(OfflineFileTest, LinksAreKnownUntilTheyExpireAndAForwardRecordsOne) {
  standin::StandInOfflineFile files;  // the same cloud folder as the plugin's
  std::string error;
  ASSERT_TRUE(files.AddLink("old", "1", 1000, &error)) << error;
  ASSERT_TRUE(files.AddLink("fresh", "1", 4102444800000LL, &error)) << error;
  const std::pair<const char*, int> cases[] = {{"old", 1}, {"fresh", 0}, {"unknown1", 1}};
  for (const auto& [code, result] : cases) {
    const Json::Value answer = recorder_.Ask(37, LinkParam(code));
    EXPECT_EQ(answer["result"].asInt(), result) << code;
    EXPECT_TRUE(answer["param"].isObject()) << code;
  }
  EXPECT_EQ(recorder_.Ask(40, LinkParam("unknown1"))["result"].asInt(), 0);
  EXPECT_EQ(recorder_.Ask(40, LinkParam("unknown1"))["result"].asInt(), 0) << "a second forward";
  EXPECT_EQ(recorder_.Ask(37, LinkParam("unknown1"))["result"].asInt(), 0);
}

TEST_F(OfflineFileTest, BadRequestsGetAFailureWithAReasonAndNoNotification) {
  const Json::Value none(Json::objectValue);
  const struct {
    const char* name;
    int cmd;
    Json::Value param;
  } cases[] = {{"no param", 6, Json::Value()},
               {"no up_file_info", 6, none},
               {"unreadable file", 6, UploadParam(dir_ + "/missing.bin", "missing.bin")},
               {"no link code to update", 40, none},
               {"no link code to query", 37, none},
               {"unknown cmd", 12, none}};
  for (const auto& c : cases) {
    const Json::Value answer = recorder_.Ask(c.cmd, c.param);
    EXPECT_EQ(answer["result"].asInt(), 1) << c.name;
    EXPECT_FALSE(answer["reason"].asString().empty()) << c.name;
    EXPECT_TRUE(answer["param"].isObject()) << c.name;
  }
  // In order: the last request is answered, so no notification came before it.
  for (const Received& r : recorder_.Snapshot()) EXPECT_FALSE(r.json.isMember("notify"));
}

// Uploads from several threads: each is answered with a handle of its own
// before its one notification, which carries a link to a copy of the file.
TEST_F(OfflineFileTest, UploadsAnswerAHandleThenNotifyOnceWithALink) {
  const size_t kAll = 40;
  std::vector<std::thread> senders;
  for (int t = 0; t < 4; ++t) {
    senders.emplace_back([this, t] {
      for (int n = 0; n < 10; ++n) {
        recorder_.Send(
            standin_test::Request(6, UploadParam(file_, "photo.png"), 36000 + 10 * t + n));
      }
    });
  }
  for (std::thread& sender : senders) sender.join();
  ASSERT_TRUE(recorder_.WaitForCount(2 * kAll)) << "one answer and one notification each";
  std::set<int> handles;
  std::map<int, int> notifications;
  std::string code;
  for (const Received& r : recorder_.Snapshot()) {
    const Json::Value& param = r.json["param"];
    if (!r.json.isMember("notify")) {
      EXPECT_EQ(r.json["result"].asInt(), 0);
      handles.insert(param["pfile_handle"].asInt());
      continue;
    }
    EXPECT_EQ(handles.count(param["file_handle"].asInt()), 1u) << "the handle comes first";
    ++notifications[param["file_handle"].asInt()];
    EXPECT_EQ(param["code"].asInt(), 0);
    EXPECT_EQ(param["filersp"]["status_code"].asInt(), 200);
    EXPECT_FALSE(param["filersp"]["plain_access_code"].asString().empty());
    const std::string url = param["filersp"]["url"].asString();
    ASSERT_NE(url.find("/f/"), std::string::npos);
    code = url.substr(url.rfind("/f/") + 3);
  }
  EXPECT_EQ(handles.size(), kAll);
  EXPECT_EQ(notifications.size(), handles.size());
  for (const auto& entry : notifications) EXPECT_EQ(entry.second, 1) << entry.first;
  EXPECT_EQ(ReadAll(fs::path(dir_) / "cloud" / "files" / code / "photo.png"), ReadAll(file_));
  EXPECT_TRUE(fs::exists(file_)) << "the user's file stays";
  EXPECT_EQ(recorder_.Ask(37, LinkParam(code))["result"].asInt(), 0);
}

}  // namespace
