// Commands 4 and 5 driven through the command processor, with real files in
// scratch folders: progress, stop, conflicts, plan and parameter checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "adapter/src/migration/MigrationCommands.h"
#include "adapter/src/migration/MigrationServices.h"
#include "adapter/src/migration/fileMigrationWorker.h"
#include "platform/Platform.h"
#include "tests/migration/MigrationHarness.h"
#include "tests/support/HubSync.h"

namespace {

using migtest::CollectRun;
using migtest::ContentFor;
using migtest::FileNames;
using migtest::MakeFiles;
using migtest::Next;
using migtest::ReadFile;
using migtest::RunLog;
using migtest::Send;
using migtest::StartRequest;
using std::chrono::milliseconds;

constexpr milliseconds kWait(20000);
constexpr size_t kSmall = 64;

class MigrationCommandTest : public ::testing::Test {
 protected:
  void SetUp() override { Settle(); }
  void TearDown() override {
    for (hub_sync::Latch& point : open_) point.Open();
    fileMigrationWorker::migrationFileShutdown();
    Settle();
  }
  // No run left, no test hook set, nothing waiting for the host.
  static void Settle() {
    EXPECT_TRUE(WaitForMigrationThreadsFor(kWait));
    MigrationServices::SetFileObserverForTest(nullptr);
    MigrationServices::SetRunObserverForTest(nullptr);
    MigrationServices::SetDiskQueriesForTest(nullptr, nullptr);
    MigrationServices::SetReceivedFileQuery(nullptr);
    migtest::DrainOutbound();
  }
  // Paths of a picture migration: <root>/old/ReceiveFiles/<folder> → <root>/new/...
  std::string OldPictures(const std::string& folder) const {
    return root_.path() + "/old/ReceiveFiles/" + folder;
  }
  std::string NewPictures(const std::string& folder) const {
    return root_.path() + "/new/ReceiveFiles/" + folder;
  }
  RunLog RunPictures() {
    Start("/old", "/new");
    return CollectRun();
  }

  // Holds every run at its first and at its second handled file: reached_[n]
  // opens when a run gets there, and the run goes on once the test opens open_[n].
  void HoldAtFirstFiles() {
    MigrationServices::SetFileObserverForTest([this](uint32_t done) {
      if (done != 1 && done != 2) return;
      reached_[done].Open();
      open_[done].WaitOpen();
    });
  }
  void Start(const std::string& from, const std::string& to, int type = 0) {
    Send(StartRequest(root_.path() + from, root_.path() + to, type));
  }
  static void Stop() { migtest::SendText(R"({"cmd":5,"sno":51})"); }

  migtest::ScratchDir root_;
  hub_sync::Latch reached_[3], open_[3];
};

// A reply's envelope in one line: "rsp result sno description param", where a
// missing member shows as "-".
std::string Envelope(const Json::Value& reply) {
  std::string text;
  for (const char* key : {"rsp", "result", "sno", "description", "param"}) {
    const Json::Value& value = reply[key];
    text += !reply.isMember(key) ? "-" : value.isNull() ? "null" : value.asString();
    text += key[0] == 'p' ? "" : " ";
  }
  return text;
}

void ExpectFinish(const RunLog& log, int errorCount) {
  ASSERT_EQ(log.status.size(), 1u);
  EXPECT_EQ(log.status[0]["status"].asString(), "finish");
  EXPECT_EQ(log.status[0]["errorCount"].asInt(), errorCount);
}

// ---- progress ---------------------------------------------------------------

TEST_F(MigrationCommandTest, ProgressComesOncePerWholePercentAndNeverAt100) {
  const struct {
    int files;
    size_t notifications;
    // curCount → the "percent" sent with it ("" = nothing sent for that file).
    // The percentage is the truncated double product, so 29 of 100 is 28.
    std::map<int, std::string> points;
  } cases[] = {
      {200, 99, {{0, ""}, {1, ""}, {2, "1"}, {58, ""}, {59, "29"}, {198, "99"}, {199, ""}}},
      {50, 49, {{0, ""}, {1, "2"}, {2, "4"}, {29, "57"}, {30, "60"}, {49, "98"}}},
      {100, 97, {{0, ""}, {1, "1"}, {28, "28"}, {29, ""}, {30, "30"}, {57, ""}, {99, "99"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.files);
    std::filesystem::remove_all(root_.path() + "/new");
    const std::vector<std::string> names = MakeFiles(OldPictures("Audio"), c.files, kSmall);
    RunLog log = RunPictures();
    ASSERT_FALSE(log.replies.empty());
    EXPECT_EQ(Envelope(log.replies.front()), "4 0 41 migrationFileStartup null");
    ExpectFinish(log, 0);
    EXPECT_EQ(log.progress.size(), c.notifications);
    std::map<int, std::string> sent;
    int lastPercent = 0;
    for (const Json::Value& p : log.progress) {
      const int percent = std::stoi(p["percent"].asString());
      EXPECT_TRUE(percent > lastPercent && percent < 100) << percent;
      lastPercent = percent;
      sent[p["curCount"].asInt()] = p["percent"].asString();
      EXPECT_EQ(p["fileName"].asString(), names.at(p["curCount"].asUInt()));
      EXPECT_EQ(p["totalCount"].asInt(), c.files);
      EXPECT_EQ(p["result"].asInt(), 0);
      EXPECT_EQ(p["errorType"].asString(), "move");
    }
    for (const auto& point : c.points) {
      EXPECT_EQ(sent[point.first], point.second) << "curCount " << point.first;
    }
    EXPECT_TRUE(FileNames(OldPictures("Audio")).empty());
    EXPECT_EQ(FileNames(NewPictures("Audio")), names);
  }
}

// ---- stop and overlapping runs ----------------------------------------------

// The run is claimed before command 4 replies: a command 5 right behind it
// stops the run before its first file, and a second command 4 is turned away
// (result 0, no thread). A run started while a stopped one still finishes its
// file, or one that reported "finish" still ends, waits for it.
TEST_F(MigrationCommandTest, RunsAreClaimedBeforeTheReplyAndNeverOverlap) {
  std::map<std::string, std::vector<std::string>> names;
  for (const char* run : {"/a", "/b", "/c"}) {
    names[run] = MakeFiles(root_.path() + run + "/ReceiveFiles/Audio", 4, kSmall);
  }
  const auto audio = [this](const char* run) {
    return FileNames(root_.path() + run + "/ReceiveFiles/Audio");
  };

  // Command 5 right behind command 4: the run is held in its plan (the volume
  // query) until the stop has been answered, and then moves nothing.
  std::promise<void> stopAnswered;
  std::shared_future<void> release = stopAnswered.get_future().share();
  MigrationServices::SetDiskQueriesForTest(
      [release](const std::string& path, std::string* volume) {
        release.wait_for(kWait);
        return platform::VolumeOf(path, volume);
      },
      nullptr);
  Start("/a", "/a2");
  Stop();
  std::vector<Json::Value> answered;
  while (answered.size() < 2) {
    const Json::Value message = Next(kWait);
    ASSERT_FALSE(message.isNull());
    if (message.isMember("rsp")) answered.push_back(message);
  }
  EXPECT_EQ(Envelope(answered[0]), "4 0 41 migrationFileStartup null");
  EXPECT_EQ(Envelope(answered[1]), "5 0 51 migrationFileShutdown null");
  stopAnswered.set_value();
  RunLog log = CollectRun();
  EXPECT_TRUE(log.replies.empty());
  ExpectFinish(log, 0);
  EXPECT_EQ(audio("/a"), names["/a"]);
  Settle();

  // Two commands 4 in a row, the second behind a stop of a run that still
  // moves its file.
  HoldAtFirstFiles();
  Start("/a", "/a2");
  Start("/c", "/c2");  // turned away: run a holds the claim
  ASSERT_TRUE(reached_[1].WaitOpen());
  ASSERT_TRUE(WaitForMigrationThreadsFor(kWait, 1));
  Stop();
  Start("/b", "/b2");  // claimed, but waits for run a
  EXPECT_EQ(audio("/b"), names["/b"]);
  open_[1].Open();
  ASSERT_TRUE(reached_[2].WaitOpen());  // run b, at its second file
  EXPECT_EQ(audio("/a"), std::vector<std::string>(names["/a"].begin() + 1, names["/a"].end()));
  open_[2].Open();
  log = CollectRun();  // both runs' statuses: it waits for every run's thread
  EXPECT_EQ(log.replies.size(), 4u);
  for (const Json::Value& reply : log.replies) EXPECT_EQ(reply["result"].asInt(), 0);
  EXPECT_EQ(log.status.size(), 2u);
  EXPECT_EQ(FileNames(root_.path() + "/b2/ReceiveFiles/Audio"), names["/b"]);
  EXPECT_EQ(audio("/c"), names["/c"]);

  // A command 4 sent on the "finish" of the run before, whose thread is held
  // after that report: the new run is not turned away, and waits for that
  // thread (which it lets go) before it moves anything.
  MigrationServices::SetRunObserverForTest([this](MigrationServices::RunPoint point) {
    if (point == MigrationServices::RunPoint::kWaitsForRunBefore) {
      open_[0].Open();
    } else if (!reached_[0].WaitOpen(milliseconds(0))) {  // the first run to end
      reached_[0].Open();
      EXPECT_TRUE(open_[0].WaitOpen()) << "the next run did not wait for this one";
    }
  });
  Start("/a", "/a2");
  ExpectFinish(CollectRun(/*waitForThreads=*/false), 0);
  Start("/c", "/c2");
  log = CollectRun();
  ExpectFinish(log, 0);
  EXPECT_EQ(FileNames(root_.path() + "/c2/ReceiveFiles/Audio"), names["/c"]);

  // With no run in progress a stop is answered and changes nothing.
  Stop();
  EXPECT_EQ(Next(kWait)["result"].asInt(), 0);
  EXPECT_TRUE(Next(milliseconds(0)).isNull());
}

// ---- conflicts and failures ---------------------------------------------------

// An existing destination file keeps both files and counts no error; a failed
// move is counted and leaves its source; the run goes on either way.
TEST_F(MigrationCommandTest, ConflictsAreKeptAndFailuresCounted) {
  MakeFiles(OldPictures("Audio"), 2, kSmall);  // f00000, f00001
  migtest::WriteFile(NewPictures("Audio") + "/f00001", "theirs");
  const std::vector<std::string> blocked = MakeFiles(OldPictures("ScreenShot"), 2, kSmall);
  migtest::WriteFile(NewPictures("ScreenShot"), "a file where the folder should be");
  RunLog log = RunPictures();
  ExpectFinish(log, 2);
  ASSERT_EQ(log.progress.size(), 3u);  // 25, 50 and 75 percent
  EXPECT_EQ(log.progress[0]["fileName"].asString(), "f00001");
  EXPECT_EQ(log.progress[0]["result"].asInt(), 183);
  EXPECT_NE(log.progress[1]["result"].asInt(), 0);
  EXPECT_NE(log.progress[2]["result"].asInt(), 0);
  EXPECT_EQ(ReadFile(NewPictures("Audio") + "/f00001"), "theirs");
  EXPECT_EQ(ReadFile(OldPictures("Audio") + "/f00001"), ContentFor("f00001", kSmall));
  EXPECT_EQ(ReadFile(NewPictures("Audio") + "/f00000"), ContentFor("f00000", kSmall));
  EXPECT_EQ(FileNames(OldPictures("ScreenShot")), blocked);
}

// ---- plan ---------------------------------------------------------------------

TEST_F(MigrationCommandTest, DestinationMustHoldTheFilesPlusTheMargin) {
  const struct {
    const char* name;
    bool volumeKnown;
    bool freeKnown;
    int64_t freeOffset;  // free bytes = total + margin + offset
    bool runs;
    const char* freeText;  // expected "freeSize" when the run fails ("" = not checked)
  } cases[] = {
      {"exactly enough", true, true, 0, true, ""},
      {"one byte short", true, true, -1, false, "0.20"},
      {"free space unreadable", true, false, 0, false, "0.00"},
      {"no volume", false, true, 0, false, "0.00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(root_.path() + "/new");
    MakeFiles(OldPictures("ScreenShot"), 3, 1000);
    const uint64_t total = 3000;
    MigrationServices::SetDiskQueriesForTest(
        [&c](const std::string& path, std::string* volume) {
          *volume = path.find("/new") != std::string::npos ? "B" : "A";
          return c.volumeKnown;
        },
        [&c, total](const std::string&, uint64_t* freeBytes) {
          *freeBytes = total + fileMigrationWorker::kDiskMargin + c.freeOffset;
          return c.freeKnown;
        });
    RunLog log = RunPictures();
    ASSERT_EQ(log.status.size(), 1u);
    if (c.runs) {
      ExpectFinish(log, 0);
      EXPECT_EQ(FileNames(NewPictures("ScreenShot")).size(), 3u);
      continue;
    }
    EXPECT_EQ(log.status[0]["status"].asString(), "failed");
    EXPECT_EQ(log.status[0]["originTotalSize"].asString(), "0.00");
    EXPECT_EQ(log.status[0]["freeSize"].asString(), c.freeText);
    EXPECT_TRUE(log.progress.empty());
    EXPECT_EQ(FileNames(OldPictures("ScreenShot")).size(), 3u);
  }
}

TEST_F(MigrationCommandTest, PictureFoldersMoveAndEverythingElseStays) {
  const char* const kFolders[] = {"Audio",     "botAvatar",        "FormImage",
                                  "headImage", "originalImgfiles", "qrCodeImage",
                                  "ScreenShot"};
  for (const char* folder : kFolders) {
    migtest::WriteFile(OldPictures(folder) + "/" + folder + ".bin", ContentFor(folder, 10));
  }
  migtest::WriteFile(OldPictures("Audio") + "/sub/inner", "deep");
  migtest::WriteFile(OldPictures("Other") + "/kept", "other folder");
  migtest::WriteFile(root_.path() + "/old/ReceiveFiles/loose", "loose");
  // Backslashes and a trailing separator, with the "ReceiveFiles" part given.
  std::string origin = root_.path() + "/old/ReceiveFiles/";
  std::replace(origin.begin(), origin.end(), '/', '\\');
  Send(StartRequest(origin, root_.path() + "/new", 0));
  RunLog log = CollectRun();
  ExpectFinish(log, 0);
  for (const char* folder : kFolders) {
    SCOPED_TRACE(folder);
    EXPECT_EQ(ReadFile(NewPictures(folder) + "/" + folder + ".bin"), ContentFor(folder, 10));
    EXPECT_TRUE(FileNames(OldPictures(folder)).empty());
  }
  EXPECT_EQ(ReadFile(OldPictures("Audio") + "/sub/inner"), "deep");
  EXPECT_FALSE(std::filesystem::exists(NewPictures("Audio") + "/sub"));
  EXPECT_EQ(ReadFile(OldPictures("Other") + "/kept"), "other folder");
  EXPECT_FALSE(std::filesystem::exists(NewPictures("Other")));
  EXPECT_EQ(ReadFile(root_.path() + "/old/ReceiveFiles/loose"), "loose");
}

// ---- the files folder and the store ------------------------------------------------

TEST_F(MigrationCommandTest, FilesFolderMovesOnlyTheStoresReceivedFiles) {
  const std::string origin = root_.path() + "/files";
  migtest::WriteFile(origin + "/f00001.png", "preview");
  migtest::WriteFile(origin + "/f00002.png", "preview of a type-1 record");
  migtest::WriteFile(origin + "/sub/deep", "in a sub-folder");
  // Without the store's answer nothing is known to be a received file.
  Start("/files", "/newfiles", 1);
  ExpectFinish(CollectRun(), 0);
  EXPECT_EQ(FileNames(origin).size(), 2u);
  MakeFiles(origin, 5001, 0);

  std::mutex lock;
  std::vector<size_t> batchSizes;
  std::multiset<std::string> asked;
  MigrationServices::SetReceivedFileQuery(
      [&](const std::vector<std::string>& fileNames, std::vector<ReceivedFileRecord>* records) {
        std::lock_guard<std::mutex> guard(lock);
        batchSizes.push_back(fileNames.size());
        asked.insert(fileNames.begin(), fileNames.end());
        for (const std::string& name : fileNames) {
          if (name == "f00001") records->push_back({name, 2});  // with its ".png"
          if (name == "f00002") records->push_back({name, 1});  // ".png" not its own
          if (name == "f00004") records->push_back({name, 2});  // no ".png" there
          if (name == "f05000") {
            records->push_back({name, 1});
            records->push_back({name, 1});         // named twice
            records->push_back({"../escape", 1});  // not a file of the folder
            records->push_back({"deep", 1});       // only in the sub-folder
          }
        }
      });
  Start("/files", "/newfiles", 7);  // any type but 0: files
  RunLog log = CollectRun();
  ExpectFinish(log, 0);

  EXPECT_EQ(batchSizes, (std::vector<size_t>{5000, 3}));
  EXPECT_EQ(asked.size(), 5003u);
  EXPECT_EQ(std::set<std::string>(asked.begin(), asked.end()).size(), 5003u);
  EXPECT_EQ(asked.count("sub"), 0u);
  const std::vector<std::string> moved = {"f00001", "f00001.png", "f00002", "f00004", "f05000"};
  EXPECT_EQ(FileNames(root_.path() + "/newfiles"), moved);
  EXPECT_EQ(FileNames(origin).size(), 5001u + 2 - 5);
  EXPECT_TRUE(std::filesystem::exists(origin + "/f00002.png"));
  EXPECT_EQ(ReadFile(origin + "/sub/deep"), "in a sub-folder");
  ASSERT_FALSE(log.progress.empty());
  EXPECT_EQ(log.progress.back()["totalCount"].asInt(), 5);
}

// ---- requests that move nothing ------------------------------------------------

// A parameter error is answered with result 1 after the start reply; a run whose
// origin is its destination finishes at once, without an error count (and so
// shows that "displayAccount" may be anything).
TEST_F(MigrationCommandTest, ParameterErrorsAndSamePathsMoveNothing) {
  const struct {
    const char* name;
    std::string origin;  // below the scratch root; a leading "\\" stands for "/"
    std::string destination;
    int type;
    const char* member;  // member to change ("" = none, "param" = the whole "param")
    Json::Value value;   // null: remove the member
  } cases[] = {
      {"param not an object", "/old", "/new", 0, "param", Json::Value("text")},
      {"origin missing", "/old", "/new", 0, "originReceiveFilesPath", Json::Value()},
      {"origin a number", "/old", "/new", 0, "originReceiveFilesPath", Json::Value(3)},
      {"destination not a string", "/old", "/new", 0, "destinationReceiveFilesPath", true},
      {"account missing", "/old", "/new", 0, "account", Json::Value()},
      {"type a text", "/old", "/new", 0, "migrationType", Json::Value("0")},
      {"type fractional", "/old", "/new", 0, "migrationType", Json::Value(1.5)},
      {"type missing", "/old", "/new", 0, "migrationType", Json::Value()},
      {"same path", "/files", "/files", 1, "", Json::Value()},
      {"same path, trailing separator", "/files", "/files/", 1, "", Json::Value()},
      {"same path, backslash", "\\files", "/files", 1, "", Json::Value()},
      {"same path, ReceiveFiles given", "/old/ReceiveFiles", "/old", 0, "", Json::Value()},
      {"displayAccount is not checked", "/files", "/files", 1, "displayAccount", Json::Value(12)},
  };
  MakeFiles(OldPictures("Audio"), 2, kSmall);
  MakeFiles(root_.path() + "/files", 2, kSmall);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string origin =
        c.origin[0] == '\\' ? root_.path() + "/" + c.origin.substr(1) : root_.path() + c.origin;
    Json::Value request = StartRequest(origin, root_.path() + c.destination, c.type);
    Json::Value& target = std::string(c.member) == "param" ? request : request["param"];
    if (c.value.isNull()) {
      target.removeMember(c.member);  // "" removes nothing
    } else {
      target[c.member] = c.value;
    }
    Send(request);
    std::string seen;
    for (int i = 0; i < 2; ++i) {
      const Json::Value message = Next(kWait);
      const Json::Value& status = message["param"]["status"];
      seen += message.isMember("rsp") ? Envelope(message) + "|" : status.asString() + "|";
      seen += message["param"].isMember("errorCount") ? "counted|" : "";
    }
    const bool refused = *c.member != '\0' && std::string(c.member) != "displayAccount";
    EXPECT_EQ(seen, std::string("4 0 41 migrationFileStartup null|") +
                        (refused ? "4 1 41 im_http_migration_files -|" : "finish|"));
    ASSERT_TRUE(WaitForMigrationThreadsFor(kWait));
    EXPECT_TRUE(Next(milliseconds(0)).isNull());
  }
  EXPECT_EQ(FileNames(OldPictures("Audio")).size(), 2u);
  EXPECT_EQ(FileNames(root_.path() + "/files").size(), 2u);
}

}  // namespace
