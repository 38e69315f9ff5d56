// File-list, group and contact JSON conversion.
#include <gtest/gtest.h>
#include <json/json.h>

#include <string>
#include <vector>

#include "adapter/src/content/ImAdapterConvertJson.h"
#include "adapter/src/boundary/JsonText.h"

namespace {

Json::Value Parse(const std::string& text) {
  Json::Value v;
  EXPECT_EQ(ParseJsonText(text, v), 0) << text;
  return v;
}

// Numbers and pixel sizes of a one-element list, as "handle size expire duration width/height".
TEST(FileListTest, NumberAndPixelFieldsAcceptTheirForms) {
  const std::pair<const char*, std::string> cases[] = {
      {R"({})", "-1 0 0 0 /"}, {R"({"file_size":"x"})", "-1 0 0 0 /"},
      {R"({"file_handle":12,"file_size":1024,"expire":1700000000,"duration":9})",
       "12 1024 1700000000 9 /"},
      {R"({"file_size":"5000000000"})", "-1 705032704 0 0 /"},
      {R"({"file_size":"  77kB"})", "-1 77 0 0 /"},
      {R"({"file_size":-1})", "-1 0 0 0 /"}, {R"({"expire":""})", "-1 0 0 0 /"},
      {R"({"file_size":1e3,"duration":123456789012345678901234})", "-1 1000 0 0 /"},
      {R"({"file_size":4294967295})", "-1 4294967295 0 0 /"},
      {R"({"file_size":4294967296})", "-1 0 0 0 /"},
      {R"({"expire":"1700000000"})", "-1 0 1700000000 0 /"},
      {R"({"expire":1700000000.0})", "-1 0 1700000000 0 /"},
      {R"({"expire":true})", "-1 0 0 0 /"}, {R"({"expire":"-1"})", "-1 0 4294967295 0 /"},
      {R"({"duration":"9","file_handle":"3"})", "-1 0 0 0 /"},
      {R"({"duration":-9,"file_handle":-9})", "-9 0 0 0 /"},
      {R"({"file_handle":2147483648})", "-1 0 0 0 /"},
      {R"({"width":640,"height":480})", "-1 0 0 0 640/480"},
      {R"({"width":"640","height":"480px"})", "-1 0 0 0 640/480px"},
      {R"({"width":-5,"height":1.5})", "-1 0 0 0 /"}, {R"({"height":null})", "-1 0 0 0 /"},
      {R"({"width":""})", "-1 0 0 0 /"},
      {R"({"width":640.0,"height":true})", "-1 0 0 0 640/"}};
  for (const auto& [element, expected] : cases) {
    std::vector<FileListItem> list;
    ConvertJsonToFileList(Parse(std::string("[") + element + "]"), list);
    ASSERT_EQ(list.size(), 1u) << element;
    const FileListItem& item = list[0];
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

// A full entry and a sparse one (only the keys always written) read and are written back
// to the same text; writing appends to an array, makes one of a null, leaves an object alone.
TEST(FileListTest, TextToListToTextKeepsTheText) {
  const std::string text = StyledJsonText(Parse(R"([
    {"file_handle":3,"message_server_chat_id_str":"s1","file_name":"报告.pdf",
     "file_path":"/r/报告.pdf","file_real_save_name":"r.pdf","file_real_save_path":"/r",
     "file_type":"pdf","file_size":"3000000000","um_url":"u/1","um_plain_access_code":"k",
     "width":"640","height":"480","onlyId":"acc1700","expire":1700000000,"duration":4,
     "emotionId":"e","objectId":"o","cdnUrl":"https://cdn/1"},
    {"file_name":"b","file_size":"0","file_handle":-1,"duration":0,"expire":0}])"));
  std::vector<FileListItem> list;
  ConvertJsonToFileList(Parse(text), list);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].file_size, 3000000000u);
  list[1].convid = "never written";
  Json::Value written;
  ConvertFileListToJson(list, written);
  EXPECT_EQ(StyledJsonText(written), text);

  ConvertFileListToJson({FileListItem()}, written);
  EXPECT_EQ(written.size(), 3u);
  Json::Value object = Parse(R"({"a":1})");
  EXPECT_NO_THROW(ConvertFileListToJson({FileListItem()}, object));
  EXPECT_EQ(object, Parse(R"({"a":1})"));
  Json::Value empty;
  ConvertFileListToJson({}, empty);
  EXPECT_EQ(empty, Json::Value(Json::arrayValue));
}

// The group conversion shares the field reader whose type rules RecordInfoTest covers field by
// field; here: a store answer, wrong types keeping the defaults, and items that are not objects.
TEST(GroupInfoTest, ReadsTheStoreAnswer) {
  GroupInfo group;
  ConvertJsonToGroupInfo(Parse(R"({"groupid":"g1","name":"Team","capacity":500,"owner":7,
      "isGroupDisableSendMsg":"0","showHisMsgPolicy":2,"teamnotifyisread":1.5,"other":1})"),
                         group);
  EXPECT_EQ(group.groupid + "|" + group.name + "|" + group.owner, "g1|Team|");
  EXPECT_EQ(group.capacity, 500);
  EXPECT_EQ(group.showHisMsgPolicy, 2);
  EXPECT_EQ(group.isGroupDisableSendMsg, 1);
  EXPECT_EQ(group.teamnotifyisread, -1);
  for (const Json::Value& item : {Json::Value("g"), Parse(R"([{"name":"n"}])"), Json::Value()}) {
    EXPECT_NO_THROW(ConvertJsonToGroupInfo(item, group));
    EXPECT_EQ(group.name, "Team");
  }
}

TEST(UserInfoTest, ReadsTheTwoNamesWhenStrings) {
  // {item, "name|foreignName"}
  const std::pair<const char*, const char*> cases[] = {
      {R"({"name":"张三","foreignName":"Zhang San","account":"z1"})", "张三|Zhang San"},
      {R"({"name":"only"})", "only|"}, {R"({"name":1,"foreignName":{"en":"x"}})", "|"},
      {R"({"name":null,"foreignName":["x"]})", "|"}, {R"(["name","foreignName"])", "|"},
      {R"({})", "|"}};
  for (const auto& [item, expected] : cases) {
    UserInfo user;
    EXPECT_NO_THROW(ConvertJsonToUserInfo(Parse(item), user));
    EXPECT_EQ(user.name + "|" + user.foreignName, expected) << item;
  }
}

}  // namespace
