#include "tests/standin/StandInRecorder.h"

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <random>
#include <sstream>

#include "plugins/hostlink/StandInHost.h"

namespace standin_test {
namespace {

struct Log {
  std::mutex lock;
  std::condition_variable changed;
  std::vector<Received> texts;
};

Log& TheLog() {
  static Log log;
  return log;
}

void Record(const char* text, bool toAdapter) {
  Json::Value json;
  Json::CharReaderBuilder builder;
  std::string errors;
  std::istringstream in(text);
  Json::parseFromStream(builder, in, &json, &errors);
  std::lock_guard<std::mutex> guard(TheLog().lock);
  TheLog().texts.push_back(Received{toAdapter, json});
  TheLog().changed.notify_all();
}

int FromPlugin(const char* text) {
  Record(text, true);
  return 0;
}

int FromHostSink(const char* text) {
  Record(text, false);
  return 0;
}

const auto kWait = std::chrono::seconds(10);

}  // namespace

StandInRecorder::StandInRecorder(CallbackSetter setCallback) : setCallback_(setCallback) {
  Clear();
  setCallback_(&FromPlugin);
  StandInSetHostSink(&FromHostSink);
}

StandInRecorder::~StandInRecorder() {
  setCallback_(nullptr);
  StandInSetHostSink(nullptr);
}

bool StandInRecorder::WaitForCount(size_t count) {
  std::unique_lock<std::mutex> guard(TheLog().lock);
  return TheLog().changed.wait_for(guard, kWait, [&] { return TheLog().texts.size() >= count; });
}

bool StandInRecorder::WaitFor(const std::function<bool(const Received&)>& match, Received* out) {
  std::unique_lock<std::mutex> guard(TheLog().lock);
  return TheLog().changed.wait_for(guard, kWait, [&] {
    for (const Received& r : TheLog().texts) {
      if (match(r)) {
        *out = r;
        return true;
      }
    }
    return false;
  });
}

std::vector<Received> StandInRecorder::Snapshot() const {
  std::lock_guard<std::mutex> guard(TheLog().lock);
  return TheLog().texts;
}

void StandInRecorder::Clear() {
  std::lock_guard<std::mutex> guard(TheLog().lock);
  TheLog().texts.clear();
}

std::string Request(int cmd, const std::string& description, const Json::Value& param, int sno,
                    bool fromAdapter) {
  Json::Value request;
  request["cmd"] = cmd;
  request["description"] = description;
  request["param"] = param;
  request["sno"] = sno;
  if (fromAdapter) request["adapter"] = 1;
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  return Json::writeString(builder, request);
}

std::string FreshFolder(const std::string& name) {
  namespace fs = std::filesystem;
  // A random part keeps two runs of the same test (plain and sanitized) apart.
  static const std::string run = std::to_string(std::random_device{}());
  const fs::path dir = fs::temp_directory_path() / ("im_standin_test_" + run + "_" + name);
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir.string();
}

std::function<bool(const Received&)> AnswerTo(int sno) {
  return [sno](const Received& r) {
    return r.json.isMember("rsp") && r.json["sno"].isInt() && r.json["sno"].asInt() == sno;
  };
}

}  // namespace standin_test
