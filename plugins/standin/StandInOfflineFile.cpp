#include "plugins/standin/StandInOfflineFile.h"

#include <chrono>
#include <exception>
#include <filesystem>
#include <system_error>

#include "plugins/common/StandInJson.h"
#include "plugins/common/StandInSettings.h"

namespace standin {
namespace {

namespace fs = std::filesystem;

const char kLinkSchema[] =
    "CREATE TABLE IF NOT EXISTS links(code TEXT PRIMARY KEY, access_code TEXT, file_name TEXT,"
    " cloud_path TEXT, created_ms INTEGER NOT NULL, expire_ms INTEGER NOT NULL,"
    " forward_count INTEGER NOT NULL DEFAULT 0, updated_ms INTEGER NOT NULL);";
const char kLinkBase[] = "http://cloud.standin.local/f/";

int64_t NowMillis() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

Json::Value Notification(int32_t handle, int code, const Json::Value& fileRsp) {
  Json::Value note(Json::objectValue);
  note["notify"] = 1;
  note["description"] = "zeb_offlinefile_upload_result";
  note["param"]["code"] = code;
  note["param"]["file_handle"] = handle;
  note["param"]["filersp"] = fileRsp;
  return note;
}

}  // namespace

void StandInOfflineFile::Handle(const Json::Value& request, const Send& send) {
  try {
    if (!request["param"].isObject()) {
      send(MakeAnswer(request, 1, "param is missing"));
      return;
    }
    switch (RequestCmd(request)) {
      case kCmdUpload:
        Upload(request, send);
        return;
      case kCmdLinkUpdate:
        send(LinkUpdate(request));
        return;
      case kCmdQueryLink:
        send(QueryLink(request));
        return;
      default:
        send(MakeAnswer(request, 1, "unknown cmd " + std::to_string(RequestCmd(request))));
    }
  } catch (const std::exception& e) {
    send(MakeAnswer(request, 1, std::string("request failed: ") + e.what()));
  }
}

bool StandInOfflineFile::EnsureOpen(std::string* error) {
  const std::string dir = Setting("IM_CLOUD_DIR", "im_cloud");
  if (db_.IsOpen() && dir == cloudDir_) return true;
  std::error_code ec;
  fs::create_directories(fs::u8path(dir), ec);
  if (ec) {
    *error = "cannot make the cloud folder " + dir + ": " + ec.message();
    return false;
  }
  if (!db_.Open(dir + "/cloud.db", error)) return false;
  if (!db_.Exec(kLinkSchema, error)) {
    db_.Close();
    return false;
  }
  cloudDir_ = dir;
  return true;
}

bool StandInOfflineFile::AddLink(const std::string& code, const std::string& accessCode,
                                 int64_t expireMs, std::string* error) {
  if (!EnsureOpen(error)) return false;
  StandInStatement insert = db_.Prepare(
      "INSERT OR REPLACE INTO links(code, access_code, created_ms, expire_ms, updated_ms)"
      " VALUES(?1, ?2, ?3, ?4, ?3)",
      error);
  if (!insert.Valid()) return false;
  insert.BindText(1, code);
  insert.BindText(2, accessCode);
  insert.BindInt(3, NowMillis());
  insert.BindInt(4, expireMs);
  if (insert.Step() == 0) return true;
  *error = db_.LastError();
  return false;
}

std::string StandInOfflineFile::RandomText(const char* alphabet, int length) {
  const std::string letters = alphabet;
  std::uniform_int_distribution<size_t> pick(0, letters.size() - 1);
  std::string text;
  for (int i = 0; i < length; ++i) text += letters[pick(random_)];
  return text;
}

void StandInOfflineFile::Upload(const Json::Value& request, const Send& send) {
  const Json::Value& info = request["param"]["up_file_info"];
  const std::string path = TextMember(info, "file_path");
  std::error_code ec;
  std::string error;
  if (path.empty()) {
    send(MakeAnswer(request, 1, "up_file_info.file_path is missing"));
    return;
  }
  if (!fs::is_regular_file(fs::u8path(path), ec)) {
    send(MakeAnswer(request, 1, "file_path is not a readable file: " + path));
    return;
  }
  if (!EnsureOpen(&error)) {
    send(MakeAnswer(request, 1, error));
    return;
  }
  const int32_t handle = nextHandle_++;
  Json::Value answer = MakeAnswer(request, 0);
  answer["param"]["pfile_handle"] = handle;
  send(answer);
  std::string name = TextMember(info, "file_name");
  if (name.empty()) name = fs::u8path(path).filename().u8string();
  send(CopyToCloud(path, name, handle));
}

Json::Value StandInOfflineFile::CopyToCloud(const std::string& source, const std::string& name,
                                            int32_t handle) {
  const std::string code = RandomText("abcdefghijkmnpqrstuvwxyz23456789", 12);
  const std::string accessCode = RandomText("0123456789", 4);
  const fs::path folder = fs::u8path(cloudDir_) / "files" / code;
  const fs::path target = folder / fs::u8path(name).filename();
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (!ec) fs::copy_file(fs::u8path(source), target, fs::copy_options::overwrite_existing, ec);
  Json::Value fileRsp(Json::objectValue);
  if (ec) {
    fileRsp["status_code"] = 500;
    fileRsp["reason"] = "cannot copy the file: " + ec.message();
    return Notification(handle, 1, fileRsp);
  }
  std::string error;
  StandInStatement insert = db_.Prepare(
      "INSERT OR REPLACE INTO links(code, access_code, file_name, cloud_path, created_ms,"
      " expire_ms, updated_ms) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?5)",
      &error);
  const int64_t now = NowMillis();
  if (insert.Valid()) {
    insert.BindText(1, code);
    insert.BindText(2, accessCode);
    insert.BindText(3, name);
    insert.BindText(4, target.u8string());
    insert.BindInt(5, now);
    insert.BindInt(6, now + kLinkLifetimeMs);
    if (insert.Step() != 0) error = db_.LastError();
  }
  if (!error.empty()) {
    fileRsp["status_code"] = 500;
    fileRsp["reason"] = "cannot record the link: " + error;
    return Notification(handle, 1, fileRsp);
  }
  fileRsp["status_code"] = 200;
  fileRsp["url"] = kLinkBase + code;
  fileRsp["plain_access_code"] = accessCode;
  return Notification(handle, 0, fileRsp);
}

Json::Value StandInOfflineFile::LinkUpdate(const Json::Value& request) {
  const std::string code = TextMember(request["param"], "link_code");
  if (code.empty()) return MakeAnswer(request, 1, "link_code is missing");
  std::string error;
  if (!EnsureOpen(&error)) return MakeAnswer(request, 1, error);
  StandInStatement upsert = db_.Prepare(
      "INSERT INTO links(code, access_code, created_ms, expire_ms, forward_count, updated_ms)"
      " VALUES(?1, ?2, ?3, ?4, 1, ?3) ON CONFLICT(code) DO UPDATE SET"
      " forward_count = forward_count + 1, updated_ms = ?3,"
      " access_code = CASE WHEN ?2 = '' THEN access_code ELSE ?2 END",
      &error);
  if (!upsert.Valid()) return MakeAnswer(request, 1, error);
  const int64_t now = NowMillis();
  upsert.BindText(1, code);
  upsert.BindText(2, TextMember(request["param"], "access_code"));
  upsert.BindInt(3, now);
  upsert.BindInt(4, now + kLinkLifetimeMs);
  if (upsert.Step() != 0)
    return MakeAnswer(request, 1, "cannot record the link: " + db_.LastError());
  return MakeAnswer(request, 0);
}

Json::Value StandInOfflineFile::QueryLink(const Json::Value& request) {
  const std::string code = TextMember(request["param"], "link_code");
  if (code.empty()) return MakeAnswer(request, 1, "link_code is missing");
  std::string error;
  if (!EnsureOpen(&error)) return MakeAnswer(request, 1, error);
  StandInStatement select = db_.Prepare("SELECT expire_ms FROM links WHERE code = ?1", &error);
  if (!select.Valid()) return MakeAnswer(request, 1, error);
  select.BindText(1, code);
  if (select.Step() != 1) return MakeAnswer(request, 1, "unknown link " + code);
  const int64_t expireMs = select.ColumnInt(0);
  if (expireMs <= NowMillis()) return MakeAnswer(request, 1, "link " + code + " has expired");
  Json::Value answer = MakeAnswer(request, 0);
  answer["param"]["link_code"] = code;
  answer["param"]["expire_time"] = std::to_string(expireMs);
  return answer;
}

}  // namespace standin
