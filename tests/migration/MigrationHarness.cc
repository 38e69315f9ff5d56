#include "tests/migration/MigrationHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "adapter/src/service/ImAdapterCmd.h"
#include "adapter/src/boundary/JsonText.h"
#include "adapter/src/migration/MigrationCommands.h"
#include "platform/Platform.h"

namespace fs = std::filesystem;

namespace migtest {

std::string ContentFor(const std::string& name, size_t size) {
  std::string content;
  content.reserve(size);
  const std::string pattern = "<" + name + ">";
  while (content.size() < size) content += pattern;
  content.resize(size);
  return content;
}

void WriteFile(const std::string& path, const std::string& content) {
  fs::create_directories(fs::path(path).parent_path());
  testfiles::Write(path, content);
}

std::string ReadFile(const std::string& path, bool* exists) {
  std::error_code ignored;
  if (exists) *exists = fs::exists(path, ignored);
  return testfiles::Read(path);
}

std::vector<std::string> FileNames(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> MakeFiles(const std::string& folder, int count, size_t size) {
  std::vector<std::string> names;
  fs::create_directories(folder);
  for (int i = 0; i < count; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "f%05d", i);
    names.push_back(name);
    WriteFile(folder + "/" + name, ContentFor(name, size));
  }
  return names;
}

namespace {

std::string Volume(const std::string& path) {
  std::string volume;
  return platform::VolumeOf(path, &volume) ? volume : std::string();
}

}  // namespace

SecondVolume::SecondVolume() {
  const std::string here = Volume(fs::temp_directory_path().string());
  const char* named = std::getenv("IM_TEST_SECOND_VOLUME");
  for (const std::string& candidate : {std::string(named ? named : ""), std::string("/dev/shm")}) {
    if (!Volume(candidate).empty() && Volume(candidate) != here) {
      base_ = candidate;
      return;
    }
  }
  if (platform::PathSeparator() != '/') return;
  mountPoint_ = std::make_unique<ScratchDir>();
  const std::string command =
      "mount -t tmpfs -o size=256m tmpfs '" + mountPoint_->path() + "' 2>/dev/null";
  if (std::system(command.c_str()) == 0 && Volume(mountPoint_->path()) != here) {
    mounted_ = true;
    base_ = mountPoint_->path();
  }
}

SecondVolume::~SecondVolume() {
  if (mounted_) std::system(("umount '" + mountPoint_->path() + "'").c_str());
}

Json::Value StartRequest(const std::string& origin, const std::string& destination, int type) {
  Json::Value request(Json::objectValue);
  request["cmd"] = 4;
  request["sno"] = 41;
  Json::Value& param = request["param"];
  param["originReceiveFilesPath"] = origin;
  param["destinationReceiveFilesPath"] = destination;
  param["displayAccount"] = "display";
  param["account"] = "account";
  param["migrationType"] = type;
  return request;
}

void Send(const Json::Value& request) { SendText(Json::FastWriter().write(request)); }

void SendText(const std::string& request) {
  ImAdapterCmd::Instance().ProcessRecvMsg(request.c_str());
}

Json::Value Next(std::chrono::milliseconds wait) {
  const std::unique_ptr<char, decltype(&std::free)> text(
      ImAdapterCmd::Instance().Queues().TakeOutboundFor(wait), &std::free);
  Json::Value value;
  EXPECT_TRUE(text == nullptr || ParseJsonText(text.get(), value) == 0);
  return value;
}

void DrainOutbound() {
  while (!Next(std::chrono::milliseconds(0)).isNull()) {
  }
}

namespace {

// (The notifications' envelope is the host channel's test.)
void Sort(const Json::Value& message, RunLog* log) {
  const Json::Value& param = message["param"];
  if (!message.isMember("notify")) {
    log->replies.push_back(message);
  } else if (param["notifyType"].asString() == "progressNotify") {
    log->progress.push_back(param);
  } else {
    EXPECT_EQ(param["notifyType"].asString(), "statusNotify");
    log->status.push_back(param);
  }
}

}  // namespace

RunLog CollectRun(bool waitForThreads) {
  RunLog log;
  while (log.status.empty()) {
    Json::Value message = Next();
    if (message.isNull()) {
      ADD_FAILURE() << "no status notification arrived";
      break;
    }
    Sort(message, &log);
  }
  EXPECT_TRUE(!waitForThreads || WaitForMigrationThreadsFor(std::chrono::milliseconds(20000)));
  for (Json::Value message = Next(std::chrono::milliseconds(0)); !message.isNull();
       message = Next(std::chrono::milliseconds(0))) {
    Sort(message, &log);
  }
  return log;
}

}  // namespace migtest
