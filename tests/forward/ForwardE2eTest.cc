// Commands 1 and 2 through the library's exports with scripted plugins answering from their own
// thread: what the host receives (the reply, then one "AppendMsgNotify" per send) and what the
// plugins are asked.
#include <gtest/gtest.h>
#include <json/json.h>

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "common/xml/XmlBuild.h"
#include "common/xml/XmlParse.h"
#include "common/xml/XmlText.h"
#include "im_adapter/im_adapter.h"
#include "platform/Platform.h"
#include "tests/forward/ScriptedService.h"
#include "tests/util/ScratchFile.h"
#include "util/Utils.h"

namespace {

using forward_test::ScriptedService;
using scripted::Plugin;

constexpr int kStoreQuery = 57;
constexpr int kStoreAdd = 54;
constexpr int kUpload = 6;
constexpr int kLinkUpdate = 40;
constexpr int kGroupChat = 135682;
constexpr int kUserChat = 135680;

Json::Value Parse(const std::string& text) {
  Json::Value v;
  Json::Reader().parse(text, v);
  return v;
}

std::string Compact(const Json::Value& v) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  return Json::writeString(builder, v);
}

// The next text for the host (an empty object after 20 s).
Json::Value Pull() {
  char* msg = nullptr;
  if (!IMAdapterSendMsgExportTimeout(&msg, 20000)) return Json::Value(Json::objectValue);
  Json::Value value = Parse(msg);
  IMAdapterFreeMsg(msg);
  return value;
}

void Dispatch(const Json::Value& request) {
  const std::string text = Compact(request);
  IMAdapterDispatchMsg(text.c_str(), static_cast<uint32_t>(text.size()), 5);
}

Json::Value Record(const std::string& id, int mediatype, const std::string& text,
                   const std::string& convid = "src-conv") {
  const std::string now = std::to_string(platform::NowUnixMillis());
  Json::Value r(Json::objectValue);
  r["servermessageid"] = r["clientmessageid"] = id;
  r["recordid"] = "old-" + id;
  r["convid"] = r["groupid"] = convid;
  r["chattype"] = 1;
  r["groupname"] = "Source group";
  r["originaccount"] = "alice";
  r["content"] = xml::Build(xml::XmlEscapeText(text), "", 0, false);
  r["showtext"] = text;
  r["mediatype"] = mediatype;
  r["status"] = 1;
  r["utcstamp"] = r["timestamp"] = now;
  return r;
}

// The media token of a file named `name` linked at `url`.
std::string Token(const std::string& url, const char* type, const std::string& name) {
  return "/:um_begin{" + url + "|" + type + "|1|" + name + "|0|;;AC|}/:um_end";
}

// A record of one file stored at `path`, linked at https://old.example/f/<link>; its list entry
// and its text (the token after `before`) name the file.
Json::Value FileRecord(const std::string& id, int mediatype, const char* type,
                       const std::string& path, const std::string& link, int expire,
                       const std::string& before = "") {
  const std::string name = path.substr(path.rfind('/') + 1);
  const std::string url = "https://old.example/f/" + link;
  Json::Value entry(Json::objectValue);
  entry["file_name"] = entry["file_real_save_name"] = name;
  entry["file_path"] = entry["file_real_save_path"] = path;
  entry["file_type"] = type;
  entry["um_url"] = url;
  entry["um_plain_access_code"] = "AC";
  entry["expire"] = expire;
  Json::Value entries(Json::arrayValue);
  entries.append(entry);
  Json::Value record = Record(id, mediatype, before + Token(url, type, name));
  record["filelist"] = util::Base64Encode(Compact(entries));
  return record;
}

// Writes content to path, making its folders first.
void Put(const std::string& path, const std::string& content) {
  ASSERT_TRUE(platform::MakeDirectories(path.substr(0, path.rfind('/'))));
  testfiles::Write(path, content);
}

std::string TextOf(const Json::Value& record) {
  std::string text;
  std::string html;
  xml::Parse(record["content"].asString(), text, html, true);
  return text;
}

Json::Value Request(int cmd, int sno, const Json::Value& param) {
  Json::Value request(Json::objectValue);
  request["cmd"] = cmd;
  request["sno"] = sno;
  request["description"] = cmd == 1 ? "forward" : "combine";
  request["param"] = param;
  return request;
}

Json::Value Ids(std::initializer_list<const char*> ids) {
  Json::Value out(Json::arrayValue);
  for (const char* id : ids) out.append(id);
  return out;
}

// How many ids a store query asked for.
size_t QueriedIds(const Json::Value& query) {
  const std::string ids =
      query["param"]["_multimatchinfo"]["datalist"][0]["match_value"].asString();
  return static_cast<size_t>(std::count(ids.begin(), ids.end(), ',')) + 1;
}

const Json::Value& MergeOf(const Json::Value& card) { return card["cardContext"]["mergeMessage"]; }

class ForwardE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    scripted::Reset();
    service_ = std::make_unique<ScriptedService>();
    service_->SetUser("me", "\xE6\x88\x91", "Me");
    service_->SetUser("alice", "\xE7\x88\xB1\xE4\xB8\xBD\xE4\xB8\x9D", "Alice");
    service_->SetGroup("g1", "Target group");
    IMAdapterStartup();
  }
  void TearDown() override {
    IMAdapterShutDown();
    service_.reset();
    char* msg = nullptr;
    while (IMAdapterSendMsgExportTimeout(&msg, 0)) IMAdapterFreeMsg(msg);
  }

  Json::Value BaseParam(const Json::Value& ids) const {
    Json::Value param(Json::objectValue);
    param["msgIdList"] = ids;
    param["userAccount"] = "me";
    param["groupId"] = "g1";
    param["defaultImagePath"] = files_.path() + "/img";
    param["defaultFilePath"] = files_.path() + "/files";
    return param;
  }

  // Runs a request and returns the reply; the `expected` notifications that
  // follow it go to *notifications.
  Json::Value Run(const Json::Value& request, size_t expected,
                  std::vector<Json::Value>* notifications = nullptr) {
    Dispatch(request);
    Json::Value reply = Pull();
    for (size_t i = 0; i < expected; ++i) {
      Json::Value n = Pull();
      if (notifications) notifications->push_back(n);
    }
    return reply;
  }

  // Proves that nothing else is queued for the host: a command-3 request
  // sent now is answered next.
  void ExpectNothingMoreQueued() {
    Json::Value param(Json::objectValue);
    param["currentTimestamp"] = "1";
    Dispatch(Request(3, 999, param));
    Json::Value next = Pull();
    EXPECT_EQ(next["rsp"].asInt(), 3) << Compact(next);
  }

  testfiles::ScratchDir files_;
  std::unique_ptr<ScriptedService> service_;
};

TEST_F(ForwardE2e, OneHundredTwentyMessagesToAGroupInThreeBatches) {
  Json::Value param = BaseParam(Json::Value(Json::arrayValue));
  for (int i = 0; i < 120; ++i) {
    service_->AddRecord(Record("m" + std::to_string(i), 0, "text " + std::to_string(i)));
    param["msgIdList"].append("m" + std::to_string(i));
  }
  param["receiverAccount"] = "bob";  // the group wins
  std::vector<Json::Value> notes;
  const Json::Value reply = Run(Request(1, 41, param), 120, &notes);

  EXPECT_EQ(reply["rsp"].asInt(), 1);
  EXPECT_EQ(reply["sno"].asInt(), 41);
  EXPECT_EQ(reply["result"].asInt(), 0);
  EXPECT_EQ(reply["description"].asString(), "forward");
  const Json::Value& list = reply["param"]["newMsgList"];
  ASSERT_EQ(list.size(), 120u);
  std::vector<size_t> batchSizes;
  for (const Json::Value& query : service_->Requests(Plugin::kStore, kStoreQuery)) {
    batchSizes.push_back(QueriedIds(query));
  }
  EXPECT_EQ(batchSizes, (std::vector<size_t>{50, 50, 20}));
  EXPECT_EQ(service_->Requests(Plugin::kStore, kStoreAdd).size(), 120u);

  const std::vector<Json::Value> chats = service_->Requests(Plugin::kIm, kGroupChat);
  ASSERT_EQ(chats.size(), 120u);
  EXPECT_TRUE(service_->Requests(Plugin::kIm, kUserChat).empty());
  for (Json::ArrayIndex i = 0; i < 120; ++i) {
    SCOPED_TRACE(i);
    const Json::Value& m = list[i];
    EXPECT_EQ(TextOf(m), "text " + std::to_string(i));
    EXPECT_EQ(m["convid"].asString(), "g1");
    EXPECT_EQ(m["targetaccount"].asString(), "");
    EXPECT_EQ(m["originaccount"].asString(), "me");
    EXPECT_EQ(m["peername"].asString(), "Me");
    EXPECT_EQ(m["peernativename"].asString(), "\xE6\x88\x91");
    EXPECT_EQ(m["servermessageid"].asString(), m["clientmessageid"].asString());
    EXPECT_EQ(m["recordid"].asString(), "rec" + std::to_string(i + 1));

    const Json::Value& chat = chats[i]["param"];
    EXPECT_EQ(chat["clientMsgId"], m["clientmessageid"]);
    EXPECT_EQ(chat["chatInfo"]["groupId"].asString(), "g1");
    EXPECT_EQ(chat["chatInfo"]["content"], m["content"]);
    EXPECT_FALSE(chat["chatInfo"].isMember("receiverAccount"));

    EXPECT_EQ(notes[i]["description"].asString(), "AppendMsgNotify");
    EXPECT_EQ(notes[i]["param"]["message"]["clientmessageid"], m["clientmessageid"]);
  }

  // Merged, the same 120 ids are read with one query.
  const Json::Value merged = Run(Request(2, 42, param), 1);
  const std::vector<Json::Value> queries = service_->Requests(Plugin::kStore, kStoreQuery);
  ASSERT_EQ(queries.size(), 4u);
  EXPECT_EQ(QueriedIds(queries[3]), 120u);
  EXPECT_EQ(MergeOf(Parse(TextOf(merged["param"]["newMsg"])))["messageList"].size(), 120u);
}

TEST_F(ForwardE2e, ToAUserAndOnlySavedLocally) {
  service_->AddRecord(Record("m1", 0, "one"));
  Json::Value param = BaseParam(Ids({"m1"}));
  param["groupId"] = "";
  param["receiverAccount"] = "bob";
  std::vector<Json::Value> notes;
  Json::Value reply = Run(Request(1, 7, param), 1, &notes);
  ASSERT_EQ(reply["param"]["newMsgList"].size(), 1u);
  const Json::Value& m = reply["param"]["newMsgList"][0];
  EXPECT_EQ(m["convid"].asString(), "bob");
  EXPECT_EQ(m["targetaccount"].asString(), "bob");
  EXPECT_EQ(m["chattype"].asInt(), 0);
  const std::vector<Json::Value> chats = service_->Requests(Plugin::kIm, kUserChat);
  ASSERT_EQ(chats.size(), 1u);
  EXPECT_EQ(chats[0]["param"]["chatInfo"]["receiverAccount"].asString(), "bob");
  EXPECT_EQ(notes[0]["param"]["description"].asString(), "UserChatAck");

  param["isOnlySaveLocal"] = 1;
  reply = Run(Request(1, 8, param), 0);
  EXPECT_EQ(reply["param"]["newMsgList"].size(), 1u);
  EXPECT_EQ(service_->Requests(Plugin::kIm, kUserChat).size(), 1u);
  EXPECT_EQ(service_->Requests(Plugin::kStore, kStoreAdd).size(), 2u);
  ExpectNothingMoreQueued();
}

TEST_F(ForwardE2e, RefusedMessagesAndCardsThatAreForwarded) {
  service_->AddRecord(Record("voice", 1, "v"));
  service_->AddRecord(Record("reply", 10,
                             R"({"cardType":65,"cardContext":{"replyMsg":{"content":"answer",)"
                             R"("type":0,"PcContent":"<p>answer</p>"}}})"));
  service_->AddRecord(
      Record("card31", 10,
             "{\"cardType\":31,\"cardConfig\":{\"canForward\":true},\"x\":\"\xE4\xBD\xA0\"}"));
  Json::Value reply = Run(Request(1, 9, BaseParam(Ids({"voice", "reply", "card31"}))), 2);
  const Json::Value& list = reply["param"]["newMsgList"];
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0]["mediatype"].asInt(), 0);
  EXPECT_EQ(list[0]["realMsgType"].asInt(), 0);
  EXPECT_EQ(TextOf(list[0]), "answer");
  EXPECT_EQ(list[1]["mediatype"].asInt(), 10);
  const std::string cardText = TextOf(list[1]);
  EXPECT_NE(cardText.find("\xE4\xBD\xA0"), std::string::npos) << cardText;  // not \u-escaped
  const Json::Value card = Parse(cardText);
  EXPECT_TRUE(card["cardConfig"]["isForward"].asBool());
  EXPECT_TRUE(card["cardConfig"]["canForward"].asBool());
  EXPECT_EQ(service_->Requests(Plugin::kIm, kGroupChat).size(), 2u);
  EXPECT_EQ(service_->Requests(Plugin::kStore, kStoreAdd).size(), 2u);

  // When every record is refused the reply has a null parameter and nothing is sent.
  reply = Run(Request(1, 10, BaseParam(Ids({"voice"}))), 0);
  EXPECT_EQ(reply["result"].asInt(), 0);
  EXPECT_TRUE(reply.isMember("param"));
  EXPECT_TRUE(reply["param"].isNull()) << Compact(reply);
  ExpectNothingMoreQueued();
  EXPECT_EQ(service_->Requests(Plugin::kStore, kStoreAdd).size(), 2u);
  EXPECT_EQ(service_->Requests(Plugin::kIm).size(), 2u);
}

TEST_F(ForwardE2e, ValidationReplies) {
  const char* const kOne = "MsgForwardOneByOne";
  const char* const kTwo = "MsgCombineAndForward";
  const struct {
    int cmd;
    const char* change;  // members replaced in a valid parameter; null: no parameter
    const char* reason;
    const char* description;
  } cases[] = {
      {1, nullptr, "param is empty", kOne},
      {1, R"({"msgIdList":[]})", "msgId is empty", kOne},
      {1, R"({"msgIdList":"m1"})", "msgId is empty", kOne},
      {1, R"({"userAccount":""})", "userAccount is empty", kOne},
      {1, R"({"userAccount":5})", "userAccount is empty", kOne},
      {1, R"({"groupId":"","receiverAccount":[]})", "groupId and receiverAccount are empty", kOne},
      {1, R"({"msgIdList":[1,2]})", "QueryHistoryRecordByMsgId is empty", kOne},
      {1, R"({"msgIdList":["m500","m501"]})", "QueryHistoryRecordByMsgId is empty", kOne},
      {2, nullptr, "param is empty", kTwo},
      {2, R"({"msgIdList":[]})", "msgIdList is empty", kTwo},
      {2, R"({"userAccount":""})", "userAccount is empty", kTwo},
      {2, R"({"groupId":"","receiverAccount":[]})", "groupId and receiverAccount are empty", kTwo},
      {2, R"({"msgIdList":["m500","m501"]})", "QueryHistoryRecordByMsgId is empty", kTwo},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    Json::Value request(Json::objectValue);
    request["cmd"] = c.cmd;
    request["sno"] = 3;
    if (c.change != nullptr) {
      request["param"] = BaseParam(Ids({"m1"}));
      const Json::Value change = Parse(c.change);
      for (const std::string& key : change.getMemberNames()) request["param"][key] = change[key];
    }
    const Json::Value reply = Run(request, 0);
    EXPECT_EQ(reply["result"].asInt(), -1);
    EXPECT_EQ(reply["param"]["reason"].asString(), c.reason);
    EXPECT_EQ(reply["description"].asString(), c.description);
  }
  // Only non-text ids: no store query at all.
  EXPECT_EQ(service_->Requests(Plugin::kStore, kStoreQuery).size(), 2u);
  EXPECT_TRUE(service_->Requests(Plugin::kIm).empty());
  ExpectNothingMoreQueued();
}

// A valid picture gets a new hard-linked file and a link update; an expired
// one found under the picture folder's ScreenShot is uploaded again.
TEST_F(ForwardE2e, ValidPictureGetsANewFileAndExpiredOneIsUploadedAgain) {
  const std::string folder = files_.path() + "/img";
  Put(folder + "/Old.PNG", "pixels");
  Put(folder + "/ScreenShot/s.png", "shot");
  service_->AddRecord(FileRecord("pic", 3, "Img", folder + "/Old.PNG", "LINK1", 0));
  service_->AddRecord(FileRecord("shot", 3, "Img", folder + "/gone/s.png", "OLD", 1));

  const Json::Value reply = Run(Request(1, 11, BaseParam(Ids({"pic", "shot"}))), 2);
  ASSERT_EQ(reply["param"]["newMsgList"].size(), 2u);
  const Json::Value& m = reply["param"]["newMsgList"][0];
  const Json::Value files = Parse(m["filelist"].asString());
  ASSERT_EQ(files.size(), 1u);
  // A new 36-character name with the extension in lower case, used everywhere.
  const std::string name = files[0]["file_name"].asString();
  ASSERT_EQ(name.size(), 36u + 4u);
  EXPECT_EQ(name.substr(36), ".png");
  EXPECT_EQ(files[0]["file_real_save_name"].asString(), name);
  EXPECT_EQ(files[0]["file_path"].asString(), folder + "/" + name);
  EXPECT_EQ(testfiles::Read(folder + "/" + name), "pixels");
  EXPECT_EQ(files[0]["message_server_chat_id_str"], m["clientmessageid"]);
  EXPECT_NE(TextOf(m).find("|" + name + "|"), std::string::npos);
  const std::vector<Json::Value> updates = service_->Requests(Plugin::kOffline, kLinkUpdate);
  ASSERT_EQ(updates.size(), 1u);
  EXPECT_EQ(updates[0]["param"]["link_code"].asString(), "LINK1");
  EXPECT_EQ(updates[0]["param"]["access_code"].asString(), "AC");

  const std::vector<Json::Value> uploads = service_->Requests(Plugin::kOffline, kUpload);
  ASSERT_EQ(uploads.size(), 1u);
  // Found under the configured picture folder, joined with the platform's separator.
  const std::string sep(1, platform::PathSeparator());
  EXPECT_EQ(uploads[0]["param"]["up_file_info"]["file_path"].asString(),
            folder + sep + "ScreenShot" + sep + "s.png");
  const Json::Value& shot = reply["param"]["newMsgList"][1];
  const Json::Value shotFiles = Parse(shot["filelist"].asString());
  EXPECT_EQ(shotFiles[0]["um_url"].asString().rfind("https://new.example/f/up", 0), 0u);
  EXPECT_EQ(shotFiles[0]["expire"].asInt(), 0);
  EXPECT_NE(TextOf(shot).find("https://new.example/f/up"), std::string::npos);
}

// The store's paths are the client's own: a host that names no received
// folders still gets a new picture file beside the stored one, and an
// expired file stored outside those folders is uploaded from where it is.
TEST_F(ForwardE2e, StoredPathsAreUsedWithNoFolderPathsInTheRequest) {
  const std::string own = files_.path() + "/own";
  Put(own + "/me.jpg", "jpeg");
  Put(own + "/notes.txt", "notes");
  service_->AddRecord(FileRecord("pic", 3, "Img", own + "/me.jpg", "P", 0));
  service_->AddRecord(FileRecord("doc", 4, "File", own + "/notes.txt", "D", 1));
  Json::Value param = BaseParam(Ids({"pic", "doc"}));
  param.removeMember("defaultImagePath");
  param.removeMember("defaultFilePath");
  const Json::Value reply = Run(Request(1, 14, param), 2);
  const Json::Value& list = reply["param"]["newMsgList"];
  ASSERT_EQ(list.size(), 2u);
  const Json::Value picture = Parse(list[0]["filelist"].asString())[0];
  const std::string name = picture["file_name"].asString();
  EXPECT_EQ(name.size(), 36u + 4u);
  EXPECT_EQ(picture["file_path"].asString(), own + "/" + name);
  EXPECT_EQ(testfiles::Read(own + "/" + name), "jpeg");
  EXPECT_NE(TextOf(list[0]).find("|" + name + "|"), std::string::npos);
  const std::vector<Json::Value> uploads = service_->Requests(Plugin::kOffline, kUpload);
  ASSERT_EQ(uploads.size(), 1u);
  EXPECT_EQ(uploads[0]["param"]["up_file_info"]["file_path"].asString(), own + "/notes.txt");
  EXPECT_NE(TextOf(list[1]).find("https://new.example/f/up"), std::string::npos);
}

// An image-and-text message: its picture gets a new file, the picture token
// of its text and the img tag of its html name it; the quote's status is
// reset to 0 (and its text is not \u-escaped), a quote that is not JSON is
// left as it is.
TEST_F(ForwardE2e, ImageAndTextMessageAndQuoteStatus) {
  const std::string folder = files_.path() + "/img";
  Put(folder + "/a.jpg", "jpeg");
  Json::Value mixed = FileRecord("mixed", 8, "Img", folder + "/a.jpg", "L8", 0, "look ");
  mixed["content"] =
      xml::Build(xml::XmlEscapeText("look " + Token("https://old.example/f/L8", "Img", "a.jpg")),
                 "<p>look <img src=\"" + folder + "/a.jpg\" role=\"pic\"></p>", 0, false);
  mixed["quote"] = "{\"status\":2,\"text\":\"\xE4\xBD\xA0\"}";
  service_->AddRecord(mixed);
  Json::Value plain = Record("plain", 0, "hi");
  plain["quote"] = "not json";
  service_->AddRecord(plain);

  const Json::Value reply = Run(Request(1, 15, BaseParam(Ids({"mixed", "plain"}))), 2);
  const Json::Value& list = reply["param"]["newMsgList"];
  ASSERT_EQ(list.size(), 2u);
  const std::string name = Parse(list[0]["filelist"].asString())[0]["file_name"].asString();
  ASSERT_EQ(name.size(), 36u + 4u);
  std::string text;
  std::string html;
  xml::Parse(list[0]["content"].asString(), text, html, true);
  EXPECT_EQ(text.rfind("look /:um_begin{https://old.example/f/L8|Img|", 0), 0u) << text;
  EXPECT_NE(text.find("|" + name + "|"), std::string::npos) << text;
  EXPECT_EQ(html, "<p>look <img src=\"" + folder + "/" + name + "\" role=\"pic\"></p>");
  EXPECT_EQ(testfiles::Read(folder + "/" + name), "jpeg");
  const std::string quote = list[0]["quote"].asString();
  EXPECT_EQ(Parse(quote)["status"].asInt(), 0);
  EXPECT_NE(quote.find("\xE4\xBD\xA0"), std::string::npos) << quote;
  EXPECT_EQ(list[1]["quote"].asString(), "not json");
  EXPECT_EQ(service_->Requests(Plugin::kOffline, kLinkUpdate).size(), 1u);
}

// An upload that gives nothing back leaves the record out of command 1's
// list and out of command 2's merged card; the other records go on.
TEST_F(ForwardE2e, UploadGivingNothingLeavesTheRecordOut) {
  const std::string files = files_.path() + "/files";
  Put(files + "/x.txt", "x");
  service_->AddRecord(FileRecord("gone", 4, "File", files + "/x.txt", "X", 1));
  service_->AddRecord(Record("t", 0, "text"));
  service_->FailUploads(true);
  const Json::Value one = Run(Request(1, 16, BaseParam(Ids({"gone", "t"}))), 1);
  ASSERT_EQ(one["param"]["newMsgList"].size(), 1u);
  EXPECT_EQ(TextOf(one["param"]["newMsgList"][0]), "text");
  const Json::Value two = Run(Request(2, 17, BaseParam(Ids({"gone", "t"}))), 1);
  const Json::Value items = MergeOf(Parse(TextOf(two["param"]["newMsg"])))["messageList"];
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0]["msg"].asString(), "text");
  EXPECT_EQ(service_->Requests(Plugin::kOffline, kUpload).size(), 2u);
  EXPECT_EQ(two["param"]["newMsg"]["combineMessageFileList"].asString(), "");
}

// Command 2's media: a valid picture gets a new file, expired media are
// uploaded again, and the merged file list holds both entries as they are
// after that, each with the "onlyId" of its record.
TEST_F(ForwardE2e, MergedMessageMedia) {
  const std::string img = files_.path() + "/img";
  const std::string files = files_.path() + "/files";
  Put(img + "/p.png", "png");
  Put(files + "/d.txt", "doc");
  Json::Value pic = FileRecord("pic", 3, "Img", img + "/p.png", "P", 0);
  Json::Value doc = FileRecord("doc", 4, "File", files + "/d.txt", "D", 1);
  pic["utcstamp"] = "1000";
  doc["utcstamp"] = "2000";
  service_->AddRecord(pic);
  service_->AddRecord(doc);
  const Json::Value reply = Run(Request(2, 18, BaseParam(Ids({"pic", "doc"}))), 1);
  const Json::Value& merged = reply["param"]["newMsg"];
  const Json::Value fileList = Parse(merged["combineMessageFileList"].asString());
  ASSERT_EQ(fileList.size(), 2u) << merged["combineMessageFileList"].asString();
  const std::string name = fileList[0]["file_name"].asString();
  ASSERT_EQ(name.size(), 36u + 4u);
  EXPECT_EQ(testfiles::Read(img + "/" + name), "png");
  EXPECT_EQ(fileList[0]["onlyId"].asString(), "alice1000");
  EXPECT_EQ(fileList[1]["onlyId"].asString(), "alice2000");
  EXPECT_EQ(fileList[1]["um_url"].asString().rfind("https://new.example/f/up", 0), 0u);
  const Json::Value items = MergeOf(Parse(TextOf(merged)))["messageList"];
  ASSERT_EQ(items.size(), 2u);
  EXPECT_NE(items[0]["msg"].asString().find(name), std::string::npos);
  EXPECT_NE(items[1]["msg"].asString().find("https://new.example/f/up"), std::string::npos);
  EXPECT_EQ(service_->Requests(Plugin::kOffline, kUpload).size(), 1u);
}

// Em dashes, quotes, slashes, grave accents, ampersands and links in a
// merged card come back exactly from the merged record, and again from the
// record command 1 makes when it forwards that merged record.
TEST_F(ForwardE2e, MergedCardTextSurvivesForwarding) {
  const std::string texts[] = {
      "a\xE2\x80\x94"
      "b",
      "\xE2\x80\x94\xE2\x80\x94", "it's a/b `c` & d", "https://x.example/p?q=1&r='s'"};
  Json::Value ids(Json::arrayValue);
  for (int i = 0; i < 4; ++i) {
    service_->AddRecord(Record("d" + std::to_string(i), 0, texts[i]));
    ids.append("d" + std::to_string(i));
  }
  Json::Value param = BaseParam(ids);
  param["isOnlySaveLocal"] = 1;
  const Json::Value merged = Run(Request(2, 19, param), 0)["param"]["newMsg"];
  Json::Value stored = merged;
  stored["servermessageid"] = "merged";
  service_->AddRecord(stored);
  const Json::Value forwarded = Run(Request(1, 20, BaseParam(Ids({"merged"}))), 1);
  ASSERT_EQ(forwarded["param"]["newMsgList"].size(), 1u);
  for (const Json::Value* record : {&merged, &forwarded["param"]["newMsgList"][0]}) {
    const Json::Value items = MergeOf(Parse(TextOf(*record)))["messageList"];
    ASSERT_EQ(items.size(), 4u) << TextOf(*record);
    for (Json::ArrayIndex i = 0; i < 4; ++i) EXPECT_EQ(items[i]["msg"].asString(), texts[i]);
  }
}

TEST_F(ForwardE2e, MergedMessageLevelsAndPreviews) {
  service_->AddRecord(Record("t", 0, "hello"));
  service_->AddRecord(Record("v", 1, "voice"));
  for (const char* level : {"1", "2"}) {
    service_->AddRecord(Record(std::string("merged") + level, 10,
                               std::string(R"({"cardType":19,"cardContext":{"mergeMessage":)") +
                                   R"({"level":)" + level + "}}}"));
  }
  Json::Value param = BaseParam(Ids({"t", "v", "merged1"}));
  param["isEnglish"] = 1;
  param["imWindowId"] = "win-7";
  std::vector<Json::Value> notes;
  Json::Value reply = Run(Request(2, 21, param), 1, &notes);
  EXPECT_EQ(reply["result"].asInt(), 0);
  EXPECT_EQ(reply["param"]["imWindowId"].asString(), "win-7");
  const Json::Value& merged = reply["param"]["newMsg"];
  EXPECT_EQ(merged["realMsgType"].asInt(), 101900);
  EXPECT_EQ(merged["mediatype"].asInt(), 10);
  EXPECT_EQ(merged["showtext"].asString(), "[\xE5\x8D\xA1\xE7\x89\x87]");
  EXPECT_EQ(merged["groupname"].asString(), "Target group");
  EXPECT_EQ(merged["recordid"].asString(), "rec1");
  Json::Value card = Parse(TextOf(merged));
  EXPECT_EQ(card["cardType"].asInt(), 19);
  EXPECT_EQ(MergeOf(card)["level"].asInt(), 2);
  const Json::Value& items = MergeOf(card)["messageList"];
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0]["msg"].asString(), "hello");
  EXPECT_EQ(items[0]["name"].asString(), "Alice");
  EXPECT_EQ(items[1]["msg"].asString(), "[Audio]");
  EXPECT_EQ(items[1]["mediaType"].asInt(), 0);
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0]["param"]["imWindowId"].asString(), "win-7");
  EXPECT_EQ(notes[0]["param"]["message"]["clientmessageid"], merged["clientmessageid"]);
  const std::vector<Json::Value> chats = service_->Requests(Plugin::kIm, kGroupChat);
  ASSERT_EQ(chats.size(), 1u);
  EXPECT_EQ(chats[0]["param"]["chatInfo"]["chatContentType"].asInt(), 10);
  EXPECT_EQ(chats[0]["param"]["chatInfo"]["groupName"].asString(), "Target group");

  // Chinese previews; a level-2 merged message inside is only a note.
  param["msgIdList"] = Ids({"v", "merged2"});
  param["isEnglish"] = 0;
  param["isOnlySaveLocal"] = 1;
  reply = Run(Request(2, 22, param), 0);
  card = Parse(TextOf(reply["param"]["newMsg"]));
  EXPECT_EQ(MergeOf(card)["level"].asInt(), 0);
  EXPECT_EQ(MergeOf(card)["messageList"][0]["msg"].asString(), "[\xE8\xAF\xAD\xE9\x9F\xB3]");
  EXPECT_EQ(MergeOf(card)["messageList"][1]["msg"].asString(), "[\xE7\xAC\x94\xE8\xAE\xB0]");

  // Messages of different sessions are refused, with the window id.
  service_->AddRecord(Record("a", 0, "a", "conv-a"));
  service_->AddRecord(Record("b", 0, "b", "conv-b"));
  param["msgIdList"] = Ids({"a", "b"});
  reply = Run(Request(2, 23, param), 0);
  EXPECT_EQ(reply["result"].asInt(), -1);
  EXPECT_EQ(reply["param"]["reason"].asString(), "msg from different sessions");
  EXPECT_EQ(reply["param"]["imWindowId"].asString(), "win-7");
  EXPECT_EQ(reply["description"].asString(), "combine");
  EXPECT_EQ(service_->Requests(Plugin::kIm).size(), 1u);
  ExpectNothingMoreQueued();
}

}  // namespace
