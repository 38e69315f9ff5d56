// File-list, group and contact JSON conversion.
#include <gtest/gtest.h>
#include <json/json.h>

#include <string>
#include <vector>

#include "adapter/src/ImAdapterConvertJson.h"
#include "adapter/src/JsonText.h"

namespace {

Json::Value Parse(const std::string& text) {
  Json::Value v;
  EXPECT_EQ(ParseJsonText(text, v), 0) << text;
  return v;
}

// Converts a one-element array holding `element` and returns the item.
FileListItem ReadOne(const Json::Value& element) {
  Json::Value array(Json::arrayValue);
  array.append(element);
  std::vector<FileListItem> list;
  ConvertJsonToFileList(array, list);
  EXPECT_EQ(list.size(), 1u);
  return list.empty() ? FileListItem() : list.front();
}

FileListItem ReadOneText(const std::string& text) { return ReadOne(Parse(text)); }

using F = FileListItem;

TEST(FileListTest, TextFieldsReadOnlyStrings) {
  // clang-format off
  const std::pair<const char*, std::string F::*> fields[] = {
      {"message_server_chat_id_str", &F::message_server_chat_id_str}, {"file_name", &F::file_name},
      {"file_path", &F::file_path}, {"file_real_save_name", &F::file_real_save_name},
      {"file_real_save_path", &F::file_real_save_path}, {"file_type", &F::file_type},
      {"um_url", &F::um_url}, {"um_plain_access_code", &F::um_plain_access_code},
      {"onlyId", &F::onlyId}, {"emotionId", &F::emotionId}, {"objectId", &F::objectId},
      {"cdnUrl", &F::cdnUrl}};
  // clang-format on
  for (const auto& f : fields) {
    SCOPED_TRACE(f.first);
    Json::Value element(Json::objectValue);
    element[f.first] = "val";
    EXPECT_EQ(ReadOne(element).*f.second, "val");
    for (const Json::Value& bad :
         {Json::Value(5), Json::Value(true), Json::Value(), Json::Value(Json::objectValue)}) {
      element[f.first] = bad;
      EXPECT_EQ(ReadOne(element).*f.second, "");
    }
  }
}

// Numbers and pixel sizes of one element, as "handle size expire duration width/height".
TEST(FileListTest, NumberAndPixelFieldsAcceptTheirForms) {
  const std::pair<const char*, std::string> cases[] = {
      {R"({})", "-1 0 0 0 /"},
      {R"({"file_handle":12,"file_size":1024,"expire":1700000000,"duration":9})",
       "12 1024 1700000000 9 /"},
      {R"({"file_size":"5000000000"})", "-1 705032704 0 0 /"},
      {R"({"file_size":"  77kB"})", "-1 77 0 0 /"},
      {R"({"file_size":"x"})", "-1 0 0 0 /"},
      {R"({"file_size":-1})", "-1 0 0 0 /"},
      {R"({"file_size":4294967295})", "-1 4294967295 0 0 /"},
      {R"({"file_size":4294967296})", "-1 0 0 0 /"},
      {R"({"expire":""})", "-1 0 0 0 /"},
      {R"({"expire":"1700000000"})", "-1 0 1700000000 0 /"},
      {R"({"expire":1700000000.0})", "-1 0 1700000000 0 /"},
      {R"({"expire":true})", "-1 0 0 0 /"},
      {R"({"expire":"-1"})", "-1 0 4294967295 0 /"},
      {R"({"duration":"9","file_handle":"3"})", "-1 0 0 0 /"},
      {R"({"duration":-9,"file_handle":-9})", "-9 0 0 0 /"},
      {R"({"file_handle":2147483648})", "-1 0 0 0 /"},
      {R"({"width":640,"height":480})", "-1 0 0 0 640/480"},
      {R"({"width":"640","height":"480px"})", "-1 0 0 0 640/480px"},
      {R"({"width":-5,"height":1.5})", "-1 0 0 0 /"},
      {R"({"width":640.0,"height":true})", "-1 0 0 0 640/"},
      {R"({"width":"","height":null})", "-1 0 0 0 /"}};
  for (const auto& [element, expected] : cases) {
    const FileListItem item = ReadOneText(element);
    EXPECT_EQ(std::to_string(item.file_handle) + " " + std::to_string(item.file_size) + " " +
                  std::to_string(item.expire) + " " + std::to_string(item.duration) + " " +
                  item.width + "/" + item.height,
              expected)
        << element;
  }
}

TEST(FileListTest, ArrayShapes) {
  std::vector<FileListItem> list(1);
  list[0].file_name = "existing";
  ConvertJsonToFileList(Parse(R"([{"file_name":"a"},{"file_name":"b"}])"), list);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].file_name + list[1].file_name + list[2].file_name, "existingab");

  // Empty and null arrays add nothing; neither does an object or a string.
  for (const Json::Value& v :
       {Parse("[]"), Json::Value(), Parse(R"({"file_name":"a"})"), Json::Value("[]")}) {
    std::vector<FileListItem> none;
    EXPECT_NO_THROW(ConvertJsonToFileList(v, none));
    EXPECT_TRUE(none.empty()) << v.toStyledString();
  }

  // An element that is not an object still takes its place, with defaults.
  std::vector<FileListItem> mixed;
  EXPECT_NO_THROW(ConvertJsonToFileList(Parse(R"(["x",[1],null,{"file_name":"d"}])"), mixed));
  ASSERT_EQ(mixed.size(), 4u);
  EXPECT_EQ(mixed[0].file_handle, -1);
  EXPECT_EQ(mixed[0].file_name + mixed[3].file_name, "d");
}

TEST(FileListTest, WritesTheAlwaysKeysAndAppends) {
  FileListItem item;
  item.file_name = "a.png";
  item.convid = "never written";
  Json::Value out;
  ConvertFileListToJson({item}, out);
  ASSERT_TRUE(out.isArray());
  ASSERT_EQ(out.size(), 1u);
  Json::Value expected(Json::objectValue);
  expected["file_name"] = "a.png";
  expected["file_size"] = "0";
  expected["file_handle"] = -1;
  expected["duration"] = 0;
  expected["expire"] = 0;
  // Compared as text: the writer's number form is what the store receives.
  EXPECT_EQ(StyledJsonText(out[0]), StyledJsonText(expected));
  EXPECT_TRUE(out[0]["file_size"].isString());

  // Writing appends to an array, makes one of a null and leaves any other output alone.
  ConvertFileListToJson({FileListItem(), FileListItem()}, out);
  EXPECT_EQ(out.size(), 3u);
  Json::Value object = Parse(R"({"a":1})");
  EXPECT_NO_THROW(ConvertFileListToJson({FileListItem()}, object));
  EXPECT_EQ(object, Parse(R"({"a":1})"));
  Json::Value empty;
  ConvertFileListToJson({}, empty);
  EXPECT_TRUE(empty.isArray());
  EXPECT_EQ(empty.size(), 0u);
}

TEST(FileListTest, TextToListToTextKeepsTheText) {
  // A full entry and a sparse one, as the writer puts them into a record.
  Json::Value source = Parse(R"([
    {"file_handle":3,"message_server_chat_id_str":"s1","file_name":"报告.pdf",
     "file_path":"/r/报告.pdf","file_real_save_name":"r.pdf","file_real_save_path":"/r",
     "file_type":"pdf","file_size":"3000000000","um_url":"u/1","um_plain_access_code":"k",
     "width":"640","height":"480","onlyId":"acc1700","expire":1700000000,"duration":4,
     "emotionId":"e","objectId":"o","cdnUrl":"https://cdn/1"},
    {"file_name":"b","file_size":"0","file_handle":-1,"duration":0,"expire":0}])");
  const std::string text = StyledJsonText(source);

  std::vector<FileListItem> list;
  ConvertJsonToFileList(Parse(text), list);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].file_size, 3000000000u);
  Json::Value written;
  ConvertFileListToJson(list, written);
  EXPECT_EQ(StyledJsonText(written), text);
}

using G = GroupInfo;

struct GroupField {
  const char* key;
  std::string G::*text;
  int32_t G::*number;
  int32_t defaultNumber;
};

const std::vector<GroupField>& GroupFields() {
  // clang-format off
  static const std::vector<GroupField> fields = {
      {"id", nullptr, &G::id, 0}, {"groupid", &G::groupid, nullptr, 0},
      {"group_groupid", &G::group_groupid, nullptr, 0}, {"capacity", nullptr, &G::capacity, 0},
      {"name", &G::name, nullptr, 0}, {"enname", &G::enname, nullptr, 0},
      {"owner", &G::owner, nullptr, 0}, {"desc", &G::desc, nullptr, 0},
      {"grouptype", nullptr, &G::grouptype, 0}, {"joinflag", nullptr, &G::joinflag, 0},
      {"manifesto", &G::manifesto, nullptr, 0}, {"msgpolicytype", nullptr, &G::msgpolicytype, 0},
      {"state", nullptr, &G::state, 0}, {"settop", nullptr, &G::settop, 0},
      {"orderby", nullptr, &G::orderby, 0}, {"timestamp", &G::timestamp, nullptr, 0},
      {"isfixed", nullptr, &G::isfixed, 0}, {"exparams", &G::exparams, nullptr, 0},
      {"singlefilespace", nullptr, &G::singlefilespace, 0},
      {"groupspaceid", &G::groupspaceid, nullptr, 0},
      {"groupspacename", &G::groupspacename, nullptr, 0},
      {"isinitgroupname", nullptr, &G::isinitgroupname, -1},
      {"syncmembertime", &G::syncmembertime, nullptr, 0},
      {"singlefilespacestr", &G::singlefilespacestr, nullptr, 0},
      {"teamnotifyisread", nullptr, &G::teamnotifyisread, -1},
      {"tenantId", &G::tenantId, nullptr, 0}, {"crossCorpGroup", nullptr, &G::crossCorpGroup, 0},
      {"groupExtData", &G::groupExtData, nullptr, 0},
      {"isGroupDisableSendMsg", nullptr, &G::isGroupDisableSendMsg, 1},
      {"enableExternalDisplay", nullptr, &G::enableExternalDisplay, 0},
      {"showHisMsgPolicy", nullptr, &G::showHisMsgPolicy, -1},
      {"defaultIconList", &G::defaultIconList, nullptr, 0},
      {"groupIcon", &G::groupIcon, nullptr, 0}, {"markState", nullptr, &G::markState, 0}};
  // clang-format on
  return fields;
}

TEST(GroupInfoTest, EveryFieldReadsItsOwnTypeAndKeepsItsDefaultOtherwise) {
  // One object with every key of the right type, one with every key wrong.
  Json::Value good(Json::objectValue);
  Json::Value bad(Json::objectValue);
  int32_t n = 11;
  for (const GroupField& f : GroupFields()) {
    if (f.text != nullptr) {
      good[f.key] = std::string("g-") + f.key;
      bad[f.key] = 3;
    } else {
      good[f.key] = n++;
      bad[f.key] = std::to_string(n);
    }
  }
  GroupInfo read;
  ConvertJsonToGroupInfo(good, read);
  GroupInfo untouched;
  ConvertJsonToGroupInfo(bad, untouched);
  GroupInfo missing;
  ConvertJsonToGroupInfo(Json::Value(Json::objectValue), missing);
  for (const Json::Value& item : {Json::Value("g"), Parse(R"([{"name":"n"}])"), Json::Value()}) {
    EXPECT_NO_THROW(ConvertJsonToGroupInfo(item, missing));
  }
  n = 11;
  for (const GroupField& f : GroupFields()) {
    SCOPED_TRACE(f.key);
    if (f.text != nullptr) {
      EXPECT_EQ(read.*f.text, std::string("g-") + f.key);
      EXPECT_EQ(untouched.*f.text, "");
      EXPECT_EQ(missing.*f.text, "");
    } else {
      EXPECT_EQ(read.*f.number, n++);
      EXPECT_EQ(untouched.*f.number, f.defaultNumber);
      EXPECT_EQ(missing.*f.number, f.defaultNumber);
    }
  }
}

TEST(UserInfoTest, ReadsTheTwoNamesWhenStrings) {
  struct Case {
    const char* item;
    const char* name;
    const char* foreignName;
  };
  const Case cases[] = {
      {R"({"name":"张三","foreignName":"Zhang San","account":"z1"})", "张三", "Zhang San"},
      {R"({"name":"only"})", "only", ""},
      {R"({"name":1,"foreignName":{"en":"x"}})", "", ""},
      {R"({"name":null,"foreignName":["x"]})", "", ""},
      {R"(["name","foreignName"])", "", ""},
      {R"({})", "", ""}};
  for (const Case& c : cases) {
    UserInfo user;
    EXPECT_NO_THROW(ConvertJsonToUserInfo(Parse(c.item), user));
    EXPECT_EQ(user.name, c.name) << c.item;
    EXPECT_EQ(user.foreignName, c.foreignName) << c.item;
  }
}

}  // namespace
