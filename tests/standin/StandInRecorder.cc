#include "tests/standin/StandInRecorder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <random>
#include <sstream>
#include <vector>

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

template <bool kToAdapter>
int Record(const char* text) {
  const Json::Value json = Parse(text);
  std::lock_guard<std::mutex> guard(TheLog().lock);
  TheLog().texts.push_back(Received{kToAdapter, json});
  TheLog().changed.notify_all();
  return 0;
}

template <typename Done>
bool Wait(Done done) {
  std::unique_lock<std::mutex> guard(TheLog().lock);
  return TheLog().changed.wait_for(guard, std::chrono::seconds(10), done);
}

}  // namespace

Json::Value Parse(const std::string& text) {
  Json::Value json;
  std::string errors;
  std::istringstream in(text);
  Json::parseFromStream(Json::CharReaderBuilder(), in, &json, &errors);
  return json;
}

StandInRecorder::StandInRecorder(CallbackSetter setCallback, Import import)
    : setCallback_(setCallback), import_(import) {
  {
    std::lock_guard<std::mutex> guard(TheLog().lock);
    TheLog().texts.clear();
  }
  setCallback_(&Record<true>);
  StandInSetHostSink(&Record<false>);
}

StandInRecorder::~StandInRecorder() {
  setCallback_(nullptr);
  StandInSetHostSink(nullptr);
}

void StandInRecorder::Send(const std::string& text) const {
  import_(text.data(), static_cast<uint32_t>(text.size()));
}

Json::Value StandInRecorder::Ask(int cmd, const Json::Value& param, bool fromAdapter) {
  const int sno = ++lastSno_;
  Send(Request(cmd, param, sno, fromAdapter));
  Received got;
  const bool answered = Wait([&] {
    for (const Received& r : TheLog().texts) {
      if (r.json.isMember("rsp") && r.json["sno"].isInt() && r.json["sno"].asInt() == sno) {
        got = r;
        return true;
      }
    }
    return false;
  });
  if (!answered) return Json::Value();
  EXPECT_EQ(got.toAdapter, fromAdapter) << "answered to the wrong side";
  return got.json;
}

bool StandInRecorder::WaitForCount(size_t count) const {
  return Wait([&] { return TheLog().texts.size() >= count; });
}

std::vector<Received> StandInRecorder::Snapshot() const {
  std::lock_guard<std::mutex> guard(TheLog().lock);
  return TheLog().texts;
}

std::string Request(int cmd, const Json::Value& param, int sno, bool fromAdapter) {
  Json::Value request;
  request["cmd"] = cmd;
  request["description"] = "test";
  request["param"] = param;
  request["sno"] = sno;
  if (fromAdapter) request["adapter"] = 1;
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  return Json::writeString(builder, request);
}

int64_t Count(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  sqlite3_stmt* statement = nullptr;
  int64_t count = -1;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
      sqlite3_step(statement) == SQLITE_ROW) {
    count = sqlite3_column_int64(statement, 0);
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return count;
}

namespace {

// The folders this run made, removed when the test program ends. Never
// destroyed: the exit handler reads it after the static destructors began.
std::vector<std::string>& MadeFolders() {
  static auto* const folders = new std::vector<std::string>();
  return *folders;
}

void RemoveMadeFolders() {
  std::error_code ignored;  // a plugin may still hold a file open (Windows)
  for (const std::string& dir : MadeFolders()) std::filesystem::remove_all(dir, ignored);
}

}  // namespace

std::string FreshFolder(const std::string& name) {
  namespace fs = std::filesystem;
  // A random part keeps two runs of the same test (plain and sanitized) apart.
  static const std::string run = std::to_string(std::random_device{}());
  const fs::path dir = fs::temp_directory_path() / ("im_standin_test_" + run + "_" + name);
  fs::remove_all(dir);
  fs::create_directories(dir);
  if (MadeFolders().empty()) std::atexit(RemoveMadeFolders);
  MadeFolders().push_back(dir.string());
  return dir.string();
}

std::string FreshFolderForTest() {
  return FreshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
}

}  // namespace standin_test
