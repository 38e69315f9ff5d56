#include "adapter/src/migration/MigrationRequest.h"

#include "adapter/src/boundary/JsonText.h"

namespace {

std::optional<std::string> TextOf(const Json::Value& param, const char* key) {
  std::string text;
  if (!ReadTextMember(param, key, &text)) return std::nullopt;
  return text;
}

}  // namespace

MigrationRequest MigrationRequest::Read(const Json::Value& request) {
  MigrationRequest read;
  read.envelope = RequestEnvelope::Read(request);
  const Json::Value* param = FindMember(request, "param");
  if (param == nullptr || !param->isObject()) return read;
  read.paramIsObject = true;
  read.originReceiveFilesPath = TextOf(*param, "originReceiveFilesPath");
  read.destinationReceiveFilesPath = TextOf(*param, "destinationReceiveFilesPath");
  read.displayAccount = TextOf(*param, "displayAccount");
  read.account = TextOf(*param, "account");
  const Json::Value* type = FindMember(*param, "migrationType");
  if (type != nullptr && IsInt32(*type)) read.migrationType = type->asInt();
  return read;
}
