#include <gtest/gtest.h>
#include <json/json.h>

#include <string>
#include <tuple>

#include "adapter/src/boundary/JsonText.h"
#include "adapter/src/content/ImAdapterCardJson.h"

namespace {

Json::Value JsonOf(const std::string& text) {
  Json::Value value;
  EXPECT_EQ(ParseJsonText(text, value), 0) << text;
  return value;
}

CardInfo ParsedCard(const std::string& text) {
  CardInfo card;
  ParseContent(JsonOf(text), card);
  return card;
}

TEST(CardJson, ParseContentReadsWhatItFindsAndSkipsOtherTypes) {
  // {text, cardType, replyType, replyContent, merge level, isForward, canForward}
  using Row = std::tuple<const char*, int, int, std::string, int, bool, bool>;
  const Row cases[] = {
      {R"({"cardType":5})", 5, -1, "", 0, false, false},
      {R"({"cardType":"5"})", 5, -1, "", 0, false, false},
      {R"({"cardType":" 12abc"})", 12, -1, "", 0, false, false},
      {R"({"cardType":"4294967297"})", 1, -1, "", 0, false, false},
      {R"({"cardType":"x"})", 0, -1, "", 0, false, false},
      {R"({"cardType":true})", -1, -1, "", 0, false, false},
      {R"({"cardType":5.0})", 5, -1, "", 0, false, false},
      {R"({"cardType":5.5})", -1, -1, "", 0, false, false},
      {R"({"cardConfig":{"isForward":1,"canForward":false}})", -1, -1, "", 0, true, false},
      {R"({"cardConfig":{"isForward":true,"canForward":7}})", -1, -1, "", 0, true, true},
      {R"({"cardConfig":{"isForward":"1","canForward":0}})", -1, -1, "", 0, false, false},
      {R"({"cardContext":{"replyMsg":{"content":"hi","type":2},"mergeMessage":{"level":1}}})", -1,
       2, "hi", 1, false, false},
      {R"({"cardContext":{"replyMsg":{"content":3,"type":"2"},"mergeMessage":{"level":"1"}}})", -1,
       -1, "", 0, false, false},
      {R"({"cardContext":5,"cardConfig":[1],"cardType":65})", 65, -1, "", 0, false, false},
      {R"({"cardContext":{"replyMsg":[],"mergeMessage":null}})", -1, -1, "", 0, false, false},
      {R"([1,2])", -1, -1, "", 0, false, false},
  };
  for (const Row& row : cases) {
    const CardInfo card = ParsedCard(std::get<0>(row));
    EXPECT_EQ(Row(std::get<0>(row), card.cardType, card.replyType, card.replyContent,
                  card.mergeMessage.level, card.isForward, card.canForward),
              row);
  }
}

TEST(CardJson, ParseContentKeepsTheDocumentAndAcceptsAnyValue) {
  EXPECT_EQ(ParsedCard(R"({"cardType":19,"x":1})").cardJson["x"].asInt(), 1);
  for (const Json::Value& odd : {Json::Value(), Json::Value(3), Json::Value("s")}) {
    CardInfo other;
    ParseContent(odd, other);
    EXPECT_EQ(other.cardType, -1);
  }
}

TEST(CardJson, BuildCardJsonOfADefaultCard) {
  // No quoted message; reply and merged message always carry their type.
  EXPECT_EQ(BuildCardJson(CardInfo()),
            R"({"cardConfig":{"isForward":false},"cardContext":{"mergeMessage":{"level":0,)"
            R"("type":0},"replyMsg":{"type":-1}},"cardType":-1,"isShowSource":0})");
  Json::Value notAnObject(3);
  BuildCardConfigJson(true, notAnObject);
  EXPECT_EQ(notAnObject.asInt(), 3);
}

TEST(CardJson, BuildCardJsonWritesEveryPart) {
  CardInfo card;
  card.cardType = 65;
  card.isShowSource = 1;
  card.isForward = true;
  card.replyContent = "\xE4\xBD\xA0\xE5\xA5\xBD \"q\"";
  card.replyType = 0;
  card.preMsg.content = "old";
  card.preMsg.sender = "s";
  card.mergeMessage.level = 1;
  card.mergeMessage.type = 2;
  card.mergeMessage.fromName = "A";
  const std::string text = BuildCardJson(card);
  EXPECT_EQ(text.find('\n'), std::string::npos) << text;
  // Chinese text comes out as UTF-8, not as \u escapes.
  EXPECT_NE(text.find("\xE4\xBD\xA0\xE5\xA5\xBD \\\"q\\\""), std::string::npos) << text;
  EXPECT_EQ(JsonOf(text),
            JsonOf(R"({"cardType":65,"isShowSource":1,"cardConfig":{"isForward":true},)"
                   R"("cardContext":{"replyMsg":{"content":"\u4f60\u597d \"q\"","type":0},)"
                   R"("preMsg":{"content":"old","sender":"s"},)"
                   R"("mergeMessage":{"level":1,"type":2,"fromName":"A"}}})"));
}

TEST(CardJson, MergedContent) {
  MergedMessageItem bare;
  bare.time = 1700000000123LL;
  EXPECT_EQ(BuildMergedItemJson(bare),
            JsonOf(R"({"mediaType":0,"time":1700000000123,"isAppMsg":0,"appServiceName":"",)"
                   R"("appServiceIcon":"","appServiceTag":0})"));
  // Every field set, in the order of declaration.
  // clang-format off
  const MergedMessageItem full{1, 5, 1, "an", "ai", 2, "m", "acc", "[Image]", JsonOf(R"({"h":1})"),
                               "Name", JsonOf(R"({"i":2})"), "sid", "ext"};
  // clang-format on
  const Json::Value fullJson = BuildMergedItemJson(full);
  EXPECT_EQ(fullJson,
            JsonOf(R"({"mediaType":1,"time":5,"isAppMsg":1,"appServiceName":"an",)"
                   R"("appServiceIcon":"ai","appServiceTag":2,"msgId":"m","account":"acc",)"
                   R"("msg":"[Image]","html":{"h":1},"name":"Name","appServiceInfo":{"i":2},)"
                   R"("appServiceId":"sid","msgExt":"ext"})"));

  CardMergeMessage merge;
  EXPECT_EQ(BuildMergeMessageJson(merge), JsonOf(R"({"level":0,"type":0})"));
  merge.toName = "B";
  merge.messageList = {bare, full};
  Json::Value expected = JsonOf(R"({"level":0,"type":0,"toName":"B"})");
  expected["messageList"].append(BuildMergedItemJson(bare));
  expected["messageList"].append(fullJson);
  EXPECT_EQ(BuildMergeMessageJson(merge), expected);
}

TEST(CardJson, CardExtension) {
  const CardExtInfo ext{"9007199254740993", 1, 19, "c-\xE4\xBD\xA0", "i", -1};
  const std::string text = BuildCardExtJson(ext);
  EXPECT_NE(text.find("\xE4\xBD\xA0"), std::string::npos) << text;
  EXPECT_EQ(JsonOf(text), JsonOf(R"({"server_chat_id_str":"9007199254740993","has_quote":1,)"
                                 R"("cardtype":19,"client_chat_id":"c-\u4f60","id":"i",)"
                                 R"("status":-1})"));
}

}  // namespace
