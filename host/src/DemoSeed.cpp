#include "host/src/DemoSeed.h"

#include <chrono>
#include <fstream>

#include "host/src/DemoPicture.h"
#include "im_adapter/im_adapter.h"
#include "platform/Platform.h"
#include "util/Utils.h"

namespace host {
namespace {

const auto kAnswerWait = std::chrono::seconds(10);
const int64_t kDayMs = 24LL * 3600 * 1000;

std::string OneLine(const Json::Value& value) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  builder["emitUTF8"] = true;
  return Json::writeString(builder, value);
}

std::string XmlEscape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// A message body: the <r> envelope around an escaped <imbody> document.
std::string Body(const std::string& text, const std::string& html = "") {
  static int counter = 0;
  const std::string id = "demo" + std::to_string(100000000 + ++counter).substr(1);
  const std::string imbody = "<imbody><content><![CDATA[" + text + "]]></content><html>" +
                             (html.empty() ? "" : "<![CDATA[" + html + "]]>") + "</html></imbody>";
  return "<r><n>" + id + "</n><g>0</g><c>" + XmlEscape(imbody) + "</c></r>";
}

// The media token of one file entry.
std::string Token(const Json::Value& entry) {
  const bool picture = entry["file_type"].asString() == "Img";
  return "/:um_begin{" + entry["um_url"].asString() + "|" + entry["file_type"].asString() + "|" +
         entry["file_size"].asString() + "|" + entry["file_name"].asString() + "|0|" +
         (picture ? entry["width"].asString() + ";" + entry["height"].asString() : ";") + ";" +
         entry["um_plain_access_code"].asString() +
         "|isOriginalImg: 0;emotionId:;objectId:;cdnUrl:}/:um_end";
}

std::string FileListText(const Json::Value& entry) {
  Json::Value list(Json::arrayValue);
  list.append(entry);
  return util::Base64Encode(OneLine(list));
}

bool WriteFile(const std::string& path, const std::string& bytes, std::string* error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (out.good()) return true;
  *error = "cannot write " + path;
  return false;
}

}  // namespace

DemoSeed::DemoSeed(const std::string& dir, HostSink* sink) : dir_(dir), sink_(sink) {}

bool DemoSeed::Run(std::string* error) {
  return WriteFiles(error) && AddContact(kMe, "Alice", "Alice Liddell", error) &&
         AddContact(kPeer, "Bob", "Bob Builder", error) &&
         AddContact(kOther, "Carol", "Carol Danvers", error) && AddGroup(error) &&
         AddConversation(error);
}

bool DemoSeed::WriteFiles(std::string* error) {
  for (const char* folder : {"originalImgfiles", "ScreenShot", "FilesPath", "Audio", "headImage"}) {
    const std::string path = ReceiveFiles() + "/" + folder;
    if (!platform::MakeDirectories(path)) {
      *error = "cannot make " + path + ": " + platform::LastErrorText();
      return false;
    }
  }
  const std::string png = MakeGradientPng(64, 48);
  return !png.empty() && WriteFile(ReceiveFiles() + "/originalImgfiles/sunset.png", png, error) &&
         WriteFile(ReceiveFiles() + "/ScreenShot/old-chart.png", MakeGradientPng(32, 32), error) &&
         WriteFile(ReceiveFiles() + "/headImage/bob.png", MakeGradientPng(16, 16), error) &&
         WriteFile(ReceiveFiles() + "/FilesPath/report.txt",
                   "Quarterly report\nrevenue: up\ncosts: down\n", error) &&
         WriteFile(ReceiveFiles() + "/Audio/voice.amr",
                   std::string("#!AMR\n") + std::string(512, '\x3c'), error);
}

bool DemoSeed::Ask(uint32_t target, int cmd, const std::string& description,
                   const Json::Value& param, Json::Value* answer, std::string* error) {
  Json::Value request;
  request["cmd"] = cmd;
  request["description"] = description;
  request["param"] = param;
  const int sno = ++sno_;
  request["sno"] = sno;
  const std::string text = OneLine(request);
  IMAdapterDispatchMsg(text.data(), static_cast<uint32_t>(text.size()), target);
  const bool answered = sink_->Take(
      [sno](const Json::Value& v) { return v.isMember("rsp") && v["sno"].asInt() == sno; },
      kAnswerWait, answer);
  if (!answered) {
    *error = description + ": no answer from the plugin within 10 s";
    return false;
  }
  if ((*answer)["result"].asInt() != 0) {
    *error = description + " failed: " + (*answer)["reason"].asString();
    return false;
  }
  return true;
}

bool DemoSeed::Upload(const std::string& path, Json::Value* entry, std::string* error) {
  Json::Value param;
  param["up_file_info"]["file_path"] = path;
  param["up_file_info"]["file_name"] = (*entry)["file_name"];
  Json::Value answer;
  if (!Ask(3, 6, "zeb_offlinefile_uploadfile", param, &answer, error)) return false;
  const int handle = answer["param"]["pfile_handle"].asInt();
  Json::Value note;
  if (!sink_->Take(
          [handle](const Json::Value& v) {
            return v["notify"].asInt() == 1 && v["param"]["file_handle"].asInt() == handle;
          },
          kAnswerWait, &note) ||
      note["param"]["code"].asInt() != 0) {
    *error = "the upload of " + path + " did not finish";
    return false;
  }
  (*entry)["um_url"] = note["param"]["filersp"]["url"];
  (*entry)["um_plain_access_code"] = note["param"]["filersp"]["plain_access_code"];
  return true;
}

bool DemoSeed::AddContact(const std::string& account, const std::string& name,
                          const std::string& foreign, std::string* error) {
  Json::Value param;
  param["UserInfo"]["accountid"] = account;
  param["UserInfo"]["name"] = name;
  param["UserInfo"]["foreignName"] = foreign;
  Json::Value answer;
  return Ask(2, 153, "zeb_sqlite_add_contact", param, &answer, error);
}

bool DemoSeed::AddGroup(std::string* error) {
  Json::Value param;
  Json::Value& group = param["_groupinfo"];
  group["groupid"] = kGroup;
  group["name"] = "Team 42";
  group["enname"] = "Team 42";
  group["owner"] = kMe;
  group["capacity"] = 200;
  group["grouptype"] = 1;
  group["isGroupDisableSendMsg"] = 0;
  Json::Value answer;
  return Ask(2, 30, "zeb_sqlite_add_groupinfo", param, &answer, error);
}

bool DemoSeed::AddRecord(Json::Value record, std::string* error) {
  Json::Value param;
  param["_historyrecord"] = record;
  Json::Value answer;
  return Ask(2, 54, "zeb_sqlite_add_historyrecord", param, &answer, error);
}

namespace {

// A stored message of the one-to-one conversation between alice and bob.
Json::Value ConversationRecord(const std::string& id, bool fromPeer, int mediaType,
                               const std::string& content, int64_t sentMs,
                               const std::string& shown) {
  Json::Value record;
  record["showtext"] = shown;
  record["convid"] = DemoSeed::kPeer;
  record["servermessageid"] = "S" + id;
  record["clientmessageid"] = id;
  record["chattype"] = 0;
  record["mediatype"] = mediaType;
  record["contenttype"] = 0;
  record["content"] = content;
  record["originaccount"] = fromPeer ? DemoSeed::kPeer : DemoSeed::kMe;
  record["targetaccount"] = fromPeer ? DemoSeed::kMe : DemoSeed::kPeer;
  record["peername"] = fromPeer ? "Bob" : "Alice";
  record["peernativename"] = fromPeer ? "Bob Builder" : "Alice Liddell";
  record["utcstamp"] = std::to_string(sentMs);
  record["timestamp"] = std::to_string(sentMs);
  record["delivertime"] = std::to_string(sentMs);
  record["status"] = 1;
  record["isread"] = 1;
  return record;
}

Json::Value FileEntry(const std::string& path, const std::string& name, const std::string& type,
                      const std::string& size, const std::string& width,
                      const std::string& height) {
  Json::Value entry;
  entry["file_name"] = name;
  entry["file_path"] = path;
  entry["file_real_save_name"] = name;
  entry["file_real_save_path"] = path;
  entry["file_type"] = type;
  entry["file_size"] = size;
  if (!width.empty()) entry["width"] = width;
  if (!height.empty()) entry["height"] = height;
  entry["file_handle"] = -1;
  entry["duration"] = 0;
  entry["expire"] = 0;
  return entry;
}

std::string SizeOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  return std::to_string(in ? static_cast<long long>(in.tellg()) : 0);
}

}  // namespace

bool DemoSeed::AddConversation(std::string* error) {
  const int64_t now = platform::NowUnixMillis();
  int64_t sent = now - 60 * 60 * 1000;
  auto nextId = [&](const char* kind) {
    sent += 60 * 1000;
    return std::string("demo-") + kind + "-" + std::to_string(sent);
  };

  messages_.text = nextId("text");
  if (!AddRecord(ConversationRecord(messages_.text, true, 0,
                                    Body("Hi Alice, the quarterly numbers are in."), sent,
                                    "Hi Alice, the quarterly numbers are in."),
                 error)) {
    return false;
  }

  const std::string picturePath = ReceiveFiles() + "/originalImgfiles/sunset.png";
  Json::Value picture =
      FileEntry(picturePath, "sunset.png", "Img", SizeOf(picturePath), "64", "48");
  if (!Upload(picturePath, &picture, error)) return false;
  messages_.picture = nextId("picture");
  Json::Value pictureRecord =
      ConversationRecord(messages_.picture, true, 3, Body(Token(picture)), sent, "[Picture]");
  pictureRecord["filelist"] = FileListText(picture);
  if (!AddRecord(pictureRecord, error)) return false;

  const std::string filePath = ReceiveFiles() + "/FilesPath/report.txt";
  Json::Value file = FileEntry(filePath, "report.txt", "txt", SizeOf(filePath), "", "");
  if (!Upload(filePath, &file, error)) return false;
  messages_.file = nextId("file");
  Json::Value fileRecord =
      ConversationRecord(messages_.file, true, 4, Body(Token(file)), sent, "[File] report.txt");
  fileRecord["filelist"] = FileListText(file);
  fileRecord["fileSize"] = std::stoi(file["file_size"].asString());
  if (!AddRecord(fileRecord, error)) return false;

  messages_.card = nextId("card");
  Json::Value card;
  card["cardType"] = 31;
  card["cardConfig"]["canForward"] = true;
  card["cardConfig"]["isForward"] = false;
  card["cardContext"]["title"] = "Release checklist";
  card["cardContext"]["content"] = "3 of 5 items done";
  if (!AddRecord(ConversationRecord(messages_.card, false, 10, Body(OneLine(card)), sent,
                                    "[Card] Release checklist"),
                 error)) {
    return false;
  }

  const std::string voicePath = ReceiveFiles() + "/Audio/voice.amr";
  Json::Value voice = FileEntry(voicePath, "voice.amr", "amr", SizeOf(voicePath), "", "");
  voice["duration"] = 4;
  messages_.voice = nextId("voice");
  Json::Value voiceRecord =
      ConversationRecord(messages_.voice, true, 1, Body(Token(voice)), sent, "[Voice] 4\"");
  voiceRecord["filelist"] = FileListText(voice);
  voiceRecord["duration"] = 4;
  if (!AddRecord(voiceRecord, error)) return false;

  messages_.reply = nextId("reply");
  Json::Value reply;
  reply["cardType"] = 65;
  reply["cardConfig"]["canForward"] = true;
  reply["cardContext"]["replyMsg"]["content"] = "Agreed, let us ship it on Friday.";
  reply["cardContext"]["replyMsg"]["type"] = 0;
  reply["cardContext"]["preMsg"]["content"] = "Hi Alice, the quarterly numbers are in.";
  reply["cardContext"]["preMsg"]["messageID"] = messages_.text;
  reply["cardContext"]["preMsg"]["sender"] = kPeer;
  reply["cardContext"]["preMsg"]["nameEN"] = "Bob";
  if (!AddRecord(ConversationRecord(messages_.reply, false, 10, Body(OneLine(reply)), sent,
                                    "Agreed, let us ship it on Friday."),
                 error)) {
    return false;
  }

  // A picture sent 40 days ago whose cloud copy the store has marked as
  // expired, and whose file has left its old folder: forwarding finds the
  // local copy in ScreenShot and uploads it again.
  const std::string oldPath = ReceiveFiles() + "/ScreenShot/old-chart.png";
  Json::Value old =
      FileEntry(dir_ + "/gone/old-chart.png", "old-chart.png", "Img", SizeOf(oldPath), "32", "32");
  old["file_real_save_path"] = oldPath;
  old["expire"] = 1;
  old["um_url"] = "http://cloud.standin.local/f/expiredlink01";
  old["um_plain_access_code"] = "0000";
  messages_.expired = "demo-expired-" + std::to_string(now - 40 * kDayMs);
  Json::Value oldRecord = ConversationRecord(messages_.expired, true, 3, Body(Token(old)),
                                             now - 40 * kDayMs, "[Picture] old chart");
  oldRecord["filelist"] = FileListText(old);
  return AddRecord(oldRecord, error);
}

}  // namespace host
