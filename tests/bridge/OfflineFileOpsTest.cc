// The offline-file requests: link codes, expiry answers, link updates and
// upload batches whose notifications come in every order, late or never.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "adapter/src/OfflineFileOps.h"
#include "adapter/src/PluginApi.h"
#include "adapter/src/PluginRequester.h"
#include "tests/bridge/FakePlugins.h"

namespace bridge_test {
namespace {

using std::chrono::milliseconds;

Json::Value UploadAnswer(const Json::Value& request, int handle) {
  Json::Value param(Json::objectValue);
  param["pfile_handle"] = handle;
  return AnswerTo(request, param);
}

Json::Value UploadNotification(int handle) {
  Json::Value notification(Json::objectValue);
  notification["notify"] = 1;
  notification["param"]["code"] = 0;
  notification["param"]["file_handle"] = handle;
  notification["param"]["filersp"]["status_code"] = 200;
  notification["param"]["filersp"]["url"] = "https://cloud/f/code" + std::to_string(handle);
  notification["param"]["filersp"]["plain_access_code"] = "ac" + std::to_string(handle);
  return notification;
}

std::vector<FileListItem> Entries(int count) {
  std::vector<FileListItem> entries(count);
  for (int i = 0; i < count; ++i) {
    entries[i].file_name = "f" + std::to_string(i) + ".png";
    entries[i].file_path = "/data/f" + std::to_string(i) + ".png";
    entries[i].um_url = "https://old/f/old" + std::to_string(i);
    entries[i].expire = 1;
  }
  return entries;
}

class OfflineFileOpsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallFakePlugins();
    // A lost notification fails a batch after 3 s instead of the shipped quiet
    // time; requests keep their shipped time-outs.
    RequestTimeouts timeouts;
    timeouts.uploadQuiet = milliseconds(3000);
    PluginRequester::SetTimeoutsForTesting(timeouts);
  }
  void TearDown() override { RemoveFakePlugins(); }
  static void ShortenTimeouts(milliseconds quiet = milliseconds(150)) {
    bridge_test::ShortenTimeouts(milliseconds(80), quiet);
  }

  // Checks that results are the entries named by index, uploaded under the
  // handles given, with their new links.
  static void ExpectUploaded(const std::vector<FileListItem>& results,
                             const std::vector<int>& indexes, const std::vector<int>& handles) {
    ASSERT_EQ(results.size(), indexes.size());
    for (size_t i = 0; i < results.size(); ++i) {
      const std::string h = std::to_string(handles[i]);
      EXPECT_EQ(results[i].file_name, "f" + std::to_string(indexes[i]) + ".png");
      EXPECT_EQ(results[i].file_handle, handles[i]);
      EXPECT_EQ(results[i].um_url, "https://cloud/f/code" + h);
      EXPECT_EQ(results[i].um_plain_access_code, "ac" + h);
      EXPECT_EQ(results[i].expire, 0u);
    }
  }

  // Handles given out by the fake offline-file plugin, first 101.
  int NextHandle() { return nextHandle_.fetch_add(1); }
  std::atomic<int> nextHandle_{101};
};

// The link code is the text after the last "/f/"; an answer means "expired"
// unless it has an object "param" and a "result" of 0 (or none); only an
// unsigned "pfile_handle" in "param" is a handle.
TEST(OfflineAnswerTest, LinkCodesExpiryAndHandles) {
  // clang-format off
  const std::pair<const char*, const char*> links[] = {{"https://host/f/abc", "abc"},
      {"https://host/f/abc/f/def", "def"}, {"https://host/f/", ""}, {"", ""},
      {"https://host/share/abc", "https://host/share/abc"}, {"/f/x?y=1", "x?y=1"}};
  const std::pair<const char*, bool> expiry[] = {{R"({"param": {}, "result": 0})", false},
      {R"({"param": {}})", false}, {R"({"param": {}, "result": 3})", true},
      {R"({"param": {}, "result": -1})", true}, {R"({"param": {}, "result": "0"})", true},
      {R"({"result": 0})", true}, {R"({"param": [], "result": 0})", true},
      {R"({"param": "x", "result": 0})", true}};
  const std::pair<const char*, int32_t> handles[] = {{R"({"param": {"pfile_handle": 7}})", 7},
      {R"({"param": {"pfile_handle": 0}})", 0}, {R"({"param": {"pfile_handle": -7}})", -1},
      {R"({"param": {"pfile_handle": "7"}})", -1}, {R"({"param": {}})", -1},
      {R"({"pfile_handle": 7})", -1}};
  // clang-format on
  for (const auto& [url, code] : links)
    EXPECT_EQ(OfflineFileOps::ExtractLinkCode(url), code) << url;
  for (const auto& [answer, expired] : expiry) {
    EXPECT_EQ(OfflineFileOps::KelmarCheckMediaIsExpire(ParseJson(answer)), expired) << answer;
  }
  for (const auto& [answer, handle] : handles) {
    EXPECT_EQ(OfflineFileOps::GetFileHandle(ParseJson(answer)), handle) << answer;
  }
}

TEST_F(OfflineFileOpsTest, CheckMediaExpireAsksByLinkCode) {
  FileListItem entry;
  entry.um_url = "https://host/f/LINK";
  entry.um_plain_access_code = "PW";
  // {plugin answers, its "result", expired}; a silent plugin means expired.
  const std::tuple<bool, int, bool> cases[] = {{true, 0, false}, {true, 3, true}, {false, 0, true}};
  for (const auto& [answers, result, expired] : cases) {
    if (!answers) ShortenTimeouts();
    SetResponder(kTargetOfflineFile, [answers = answers, result = result](const Json::Value& r) {
      if (answers) Answer(AnswerTo(r, Json::Value(Json::objectValue), result));
    });
    EXPECT_EQ(OfflineFileOps::Instance().CheckMediaExpire(2, entry), expired) << result;
    const Json::Value request = Received(kTargetOfflineFile).back();
    EXPECT_EQ(request["cmd"], Json::Value(37));
    EXPECT_EQ(request["description"], Json::Value("zeb_offlinefile_query_info_by_link_code"));
    EXPECT_EQ(request["param"], ParseJson(R"({"link_code": "LINK", "access_code": "PW"})"));
  }
}

TEST_F(OfflineFileOpsTest, ForwardFileLinkUpdateSendsTheCodesAndReturnsEitherWay) {
  FileListItem entry;
  entry.um_url = "https://host/f/A/f/B";
  entry.um_plain_access_code = "";
  SetResponder(kTargetOfflineFile, [](const Json::Value& request) {
    Answer(AnswerTo(request, Json::Value(Json::objectValue), 5));
  });
  OfflineFileOps::Instance().ForwardFileLinkUpdate(1, entry);
  ShortenTimeouts();
  SetResponder(kTargetOfflineFile, nullptr);
  OfflineFileOps::Instance().ForwardFileLinkUpdate(1, entry);
  const std::vector<Json::Value> requests = Received(kTargetOfflineFile);
  ASSERT_EQ(requests.size(), 2u);
  for (const Json::Value& request : requests) {
    EXPECT_EQ(request["cmd"], Json::Value(40));
    EXPECT_EQ(request["description"], Json::Value("zeb_offlinefile_forward_file_link_update"));
    EXPECT_EQ(request["param"], ParseJson(R"({"link_code": "B", "access_code": ""})"));
  }
}

TEST_F(OfflineFileOpsTest, UploadRequestCarriesTheFullUploadInfo) {
  SetResponder(kTargetOfflineFile,
               [](const Json::Value& request) { Answer(UploadAnswer(request, 55)); });
  FileListItem entry = Entries(1)[0];
  EXPECT_EQ(OfflineFileOps::Instance().UploadFileProc(1, entry, true, false), 55);
  const Json::Value request = Received(kTargetOfflineFile).back();
  EXPECT_EQ(request["cmd"], Json::Value(6));
  EXPECT_EQ(request["description"], Json::Value("zeb_offlinefile_uploadfile"));
  EXPECT_EQ(request["param"]["up_file_info"], ParseJson(R"({
      "delete_file": true, "file_type": "", "file_name": "f0.png", "resume_down_url": "",
      "resume_file_id": "", "resume_md5": "", "resume_up_url": "", "resume_signature": "",
      "use_svn_file": false, "operation_token": "", "group_id": "",
      "public_share_link": 1, "is_cross_instance": 0, "file_path": "/data/f0.png"})"));
  EXPECT_EQ(OfflineFileOps::UploadFileInfo(entry, false, true)["is_cross_instance"],
            Json::Value(1));
}

TEST_F(OfflineFileOpsTest, NotificationRightAfterItsAnswerIsNeverLost) {
  // The plugin reports each upload immediately after answering it, on the
  // same thread, before the requesting thread has even woken up.
  SetResponder(kTargetOfflineFile, [this](const Json::Value& request) {
    const int handle = NextHandle();
    Answer(UploadAnswer(request, handle));
    Answer(UploadNotification(handle));
  });
  std::vector<FileListItem> results;
  OfflineFileOps::Instance().UploadFile(9, Entries(3), &results, false, false);
  ExpectUploaded(results, {0, 1, 2}, {101, 102, 103});
}

TEST_F(OfflineFileOpsTest, NotificationsAfterTheLastAnswerInAnyOrder) {
  std::vector<int> given;
  SetResponder(kTargetOfflineFile, [this, &given](const Json::Value& request) {
    given.push_back(NextHandle());
    Answer(UploadAnswer(request, given.back()));
  });
  std::vector<FileListItem> results;
  std::thread service(
      [&results] { OfflineFileOps::Instance().UploadFile(9, Entries(3), &results, false, false); });
  ASSERT_TRUE(WaitForRequests(kTargetOfflineFile, 3));
  DrainHub();  // every answer handled: the service thread now waits for notifications
  Answer(UploadNotification(103));
  Answer(UploadNotification(101));
  Answer(UploadNotification(102));
  service.join();
  ExpectUploaded(results, {0, 1, 2}, {101, 102, 103});
}

TEST_F(OfflineFileOpsTest, FailedUploadsAndLostNotificationsAreLeftOut) {
  ShortenTimeouts();
  // Request 2 gets no answer, request 4 an answer without a handle. Of the
  // accepted uploads, 103 never reports and 104 reports malformed (both left
  // out after the quiet time); 105 reports a failure code without a link,
  // which still counts as done and clears the link.
  std::atomic<int> calls{0};
  SetResponder(kTargetOfflineFile, [this, &calls](const Json::Value& request) {
    const int call = ++calls;
    if (call == 2) return;
    if (call == 4) return Answer(AnswerTo(request, ParseJson(R"({"pfile_handle": "x"})")));
    const int handle = NextHandle();
    Answer(UploadAnswer(request, handle));
    Json::Value notification = UploadNotification(handle);
    if (handle == 104) notification["param"]["filersp"] = "not an object";
    if (handle == 105) {
      notification["param"]["filersp"].removeMember("url");
      notification["param"]["filersp"]["plain_access_code"] = 5;  // not a text
      notification["param"]["code"] = 9;
    }
    if (handle != 103) Answer(notification);
  });
  std::vector<FileListItem> results(7);
  OfflineFileOps::Instance().UploadFile(9, Entries(7), &results, false, false);
  ASSERT_EQ(results.size(), 3u);
  ExpectUploaded({results[0], results[1]}, {0, 2}, {101, 102});
  EXPECT_EQ(results[2].file_name, "f6.png");
  EXPECT_EQ(results[2].file_handle, 105);
  EXPECT_EQ(results[2].um_url + results[2].um_plain_access_code, "");
  EXPECT_EQ(results[2].expire, 0u);
}

TEST_F(OfflineFileOpsTest, EveryRequestTimingOutGivesNothingAtOnce) {
  // The notification wait must not add its quiet time when nothing was accepted.
  ShortenTimeouts(std::chrono::hours(1));
  std::vector<FileListItem> results(2);
  OfflineFileOps::Instance().UploadFile(9, Entries(3), &results, false, false);
  EXPECT_TRUE(results.empty());
  EXPECT_EQ(Received(kTargetOfflineFile).size(), 3u);
}

class OfflineFileOpsConcurrencyTest : public OfflineFileOpsTest {};

TEST_F(OfflineFileOpsConcurrencyTest, NotificationsRaceTheirAnswersFromPluginThreads) {
  auto handles = std::make_shared<std::atomic<int>>(101);
  // Each upload is answered and reported from a plugin thread of its own,
  // while the requesting thread may still be waking up or sending the next one.
  SetResponder(kTargetOfflineFile, [handles](const Json::Value& request) {
    const int handle = handles->fetch_add(1);
    Spawn([request, handle] {
      Answer(UploadAnswer(request, handle));
      Answer(UploadNotification(handle));
    });
  });
  for (int batch = 0; batch < 30; ++batch) {
    std::vector<FileListItem> results;
    OfflineFileOps::Instance().UploadFile(9, Entries(3), &results, false, false);
    ASSERT_EQ(results.size(), 3u) << batch;
    for (const FileListItem& result : results) {
      ASSERT_EQ(result.um_url, "https://cloud/f/code" + std::to_string(result.file_handle));
    }
  }
}

}  // namespace
}  // namespace bridge_test
