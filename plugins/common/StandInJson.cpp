#include "plugins/common/StandInJson.h"

#include <memory>

namespace standin {

bool ParseRequest(const char* text, uint32_t length, Json::Value* out, std::string* reason) {
  if (text == nullptr || length == 0) {
    *reason = "empty request";
    return false;
  }
  Json::CharReaderBuilder builder;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  std::string errors;
  if (!reader->parse(text, text + length, out, &errors)) {
    *reason = "request is not JSON";
    return false;
  }
  if (!out->isObject()) {
    *reason = "request is not a JSON object";
    return false;
  }
  return true;
}

std::string WriteCompact(const Json::Value& value) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  builder["commentStyle"] = "None";
  builder["emitUTF8"] = true;
  return Json::writeString(builder, value);
}

bool IsAdapterRequest(const Json::Value& request) {
  const Json::Value& flag = request["adapter"];
  return flag.isInt() && flag.asInt() == 1;
}

int32_t RequestCmd(const Json::Value& request) {
  const Json::Value& cmd = request["cmd"];
  return cmd.isInt() ? cmd.asInt() : 0;
}

Json::Value MakeAnswer(const Json::Value& request, int32_t result, const std::string& reason) {
  Json::Value answer(Json::objectValue);
  const int32_t cmd = request.isObject() ? RequestCmd(request) : 0;
  answer["rsp"] = cmd != 0 ? cmd : -1;
  if (request.isObject() && request.isMember("sno")) answer["sno"] = request["sno"];
  const std::string description =
      request.isObject() ? TextMember(request, "description") : std::string();
  if (!description.empty()) answer["description"] = description + "Rsp";
  answer["result"] = result;
  if (result != 0) answer["reason"] = reason;
  answer["param"] = Json::Value(Json::objectValue);
  return answer;
}

std::string TextMember(const Json::Value& object, const char* key, const std::string& fallback) {
  if (!object.isObject()) return fallback;
  const Json::Value& value = object[key];
  return value.isString() ? value.asString() : fallback;
}

}  // namespace standin
