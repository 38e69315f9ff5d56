// A host that leaves at a bad moment: it brings the adapter (the real library,
// with scripted plugins) into one of the states of the exit table, prints
// "exiting" and returns from main, with or without IMAdapterShutDown first.
// The exit test runs it as a child process and checks how it ends.
//
//   exit_driver <exit point> <shutdown|exit> <scratch folder>
#include <json/json.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "common/xml/XmlBuild.h"
#include "common/xml/XmlText.h"
#include "im_adapter/im_adapter.h"
#include "platform/Platform.h"
#include "tests/forward/ForwardTestFiles.h"
#include "tests/forward/ScriptedService.h"
#include "util/Utils.h"

namespace {

using scripted::Plugin;

std::string Compact(const Json::Value& value) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  return Json::writeString(builder, value);
}

Json::Value Parse(const std::string& text) {
  Json::Value value;
  Json::Reader().parse(text, value);
  return value;
}

void Dispatch(const Json::Value& request) {
  const std::string text = Compact(request);
  IMAdapterDispatchMsg(text.c_str(), static_cast<uint32_t>(text.size()), 5);
}

// Opens once; waits at most 10 s.
class Gate {
 public:
  void Open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    cv_.notify_all();
  }
  bool Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, std::chrono::seconds(10), [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool open_ = false;
};

Json::Value Record(const std::string& id, const std::string& text) {
  Json::Value r(Json::objectValue);
  r["servermessageid"] = r["clientmessageid"] = id;
  r["recordid"] = "old-" + id;
  r["convid"] = r["groupid"] = "src-conv";
  r["chattype"] = 1;
  r["originaccount"] = "alice";
  r["content"] = xml::Build(xml::XmlEscapeText(text), "", 0, false);
  r["mediatype"] = 0;
  r["status"] = 1;
  r["utcstamp"] = r["timestamp"] = std::to_string(platform::NowUnixMillis());
  return r;
}

// A picture whose cloud copy has expired and whose local copy is found under
// the picture folder: forwarding it uploads it again.
Json::Value ExpiredPicture(const std::string& scratch) {
  const std::string shots = scratch + "/img/ScreenShot";
  platform::MakeDirectories(shots);
  forward_test::WriteFile(shots + "/s.png", "shot");
  Json::Value entry(Json::objectValue);
  entry["file_name"] = entry["file_real_save_name"] = "s.png";
  entry["file_path"] = entry["file_real_save_path"] = scratch + "/img/gone/s.png";
  entry["file_type"] = "Img";
  entry["um_url"] = "https://old.example/f/OLD";
  entry["um_plain_access_code"] = "AC";
  entry["expire"] = 1;
  Json::Value entries(Json::arrayValue);
  entries.append(entry);
  Json::Value record =
      Record("shot", "/:um_begin{https://old.example/f/OLD|Img|4|s.png|0|;;|}/:um_end");
  record["mediatype"] = 3;
  record["filelist"] = util::Base64Encode(Compact(entries));
  return record;
}

Json::Value Forward(const std::string& id, const std::string& scratch) {
  Json::Value request(Json::objectValue);
  request["cmd"] = 1;
  request["sno"] = 1;
  Json::Value& param = request["param"];
  param["msgIdList"].append(id);
  param["userAccount"] = "me";
  param["groupId"] = "g1";
  param["defaultImagePath"] = scratch + "/img";
  param["defaultFilePath"] = scratch + "/files";
  return request;
}

// Each exit point brings the adapter into its state and returns once it is
// there (false when it never got there).
using Setup = std::function<bool(forward_test::ScriptedService&, const std::string& scratch)>;

bool StoreWaits(forward_test::ScriptedService&, const std::string& scratch) {
  auto asked = std::make_shared<Gate>();
  scripted::SetHandler(Plugin::kStore, [asked](const std::string&) { asked->Open(); });
  Dispatch(Forward("m1", scratch));
  return asked->Wait();
}

bool ChatWaits(forward_test::ScriptedService& service, const std::string& scratch) {
  service.AddRecord(Record("m1", "one"));
  auto asked = std::make_shared<Gate>();
  scripted::SetHandler(Plugin::kIm, [asked](const std::string&) { asked->Open(); });
  Dispatch(Forward("m1", scratch));
  return asked->Wait();
}

bool UploadWaits(forward_test::ScriptedService& service, const std::string& scratch) {
  service.AddRecord(ExpiredPicture(scratch));
  auto uploading = std::make_shared<Gate>();
  // Uploads are accepted and never reported.
  scripted::SetHandler(Plugin::kOffline, [uploading](const std::string& text) {
    const Json::Value request = Parse(text);
    Json::Value answer(Json::objectValue);
    answer["rsp"] = request["cmd"];
    answer["sno"] = request["sno"];
    answer["result"] = 0;
    answer["param"]["pfile_handle"] = 7;
    scripted::Answer(Plugin::kOffline, Compact(answer));
    if (request["cmd"].asInt() == 6) uploading->Open();
  });
  Dispatch(Forward("shot", scratch));
  return uploading->Wait();
}

bool MigrationCopies(forward_test::ScriptedService&, const std::string& scratch) {
  const std::string audio = scratch + "/origin/ReceiveFiles/Audio";
  platform::MakeDirectories(audio);
  for (int i = 0; i < 3000; ++i) {
    forward_test::WriteFile(audio + "/a" + std::to_string(i), std::string(4096, 'a'));
  }
  Json::Value request(Json::objectValue);
  request["cmd"] = 4;
  request["sno"] = 4;
  request["param"]["originReceiveFilesPath"] = scratch + "/origin";
  request["param"]["destinationReceiveFilesPath"] = scratch + "/destination";
  request["param"]["account"] = "me";
  request["param"]["migrationType"] = 0;
  Dispatch(request);
  // The reply, then progress: the run is moving files.
  for (int i = 0; i < 3; ++i) {
    char* msg = nullptr;
    if (!IMAdapterSendMsgExportTimeout(&msg, 10000)) return false;
    const Json::Value text = Parse(msg);
    IMAdapterFreeMsg(msg);
    if (text["param"]["notifyType"].asString() == "progressNotify") return true;
  }
  return false;
}

bool HostWaitsInExport(forward_test::ScriptedService&, const std::string&) {
  auto entered = std::make_shared<Gate>();
  std::thread([entered] {
    char* msg = nullptr;
    entered->Open();
    while (IMAdapterSendMsgExport(&msg)) IMAdapterFreeMsg(msg);
  }).detach();
  return entered->Wait();
}

bool PluginsCallBack(forward_test::ScriptedService&, const std::string&) {
  auto calling = std::make_shared<Gate>();
  for (int t = 0; t < 3; ++t) {
    std::thread([calling, t] {
      const Plugin plugin = static_cast<Plugin>(t);
      for (int i = 0;; ++i) {
        scripted::Answer(plugin, "{\"rsp\": 57, \"sno\": " + std::to_string(32768 + i % 100) +
                                     ", \"result\": 0}");
        scripted::Answer(plugin, "{\"notify\": 1, \"param\": {\"file_handle\": 7}}");
        if (i == 100) calling->Open();
      }
    }).detach();
  }
  return calling->Wait();
}

bool Everything(forward_test::ScriptedService& service, const std::string& scratch) {
  return PluginsCallBack(service, scratch) && HostWaitsInExport(service, scratch) &&
         StoreWaits(service, scratch);
}

const std::map<std::string, Setup> kExitPoints = {
    {"store-wait", StoreWaits},
    {"chat-wait", ChatWaits},
    {"upload-wait", UploadWaits},
    {"migration", MigrationCopies},
    {"host-in-export", HostWaitsInExport},
    {"plugin-callbacks", PluginsCallBack},
    {"everything", Everything},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || kExitPoints.count(argv[1]) == 0) {
    std::fprintf(stderr, "usage: exit_driver <exit point> <shutdown|exit> <scratch folder>\n");
    return 2;
  }
  const bool shutDown = std::strcmp(argv[2], "shutdown") == 0;
  const std::string scratch = argv[3];
  IMAdapterSetLog((scratch + "/log").c_str());
  // Plugins live as long as the process, as real ones do.
  auto* service = new forward_test::ScriptedService();
  service->SetUser("me", "Me", "Me");
  service->SetGroup("g1", "Target group");
  IMAdapterStartup();
  if (!kExitPoints.at(argv[1])(*service, scratch)) {
    std::fprintf(stderr, "the adapter never reached the exit point\n");
    return 3;
  }
  std::printf("exiting\n");
  std::fflush(stdout);
  if (shutDown) IMAdapterShutDown();
  return 0;
}
