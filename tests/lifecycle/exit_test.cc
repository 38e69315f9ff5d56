// Exit at any moment: the test runs this same program as a child host that
// brings the adapter (the real library, with scripted plugins) into one state
// of the exit table, prints "exiting" and returns from main, with or without
// IMAdapterShutDown first. The child must end by itself with status 0, within
// 2 s of the exit call (no wait for a plugin time-out of 5 s or 35 s), and
// print no sanitizer report (a report of another thread may still end in 0).
//
//   exit_test <exit point> <shutdown|exit> <scratch folder>   (the child host)
#include <gtest/gtest.h>
#include <json/json.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "common/xml/XmlBuild.h"
#include "common/xml/XmlText.h"
#include "im_adapter/im_adapter.h"
#include "platform/Platform.h"
#include "tests/forward/ScriptedService.h"
#include "tests/util/ScratchFile.h"
#include "util/Utils.h"

namespace {

namespace fs = std::filesystem;
using forward_test::ScriptedService;
using scripted::Plugin;

// ---- The child host ----------------------------------------------------------

Json::Value Parse(const std::string& text) {
  Json::Value value;
  Json::Reader().parse(text, value);
  return value;
}

void Dispatch(const Json::Value& request) {
  const std::string text = Json::FastWriter().write(request);
  IMAdapterDispatchMsg(text.c_str(), static_cast<uint32_t>(text.size()), 5);
}

// Opens once (later opens do nothing); Wait gives up after 10 s.
class Gate {
 public:
  void Open() {
    std::call_once(once_, [this] { open_.set_value(); });
  }
  bool Wait() { return opened_.wait_for(std::chrono::seconds(10)) == std::future_status::ready; }

 private:
  std::once_flag once_;
  std::promise<void> open_;
  std::future<void> opened_ = open_.get_future();
};

Json::Value Record(const std::string& id, const std::string& text) {
  Json::Value r = Parse(R"({"convid":"src-conv","groupid":"src-conv","chattype":1,)"
                        R"("originaccount":"alice","mediatype":0,"status":1})");
  r["servermessageid"] = r["clientmessageid"] = id;
  r["recordid"] = "old-" + id;
  r["content"] = xml::Build(xml::XmlEscapeText(text), "", 0, false);
  r["utcstamp"] = r["timestamp"] = std::to_string(platform::NowUnixMillis());
  return r;
}

// A picture whose cloud copy has expired and whose local copy is found under
// the picture folder: forwarding it uploads it again.
Json::Value ExpiredPicture(const std::string& scratch) {
  platform::MakeDirectories(scratch + "/img/ScreenShot");
  testfiles::Write(scratch + "/img/ScreenShot/s.png", "shot");
  Json::Value entries = Parse(R"([{"file_name":"s.png","file_real_save_name":"s.png",)"
                              R"("file_type":"Img","um_url":"https://old.example/f/OLD",)"
                              R"("um_plain_access_code":"AC","expire":1}])");
  entries[0]["file_path"] = entries[0]["file_real_save_path"] = scratch + "/img/gone/s.png";
  Json::Value record =
      Record("shot", "/:um_begin{https://old.example/f/OLD|Img|4|s.png|0|;;|}/:um_end");
  record["mediatype"] = 3;
  record["filelist"] = util::Base64Encode(Json::FastWriter().write(entries));
  return record;
}

Json::Value Forward(const std::string& id, const std::string& scratch) {
  Json::Value request = Parse(R"({"cmd":1,"sno":1,"param":{"userAccount":"me","groupId":"g1"}})");
  request["param"]["msgIdList"].append(id);
  request["param"]["defaultImagePath"] = scratch + "/img";
  request["param"]["defaultFilePath"] = scratch + "/files";
  return request;
}

// Each exit point brings the adapter into its state and returns once it is
// there (false when it never got there).
using Setup = std::function<bool(ScriptedService&, const std::string& scratch)>;

// The plugin's first request opens the gate; the plugin never answers.
bool SilentPluginAsked(Plugin plugin, const Json::Value& request) {
  auto asked = std::make_shared<Gate>();
  scripted::SetHandler(plugin, [asked](const std::string&) { asked->Open(); });
  Dispatch(request);
  return asked->Wait();
}

bool StoreWaits(ScriptedService&, const std::string& scratch) {
  return SilentPluginAsked(Plugin::kStore, Forward("m1", scratch));
}

bool ChatWaits(ScriptedService& service, const std::string& scratch) {
  service.AddRecord(Record("m1", "one"));
  return SilentPluginAsked(Plugin::kIm, Forward("m1", scratch));
}

bool UploadWaits(ScriptedService& service, const std::string& scratch) {
  service.AddRecord(ExpiredPicture(scratch));
  auto uploading = std::make_shared<Gate>();
  // Uploads are accepted and never reported.
  scripted::SetHandler(Plugin::kOffline, [uploading](const std::string& text) {
    const Json::Value request = Parse(text);
    scripted::Answer(Plugin::kOffline, "{\"rsp\":" + request["cmd"].asString() + ",\"sno\":" +
                                           request["sno"].asString() +
                                           ",\"result\":0,\"param\":{\"pfile_handle\":7}}");
    if (request["cmd"].asInt() == 6) uploading->Open();
  });
  Dispatch(Forward("shot", scratch));
  return uploading->Wait();
}

// scratch's name on another volume (/dev/shm); "" when there is none.
std::string OnOtherVolume(const std::string& scratch) {
  std::string here;
  std::string there;
  const bool apart =
      platform::VolumeOf(scratch, &here) && platform::VolumeOf("/dev/shm", &there) && here != there;
  return apart ? "/dev/shm/" + fs::path(scratch).filename().string() : "";
}

// The files come from another volume, so each is copied beside its
// destination under a temporary name; on a single volume they are renamed.
bool MigrationCopies(ScriptedService&, const std::string& scratch) {
  std::string origin = OnOtherVolume(scratch);
  if (origin.empty()) origin = scratch + "/origin";
  const std::string audio = origin + "/ReceiveFiles/Audio";
  platform::MakeDirectories(audio);
  for (int i = 0; i < 3000; ++i) {
    testfiles::Write(audio + "/a" + std::to_string(i), std::string(4096, 'a'));
  }
  Json::Value request = Parse(R"({"cmd":4,"sno":4,"param":{"account":"me","migrationType":0}})");
  request["param"]["originReceiveFilesPath"] = origin;
  request["param"]["destinationReceiveFilesPath"] = scratch + "/destination";
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

bool HostWaitsInExport(ScriptedService&, const std::string&) {
  auto entered = std::make_shared<Gate>();
  std::thread([entered] {
    char* msg = nullptr;
    entered->Open();
    while (IMAdapterSendMsgExport(&msg)) IMAdapterFreeMsg(msg);
  }).detach();
  return entered->Wait();
}

bool PluginsCallBack(ScriptedService&, const std::string&) {
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

bool Everything(ScriptedService& service, const std::string& scratch) {
  return PluginsCallBack(service, scratch) && HostWaitsInExport(service, scratch) &&
         StoreWaits(service, scratch);
}

const std::map<std::string, Setup> kExitPoints = {
    {"store-wait", StoreWaits},
    {"chat-wait", ChatWaits},
    {"upload-wait", UploadWaits},
    {"migration", MigrationCopies},
    {"callbacks-export-and-store-wait", Everything},
};

int RunHost(const std::string& point, bool shutDown, const std::string& scratch) {
  IMAdapterSetLog((scratch + "/log").c_str());
  // Plugins live as long as the process, as real ones do.
  auto* service = new ScriptedService();
  service->SetUser("me", "Me", "Me");
  service->SetGroup("g1", "Target group");
  IMAdapterStartup();
  if (!kExitPoints.at(point)(*service, scratch)) {
    std::fprintf(stderr, "the adapter never reached the exit point\n");
    return 3;
  }
  std::printf("exiting\n");
  std::fflush(stdout);
  if (shutDown) IMAdapterShutDown();
  return 0;
}

// ---- The test ----------------------------------------------------------------

struct ExitRun {
  bool sawExiting = false;
  int status = -1;
  double secondsAfterExit = 0;
  std::string output;
};

ExitRun RunChild(const std::string& point, const std::string& mode, const fs::path& scratch) {
  ExitRun run;
  // A child that hangs (a sanitizer report during exit can deadlock) is killed.
  const std::string command = "timeout -s KILL 60 " + fs::read_symlink("/proc/self/exe").string() +
                              " " + point + " " + mode + " '" + scratch.string() + "' 2>&1";
  FILE* child = popen(command.c_str(), "r");
  if (child == nullptr) return run;
  std::chrono::steady_clock::time_point exitCall;
  char line[4096];
  while (std::fgets(line, sizeof line, child) != nullptr) {
    if (!run.sawExiting && std::string(line) == "exiting\n") {
      run.sawExiting = true;
      exitCall = std::chrono::steady_clock::now();
    } else {
      run.output += line;
    }
  }
  const int status = pclose(child);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.secondsAfterExit =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - exitCall).count();
  return run;
}

TEST(ExitTest, EveryExitPointEndsAtOnceWithStatusZero) {
  if (OnOtherVolume(fs::temp_directory_path().string()).empty()) {
    std::printf("no second volume (/dev/shm): the migration renames, it copies nothing\n");
  }
  for (const auto& entry : kExitPoints) {
    for (const char* mode : {"exit", "shutdown"}) {
      const std::string row = entry.first + " / " + mode;
      // The process id keeps two runs of this test (two build trees) apart.
      const fs::path scratch = fs::temp_directory_path() / ("im_exit_" + std::to_string(getpid()) +
                                                            "_" + entry.first + "_" + mode);
      const fs::path other = OnOtherVolume(scratch.string());
      for (const fs::path& folder : {scratch, other}) fs::remove_all(folder);
      fs::create_directories(scratch);
      const ExitRun run = RunChild(entry.first, mode, scratch);
      const bool reported = run.output.find("Sanitizer") != std::string::npos ||
                            run.output.find("runtime error:") != std::string::npos;
      EXPECT_TRUE(run.sawExiting && run.status == 0 && !reported)
          << row << ": status " << run.status << "\n"
          << run.output;
      // A generous bound that still tells an exit from a plugin time-out.
      EXPECT_LT(run.secondsAfterExit, 2.0) << row;
      for (const fs::path& folder : {scratch, other}) fs::remove_all(folder);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && kExitPoints.count(argv[1]) != 0) {
    return RunHost(argv[1], std::strcmp(argv[2], "shutdown") == 0, argv[3]);
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
