#include "fuzz/support/ScriptedPlugins.h"

#include <chrono>
#include <utility>

#include "adapter/src/boundary/JsonText.h"
#include "adapter/src/boundary/PluginApi.h"
#include "adapter/src/service/ImAdapterService.h"
#include "tests/support/HubSync.h"
#include "util/Utils.h"

namespace fuzz {

namespace {

constexpr char kSeparator[] = "\n#\n";
constexpr size_t kSeparatorSize = sizeof(kSeparator) - 1;
constexpr std::chrono::milliseconds kWait{10};
// Far from the adapter's serial numbers (32767 … 65535).
constexpr int32_t kWrongSnoOffset = 100000;

void Post(const std::string& text) { IMAdapterServiceCallback(text.c_str()); }

}  // namespace

std::vector<std::string> SplitPieces(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> pieces;
  size_t start = 0;
  for (size_t at; (at = input.find(kSeparator, start)) != std::string::npos;
       start = at + kSeparatorSize) {
    pieces.push_back(input.substr(start, at - start));
  }
  pieces.push_back(input.substr(start));
  return pieces;
}

std::string Substitute(const std::string& text, const std::string& mark, const std::string& value) {
  std::string out = text;
  for (size_t at = out.find(mark); at != std::string::npos; at = out.find(mark, at)) {
    out.replace(at, mark.size(), value);
    at += value.size();
  }
  return out;
}

std::string ExpandBase64Marks(const std::string& text) {
  static const std::string kOpen = "$B64(";
  static const std::string kClose = ")B64$";
  std::string out = text;
  for (size_t at = out.find(kOpen); at != std::string::npos; at = out.find(kOpen, at)) {
    const size_t end = out.find(kClose, at + kOpen.size());
    if (end == std::string::npos) break;
    const std::string encoded =
        util::Base64Encode(out.substr(at + kOpen.size(), end - at - kOpen.size()));
    out.replace(at, end + kClose.size() - at, encoded);
    at += encoded.size();
  }
  return out;
}

std::string WithSno(const std::string& text, int32_t sno) {
  return Substitute(text, "$SNO", std::to_string(sno));
}

ScriptedPlugins& ScriptedPlugins::Instance() {
  static ScriptedPlugins* instance = new ScriptedPlugins();  // lives as long as the process
  return *instance;
}

ScriptedPlugins::ScriptedPlugins() {
  hub_sync::InstallPlugins<Receive>();
  platform::SetDialogBackendForTesting(this);
  hub_sync::SetTimeouts(kWait, kWait, kWait);
}

void ScriptedPlugins::Begin(std::vector<std::string> answers) {
  std::lock_guard<std::mutex> lock(mutex_);
  answers_ = std::move(answers);
  next_ = 0;
  held_.clear();
  lastSno_ = 0;
  requests_ = 0;
}

void ScriptedPlugins::End() {
  GiveHeld();
  std::lock_guard<std::mutex> lock(mutex_);
  answers_.clear();
  next_ = 0;
}

int32_t ScriptedPlugins::LastSno() {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastSno_;
}

bool ScriptedPlugins::WaitForRequest(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return requested_.wait_for(lock, timeout, [this] { return requests_ > 0; });
}

int ScriptedPlugins::Receive(uint32_t, const char* text, uint32_t length) {
  Instance().OnRequest(text, length);
  return 0;
}

bool ScriptedPlugins::NextPiece(std::string* piece) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (next_ >= answers_.size()) return false;
  *piece = answers_[next_++];
  return true;
}

void ScriptedPlugins::GiveHeld() {
  std::vector<std::string> held;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    held.swap(held_);
  }
  for (const std::string& text : held) Post(text);
}

void ScriptedPlugins::OnRequest(const char* text, uint32_t length) {
  const Json::Value request = hub_sync::ParseJson(std::string(text, length));
  const int32_t sno = request.isObject() && IsInt32(request["sno"]) ? request["sno"].asInt() : 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    lastSno_ = sno;
    ++requests_;
    requested_.notify_all();
  }
  GiveHeld();
  std::string piece;
  if (!NextPiece(&piece) || piece.empty()) return;
  const std::string body = piece.substr(1);
  switch (piece[0]) {
    case '3':
      Post(WithSno(body, sno));
      [[fallthrough]];
    case '1':
      Post(WithSno(body, sno));
      break;
    case '2': {
      std::lock_guard<std::mutex> lock(mutex_);
      held_.push_back(WithSno(body, sno));
      break;
    }
    case '4':
      Post(body);
      break;
    case '5':
      Post(WithSno(body, sno + kWrongSnoOffset));
      break;
    case '6':
      Post(WithSno(body, sno));
      if (NextPiece(&piece) && !piece.empty()) Post(WithSno(piece.substr(1), sno));
      break;
  }
}

platform::DialogOutcome ScriptedPlugins::NextDialog() {
  platform::DialogOutcome outcome;
  std::string piece;
  if (!NextPiece(&piece) || piece.empty()) return outcome;  // cancelled
  switch (piece[0]) {
    case '1':
      outcome.status = platform::DialogStatus::kChosen;
      outcome.path = piece.substr(1);
      break;
    case '2':
      outcome.status = platform::DialogStatus::kPathTooLong;
      outcome.errorCode = platform::kDialogErrBufferTooSmall;
      break;
    case '3':
      outcome.status = platform::DialogStatus::kFailed;
      outcome.errorCode = platform::kDialogErrUnavailable;
      outcome.detail = piece.substr(1);
      break;
  }
  return outcome;
}

platform::DialogOutcome ScriptedPlugins::SaveFile(const platform::SaveFileDialogOptions&) {
  return NextDialog();
}

platform::DialogOutcome ScriptedPlugins::ChooseFolder(const platform::ChooseFolderDialogOptions&) {
  return NextDialog();
}

}  // namespace fuzz
