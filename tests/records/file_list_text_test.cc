// ConvertJsonTextToFileList must give exactly what parsing the text and
// ConvertJsonToFileList give, whichever way it reads the text.
#include <gtest/gtest.h>
#include <json/json.h>

#include <random>
#include <string>
#include <vector>

#include "adapter/src/content/ImAdapterConvertJson.h"
#include "adapter/src/boundary/JsonText.h"

namespace {

// Every field of an item on one line, for comparison and failure output.
std::string Describe(const FileListItem& f) {
  return std::to_string(f.file_handle) + "|" + f.message_server_chat_id_str + "|" + f.file_name +
         "|" + f.file_path + "|" + f.file_real_save_name + "|" + f.file_real_save_path + "|" +
         f.file_type + "|" + std::to_string(f.file_size) + "|" + f.um_url + "|" +
         f.um_plain_access_code + "|" + f.width + "|" + f.height + "|" + f.onlyId + "|" +
         std::to_string(f.expire) + "|" + std::to_string(f.duration) + "|" + f.emotionId + "|" +
         f.objectId + "|" + f.cdnUrl;
}

// The text conversion against the general path (a JSON document, then the document
// conversion), both appending to a list that already holds one item.
void ExpectSameAsDocumentPath(const std::string& text) {
  std::vector<FileListItem> expected(1);
  expected[0].file_name = "before";
  std::vector<FileListItem> actual = expected;
  Json::Value array;
  const bool expectedOk = ParseJsonText(text, array) == 0;
  if (expectedOk) ConvertJsonToFileList(array, expected);
  EXPECT_EQ(ConvertJsonTextToFileList(text, actual), expectedOk) << text;
  ASSERT_EQ(actual.size(), expected.size()) << text;
  for (size_t i = 0; i < actual.size(); ++i) {
    EXPECT_EQ(Describe(actual[i]), Describe(expected[i])) << text;
  }
}

TEST(FileListTextTest, MatchesTheDocumentPathOnChosenTexts) {
  const char* texts[] = {
      "[]", " \n[ ] \t", "", "x", "{}", R"({"file_name":"a"})", R"("text")",
      R"([{"file_name":"a.png","file_size":"5000000000","width":640,"height":"480"}])",
      R"([{"file_handle":-7,"expire":"","duration":3},{"expire":"1700000000"}])",
      R"([{"expire":1700000000,"duration":-1,"file_handle":2147483648}])",
      R"([{"width":-5,"height":4294967296,"file_size":4294967295}])",
      R"([{"file_size":"","expire":"  12kb","um_url":"/g/M00/1.jpg"}])",
      R"([{"file_name":true,"file_path":null,"file_type":false,"width":null}])",
      R"([{"unknown":"x","other":[1,{"a":2}],"file_name":"kept"}])",
      R"([{"file_name":"a\"b\u00e9\n"}])", R"([{"file_name":"a","file_name":"b"}])",
      R"([{"expire":"5","expire":""}])", R"([{"width":640.0,"height":1.5,"file_size":1e3}])",
      R"([{"file_size":007}])", R"([{"file_size":-0,"duration":0}])",
      R"([{"file_size":123456789012345678901234}])", R"([{"duration":999999999999999999}])",
      R"([{"file_name":"a"},])", R"([{"file_name":"a",}])", R"([{"file_name":"a"}] trailing)",
      R"([{"file_name":"a"}] // note)", R"([/* c */{"file_name":"a"}])",
      R"(["plain",3,null,{"file_name":"d"}])", R"([[{"file_name":"nested"}]])",
      R"([{"file_name":"unterminated})", R"([{"file_name":"a"})",
      "[{\"file_name\":\"tab\tinside\"}]", "\xEF\xBB\xBF[{\"file_name\":\"bom\"}]",
      R"([{"file_name":"报告.pdf","onlyId":"acc1700000000000"}])",
      R"([{"file_name" : "spaced" , "width" : 10 }  ,  { }])", R"([{"file_name":"a"}]   )",
      R"([{"duration":-})", R"([{"duration":tru}])"};
  for (const char* text : texts) ExpectSameAsDocumentPath(text);
}

TEST(FileListTextTest, TextWithAZeroByteReadsUpToIt) {
  ExpectSameAsDocumentPath(std::string("[{\"file_name\":\"a\"}]\0 junk", 25));
  ExpectSameAsDocumentPath(std::string("[{\"file_name\":\"a\0b\"}]", 20));
}

// Random texts around the common shape: known and unknown keys, every value
// form, odd spacing, and now and then a malformed or unusual piece.
class FileListTextGenerator {
 public:
  explicit FileListTextGenerator(uint32_t seed) : rng_(seed) {}

  std::string Text() {
    std::string t = Space() + "[";
    const int n = Pick(4);
    for (int i = 0; i < n; ++i) t += (i ? "," : "") + Space() + Element() + Space();
    if (Pick(30) == 0) t += ",";
    t += "]" + Space();
    if (Pick(30) == 0) t += "x";
    return t;
  }

 private:
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

  template <size_t N>
  const char* OneOf(const char* const (&options)[N]) {
    return options[Pick(static_cast<int>(N))];
  }

  std::string Space() {
    static const char* const kSpaces[] = {"", "", "", " ", "\n\t", "\r\n  "};
    return OneOf(kSpaces);
  }

  std::string Element() {
    if (Pick(25) == 0) return OneOf({"null", "3", "\"s\"", "[]"});
    std::string t = "{";
    const int n = Pick(8);
    for (int i = 0; i < n; ++i) {
      t += (i ? "," : "") + Space() + "\"" + Key() + "\"" + Space() + ":" + Space() + Value();
    }
    if (Pick(40) == 0) t += ",";
    return t + "}";
  }

  // clang-format off
  std::string Key() {
    static const char* const kKeys[] = {
        "file_handle", "message_server_chat_id_str", "file_name", "file_path",
        "file_real_save_name", "file_real_save_path", "file_type", "file_size", "um_url",
        "um_plain_access_code", "width", "height", "onlyId", "expire", "duration", "emotionId",
        "objectId", "cdnUrl", "convid", "extra", "file_size2", ""};
    return OneOf(kKeys);
  }

  std::string Value() {
    static const char* const kValues[] = {
        "\"\"", "\"name.png\"", "\"640\"", "\" 12px\"", "\"-3\"", "\"5000000000\"", "\"x\"",
        "\"a\\\"b\"", "\"\\u4e2d\"", "\"\xE4\xB8\xAD\"",
        "0", "-0", "7", "-7", "640", "2147483647", "2147483648", "-2147483648", "-2147483649",
        "4294967295", "4294967296", "999999999999999999", "9999999999999999999",
        "12345678901234567890123", "7.0", "1.5", "-2.0", "1e3", "007",
        "true", "false", "null", "[]", "[1,\"a\"]", "{}", "{\"k\":{\"n\":1}}"};
    return OneOf(kValues);
  }
  // clang-format on

  std::mt19937 rng_;
};

TEST(FileListTextTest, MatchesTheDocumentPathOnGeneratedTexts) {
  FileListTextGenerator generator(20241205);
  for (int i = 0; i < 5000; ++i) {
    ExpectSameAsDocumentPath(generator.Text());
    if (testing::Test::HasFailure()) break;
  }
}

}  // namespace
