// The reference host's demo run against the real adapter and stand-in
// plugins, then the state it left: the store, the outbox, the picture links
// and the picture folders.
#include <gtest/gtest.h>
#include <json/json.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/standin/StandInRecorder.h"

namespace {

namespace fs = std::filesystem;

// One run of the demo, then what it left, command by command.
TEST(DemoEndToEnd, EveryCommandLandsAndLeavesItsRecordsMessagesAndPictures) {
  const std::string dir = standin_test::FreshFolder("demo") + "/run";
  std::string command = std::string("\"") + IM_ADAPTER_HOST_PATH + "\" demo --dir \"" + dir +
                        "\" > \"" + dir + ".out\" 2>&1";
  // cmd.exe drops the first and the last quote of a line that starts with
  // one: an outer pair keeps the quotes of the program and the paths.
  if (IM_SHELL_IS_CMD) command = "\"" + command + "\"";
  const int exitCode = std::system(command.c_str());
  std::ifstream in(dir + "/demo_summary.json");
  Json::Value summary;
  std::string errors;
  if (in) Json::parseFromStream(Json::CharReaderBuilder(), in, &summary, &errors);
  const auto count = [&dir](const std::string& sql) {
    return standin_test::Count(dir + "/im_store.db", sql);
  };

  // Every step answered result 0, and the seeded conversation is in the store.
  ASSERT_EQ(summary["steps"].size(), 4u) << "see " << dir << ".out";
  for (const Json::Value& step : summary["steps"]) {
    EXPECT_TRUE(step["answered"].asBool()) << step["name"].asString();
    EXPECT_EQ(step["result"].asInt(), 0) << step["name"].asString() << ": " << step["reason"];
  }
  EXPECT_EQ(exitCode, 0) << "see " << dir << ".out";
  EXPECT_EQ(count("SELECT count(*) FROM history_records WHERE convid = 'bob'"), 7);
  EXPECT_EQ(count("SELECT count(*) FROM contacts"), 3);
  EXPECT_EQ(count("SELECT count(*) FROM groups WHERE groupid = 'team-42'"), 1);

  // Command 2: the merged message is stored and sent.
  EXPECT_EQ(count("SELECT count(*) FROM history_records WHERE convid = 'carol'"
                  " AND realMsgType = 101900"),
            1);
  EXPECT_EQ(count("SELECT count(*) FROM outbox WHERE cmd = 135680 AND receiver = 'carol'"), 1);

  // Command 1: the forwarded records are stored and sent, and the expired
  // picture gets a new link.
  const int64_t forwarded =
      count("SELECT count(*) FROM history_records WHERE convid = 'team-42' AND chattype = 1");
  EXPECT_GT(forwarded, 0);
  EXPECT_LT(forwarded, 7) << "the voice message is never forwarded";
  const Json::Value& step = summary["steps"][0];
  ASSERT_EQ(step["cmd"].asInt(), 1);
  EXPECT_EQ(step["notifications"].asInt64(), forwarded);
  EXPECT_EQ(count("SELECT count(*) FROM outbox WHERE cmd = 135682 AND group_id = 'team-42'"),
            forwarded);
  EXPECT_EQ(count("SELECT count(*) FROM outbox o JOIN history_records h"
                  " ON h.clientmessageid = o.client_msg_id WHERE h.convid = 'team-42'"),
            forwarded)
      << "each sent message is a stored record";
  // The expired picture gets a file of its own beside its stored one (a new
  // name) and is uploaded again under a new link.
  EXPECT_EQ(count("SELECT count(*) FROM history_records WHERE convid = 'team-42'"
                  " AND (content LIKE '%old-chart.png%' OR content LIKE '%expiredlink01%')"),
            0)
      << "the forwarded picture must keep neither its name nor its expired link";
  // Forwarded pictures are hard links of the original.
  // The picture folders have moved since (command 4).
  const fs::path folder = fs::path(dir) / "NewLocation/ReceiveFiles/originalImgfiles";
  ASSERT_TRUE(fs::exists(folder / "sunset.png"));
  // Counted as the names of the same file: the Windows runtime's link count
  // is always 1.
  int links = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (entry.path().filename() != "sunset.png" &&
        fs::equivalent(entry.path(), folder / "sunset.png")) {
      ++links;
    }
  }
  EXPECT_GE(links, 1) << "a new name for the same picture";
}

}  // namespace
