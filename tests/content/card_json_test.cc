#include <gtest/gtest.h>

#include <json/json.h>

#include <string>

#include "adapter/src/ImAdapterCardJson.h"
#include "adapter/src/JsonText.h"

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
  struct Case {
    const char* text;
    int cardType;
    int replyType;
    std::string replyContent;
    int level;
    bool isForward;
    bool canForward;
  };
  const Case cases[] = {
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
      {R"({"cardContext":{"replyMsg":{"content":"hi","type":2},"mergeMessage":{"level":1}}})",
       -1, 2, "hi", 1, false, false},
      {R"({"cardContext":{"replyMsg":{"content":3,"type":"2"},"mergeMessage":{"level":"1"}}})",
       -1, -1, "", 0, false, false},
      {R"({"cardContext":5,"cardConfig":[1],"cardType":65})", 65, -1, "", 0, false, false},
      {R"({"cardContext":{"replyMsg":[],"mergeMessage":null}})", -1, -1, "", 0, false, false},
      {R"([1,2])", -1, -1, "", 0, false, false},
  };
  for (const Case& c : cases) {
    const CardInfo card = ParsedCard(c.text);
    EXPECT_EQ(card.cardType, c.cardType) << c.text;
    EXPECT_EQ(card.replyType, c.replyType) << c.text;
    EXPECT_EQ(card.replyContent, c.replyContent) << c.text;
    EXPECT_EQ(card.mergeMessage.level, c.level) << c.text;
    EXPECT_EQ(card.isForward, c.isForward) << c.text;
    EXPECT_EQ(card.canForward, c.canForward) << c.text;
  }
}

TEST(CardJson, ParseContentKeepsTheDocumentAndAcceptsAnyValue) {
  const CardInfo card = ParsedCard(R"({"cardType":19,"x":1})");
  EXPECT_EQ(card.cardJson["x"].asInt(), 1);
  for (const Json::Value& odd : {Json::Value(), Json::Value(3), Json::Value("s")}) {
    CardInfo other;
    ParseContent(odd, other);
    EXPECT_EQ(other.cardType, -1);
  }
}

TEST(CardJson, BuildCardJsonOfADefaultCard) {
  const CardInfo card;
  EXPECT_EQ(BuildCardJson(card),
            R"({"cardConfig":{"isForward":false},"cardContext":{"mergeMessage":{"level":0,)"
            R"("type":0},"replyMsg":{"type":-1}},"cardType":-1,"isShowSource":0})");
}

TEST(CardJson, BuildCardJsonWritesEveryPartItHas) {
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
  const Json::Value json = JsonOf(text);
  EXPECT_EQ(json["cardType"].asInt(), 65);
  EXPECT_EQ(json["isShowSource"].asInt(), 1);
  EXPECT_TRUE(json["cardConfig"]["isForward"].asBool());
  EXPECT_EQ(json["cardContext"]["replyMsg"]["content"].asString(), card.replyContent);
  EXPECT_EQ(json["cardContext"]["preMsg"], JsonOf(R"({"content":"old","sender":"s"})"));
  EXPECT_EQ(json["cardContext"]["mergeMessage"], JsonOf(R"({"level":1,"type":2,"fromName":"A"})"));
  // Read back, the same fields come out.
  const CardInfo back = ParsedCard(text);
  EXPECT_EQ(back.cardType, 65);
  EXPECT_EQ(back.replyContent, card.replyContent);
  EXPECT_EQ(back.replyType, 0);
  EXPECT_EQ(back.mergeMessage.level, 1);
  EXPECT_TRUE(back.isForward);
}

TEST(CardJson, CardParts) {
  CardPreMsg pre;
  EXPECT_TRUE(BuildPreMsgJson(pre).isNull());
  pre.nameEN = "n";
  EXPECT_EQ(BuildPreMsgJson(pre), JsonOf(R"({"nameEN":"n"})"));

  CardInfo card;
  EXPECT_EQ(BuildReplyMsgJson(card), JsonOf(R"({"type":-1})"));

  Json::Value config;
  BuildCardConfigJson(true, config);
  EXPECT_EQ(config, JsonOf(R"({"isForward":true})"));
  Json::Value notAnObject(3);
  BuildCardConfigJson(true, notAnObject);
  EXPECT_EQ(notAnObject.asInt(), 3);

  const Json::Value context = BuildCardContextJson(card);
  EXPECT_FALSE(context.isMember("preMsg"));
  EXPECT_TRUE(context.isMember("replyMsg"));
  EXPECT_TRUE(context.isMember("mergeMessage"));
}

TEST(CardJson, MergedContent) {
  MergedMessageItem bare;
  bare.time = 1700000000123LL;
  EXPECT_EQ(BuildMergedItemJson(bare),
            JsonOf(R"({"mediaType":0,"time":1700000000123,"isAppMsg":0,"appServiceName":"",)"
                   R"("appServiceIcon":"","appServiceTag":0})"));
  EXPECT_EQ(BuildMergedItemJson(bare)["time"].asInt64(), 1700000000123LL);

  MergedMessageItem full = bare;
  full.mediaType = 2;
  full.isAppMsg = 1;
  full.appServiceName = "svc";
  full.appServiceIcon = "icon";
  full.appServiceTag = 1;
  full.msgId = "m";
  full.account = "acc";
  full.msg = "[Image]";
  full.html = JsonOf(R"({"h":1})");
  full.name = "Name";
  full.appServiceInfo = JsonOf(R"({"i":2})");
  full.appServiceId = "sid";
  full.msgExt = "ext";
  const Json::Value fullJson = BuildMergedItemJson(full);
  EXPECT_EQ(fullJson.getMemberNames().size(), 14u);
  EXPECT_EQ(fullJson["html"], full.html);
  EXPECT_EQ(fullJson["appServiceInfo"], full.appServiceInfo);

  CardMergeMessage merge;
  EXPECT_EQ(BuildMergeMessageJson(merge), JsonOf(R"({"level":0,"type":0})"));
  merge.level = 2;
  merge.toName = "B";
  merge.messageList = {bare, full};
  const Json::Value mergeJson = BuildMergeMessageJson(merge);
  ASSERT_TRUE(mergeJson["messageList"].isArray());
  EXPECT_EQ(mergeJson["messageList"].size(), 2u);
  EXPECT_EQ(mergeJson["messageList"][1], fullJson);
  EXPECT_EQ(mergeJson["toName"].asString(), "B");
  EXPECT_FALSE(mergeJson.isMember("fromName"));
}

TEST(CardJson, CardExtension) {
  CardExtInfo ext;
  ext.server_chat_id_str = "9007199254740993";
  ext.has_quote = 1;
  ext.cardtype = 19;
  ext.client_chat_id = "c-\xE4\xBD\xA0";
  ext.id = "i";
  ext.status = -1;
  const std::string text = BuildCardExtJson(ext);
  EXPECT_EQ(text.back(), '\n');
  EXPECT_NE(text.find("\xE4\xBD\xA0"), std::string::npos) << text;
  EXPECT_EQ(JsonOf(text), JsonOf(R"({"server_chat_id_str":"9007199254740993","has_quote":1,)"
                                 R"("cardtype":19,"client_chat_id":"c-\u4f60","id":"i",)"
                                 R"("status":-1})"));
}

}  // namespace
