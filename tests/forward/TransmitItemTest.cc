// Transmit items, the merged file list and message ids without plugins: the store's user look-up
// goes unanswered under a short test time-out, so the forwarding user is shown by account.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "adapter/src/forward/ForwardSupport.h"
#include "adapter/src/boundary/JsonText.h"
#include "adapter/src/forward/MergedCardBuilder.h"
#include "adapter/src/bridge/PluginRequester.h"
#include "adapter/src/forward/TransmitItemBuilder.h"
#include "common/xml/XmlBuild.h"
#include "common/xml/XmlParse.h"
#include "common/xml/XmlText.h"
#include "tests/support/HubSync.h"
#include "util/Utils.h"

namespace {

class TransmitItemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hub_sync::SetTimeouts(std::chrono::milliseconds(20), std::chrono::milliseconds(20));
    options_.userAccount = "me";
  }
  void TearDown() override { PluginRequester::ResetTimeoutsForTesting(); }

  static RecordInfo Stored(int32_t mediatype, const std::string& text,
                           const std::string& html = "") {
    RecordInfo record;
    record.mediatype = mediatype;
    record.content = xml::Build(xml::XmlEscapeText(text), html, 0, false);
    record.servermessageid = "s1";
    record.originaccount = "someone";
    record.peername = "Someone";
    return record;
  }

  ForwardOptions options_;
};

TEST(VerticalTabRepair, BackslashRuns) {
  const std::pair<const char*, const char*> cases[] = {
      {"a\\vb", "a\\u000bb"}, {"a\\\\vb", "a\\\\vb"}, {"a\\\\\\vb", "a\\\\\\u000bb"},
      {"\\v", "\\u000b"}, {"v\\", "v\\"}, {"\\n\\v\\", "\\n\\u000b\\"}, {"", ""}};
  for (const auto& [in, out] : cases) {
    EXPECT_EQ(TransmitItemBuilder::RepairVerticalTabs(in), out) << in;
  }
}

TEST_F(TransmitItemTest, RefusedMessages) {
  const struct {
    int32_t mediatype;
    const char* text;
    int32_t sendStatus;
    const char* showtext;
    const char* extra;
  } cases[] = {
      {1, "v", 1, "", ""}, {10, R"({"cardType":11})", 1, "", ""},
      {10, R"({"cardType":"21"})", 1, "", ""}, {10, R"({"cardType":64})", 1, "", ""},
      {10, R"({"cardType":92})", 1, "", ""}, {10, R"({"cardType":31})", 1, "", ""},
      {10, R"({"cardType":31,"cardConfig":{"canForward":false}})", 1, "", ""},
      {10, R"({"cardType":31,"cardConfig":{}})", 1, "", ""},
      {0, "hi", 0, "", ""}, {0, "hi", 1, "***Private Message***", ""}, {0, "hi", 1, "", "{broken"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.text) + c.showtext + c.extra + std::to_string(c.sendStatus));
    RecordInfo item = Stored(c.mediatype, c.text);
    item.sendStatus = c.sendStatus;
    item.showtext = c.showtext;
    item.extra = c.extra;
    std::string content;
    std::string html;
    EXPECT_FALSE(TransmitItemBuilder::buildTransmitMsgItem(item, content, html, options_, 1));
  }
}

TEST_F(TransmitItemTest, ForwardedItems) {
  RecordInfo item = Stored(0, "hello <b>", "<p>hello</p>");
  item.showtranslate = item.translateLang = item.providerCn = item.providerEn = "t";
  item.emojiReplyInfos = item.chatAtInfo = "t";
  item.isShowTranslate = item.isAppMsg = 1;
  item.receiptState = 3;
  item.extra = "{\"appServiceTag\":1}";
  const std::string body = item.content;
  std::string content;
  std::string html;
  ASSERT_TRUE(TransmitItemBuilder::buildTransmitMsgItem(item, content, html, options_, 1));
  EXPECT_EQ(content, "hello <b>");
  EXPECT_EQ(html, "<p>hello</p>");
  EXPECT_EQ(item.content, body);
  EXPECT_EQ(item.originaccount, "me");
  EXPECT_EQ(item.peername, "me");  // no contact answer: the account
  EXPECT_EQ(item.peernativename, "me");
  EXPECT_EQ(item.sendStatus + item.receiptState + item.isAppMsg + item.isShowTranslate, 0);
  EXPECT_EQ(item.extra, "");
  EXPECT_EQ(item.showtranslate + item.translateLang + item.providerCn + item.providerEn +
                item.emojiReplyInfos + item.chatAtInfo,
            "");

  // Another app tag keeps the extra text.
  item = Stored(0, "x");
  item.extra = "{\"appServiceTag\":2}";
  ASSERT_TRUE(TransmitItemBuilder::buildTransmitMsgItem(item, content, html, options_, 1));
  EXPECT_EQ(item.extra, "{\"appServiceTag\":2}");
  EXPECT_EQ(item.isAppMsg, 0);

  // A reply card is forwarded as the replied message's type.
  item = Stored(10,
             "{\"cardType\":65,\"cardContext\":{\"replyMsg\":{\"content\":\"a & b\",\"type\":0,"
             "\"PcContent\":\"<p>a &amp; b</p>\"}}}");
  ASSERT_TRUE(TransmitItemBuilder::buildTransmitMsgItem(item, content, html, options_, 1));
  EXPECT_EQ(item.mediatype, 0);
  EXPECT_EQ(item.realMsgType, 0);
  EXPECT_EQ(content, "a & b");
  EXPECT_EQ(html, "<p>a &amp; b</p>");
}

TEST(DealFileList, MergesEntriesWithTheirOrigin) {
  RecordInfo plain;
  plain.mediatype = 4;
  plain.originaccount = "u1";
  plain.utcstamp = "1700";
  plain.filelist = util::Base64Encode("[{\"file_name\":\"a.txt\"},{\"file_name\":\"b.txt\"}]");
  RecordInfo packed;
  packed.mediatype = 3;
  packed.originaccount = "u2";
  packed.filelist = util::CompressAndEncode("[{\"file_name\":\"c.png\"}]");
  RecordInfo nested;
  nested.mediatype = 10;
  nested.combineMessageFileList =
      util::CompressAndEncode("[{\"file_name\":\"d\",\"onlyId\":\"x\"}]");
  RecordInfo voice;
  voice.mediatype = 1;
  voice.filelist = util::Base64Encode("[{\"file_name\":\"v.amr\"}]");
  RecordInfo broken;
  broken.mediatype = 4;
  broken.filelist = "not a list";
  Json::Value list;
  ASSERT_EQ(
      ParseJsonText(MergedCardBuilder::dealFileList({plain, packed, nested, voice, broken}), list),
      0);
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0]["onlyId"].asString(), "u11700");
  EXPECT_EQ(list[1]["file_name"].asString(), "b.txt");
  EXPECT_EQ(list[2]["onlyId"].asString(), "u20");
  EXPECT_EQ(list[3]["onlyId"].asString(), "x");
  EXPECT_EQ(MergedCardBuilder::dealFileList({voice, broken}), "");
}

TEST(ClientMsgId, DistinctAndCycling) {
  std::set<std::string> seen;
  std::string previousSuffix;
  for (int i = 0; i < 899; ++i) {
    const std::string id = ForwardSupport::newClientMsgId();
    const std::string suffix = id.substr(id.size() - 3);
    ASSERT_GE(suffix, "100");
    ASSERT_LE(suffix, "999");
    if (!previousSuffix.empty()) {
      EXPECT_EQ(std::stoi(suffix), previousSuffix == "999" ? 100 : std::stoi(previousSuffix) + 1);
    }
    previousSuffix = suffix;
    seen.insert(id);
  }
  // Within one cycle of the counter no two ids are equal, even in one millisecond.
  EXPECT_EQ(seen.size(), 899u);
}

TEST(RebuildContentAfterUpload, ByMediaType) {
  FileListItem a;
  a.um_url = "https://new/f/1";
  a.file_type = "File";
  a.file_name = "a.txt";
  FileListItem b = a;
  b.um_url = "https://new/f/2";
  RecordInfo item;
  item.fileList = {a, b};
  const std::string old = "see /:um_begin{https://old/f/9|Img|1|p.png|0|;;|}/:um_end";
  struct Case {
    int32_t mediatype;
    size_t entries;
    std::string expectedText;  // "" means: content unchanged
  } cases[] = {
      {2, 2,
       "/:um_begin{https://new/f/1|File|0|a.txt|0|;;|isOriginalImg:0|solidType:0|"
       "https://new/f/2;;;}/:um_end"},
      {2, 1, ""},
      {4, 2,
       "/:um_begin{https://new/f/1|File|0|a.txt|0|;;|isOriginalImg: 0;emotionId:;objectId:;"
       "cdnUrl:}/:um_end"},
      {8, 1,
       "see /:um_begin{https://new/f/1|File|0|a.txt|0|;;|isOriginalImg: 0;emotionId:;"
       "objectId:;cdnUrl:}/:um_end"},
      {0, 1, ""},
  };
  for (const Case& c : cases) {
    item.mediatype = c.mediatype;
    item.fileList = {a, b};
    item.fileList.resize(c.entries);
    const std::string out = ForwardSupport::RebuildContent(item, old, "<p>h</p>");
    if (c.expectedText.empty()) {
      EXPECT_EQ(out, old) << c.mediatype;
      continue;
    }
    std::string text;
    std::string html;
    xml::Parse(out, text, html, true);
    EXPECT_EQ(text, c.expectedText) << c.mediatype;
    EXPECT_EQ(html, c.mediatype == 8 ? "<p>h</p>" : "") << c.mediatype;
  }
}

}  // namespace
