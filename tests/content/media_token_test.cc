#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adapter/src/content/ImAdapterMediaToken.h"
#include "tests/util/ScratchFile.h"

namespace {

FileListItem Picture() {
  FileListItem item;
  item.um_url = "U";
  item.file_type = "Img";
  item.file_size = 10;
  item.file_name = "a.png";
  item.width = "640";
  item.height = "480";
  return item;
}

constexpr char kAbcDigest[] = "900150983cd24fb0d6963f7d28e17f72";

TEST(MediaToken, SingleItemTokens) {
  const testfiles::ScratchFile digestFile("content_token_digest.bin", "abc");
  struct Case {
    const char* name;
    FileListItem item;
    std::string expected;
  };
  std::vector<Case> cases;
  cases.push_back({"picture", Picture(),
                   "/:um_begin{U|Img|10|a.png|0|640;480;|isOriginalImg: 0;emotionId:;objectId:;"
                   "cdnUrl:}/:um_end"});
  FileListItem file = Picture();
  file.file_type = "File";
  file.um_plain_access_code = "K";
  cases.push_back({"file has no geometry", file,
                   "/:um_begin{U|File|10|a.png|0|;;K|isOriginalImg: 0;emotionId:;objectId:;"
                   "cdnUrl:}/:um_end"});
  FileListItem expired = Picture();
  expired.expire = 1700000000;
  expired.emotionId = "e";
  expired.objectId = "o";
  expired.cdnUrl = "c";
  expired.duration = 0xFFFFFFFFu;
  cases.push_back({"expired with ids", expired,
                   "/:um_begin{U|Img|10|a.png|-1|640;480;|isOriginalImg: 0;emotionId:e;"
                   "objectId:o;cdnUrl:c;expire:1}/:um_end"});
  FileListItem digested = Picture();
  digested.file_path = digestFile.path();
  cases.push_back({"digest of the file", digested,
                   std::string("/:um_begin{U|Img|10|a.png|0|640;480;|isOriginalImg: 0;md5:") +
                       kAbcDigest + ";emotionId:;objectId:;cdnUrl:}/:um_end"});
  FileListItem missing = Picture();
  missing.file_path = digestFile.path() + ".missing";
  cases.push_back({"unreadable file leaves the digest out", missing, cases[0].expected});
  cases.push_back({"empty item", FileListItem(),
                   "/:um_begin{||0||0|;;|isOriginalImg: 0;emotionId:;objectId:;cdnUrl:}/:um_end"});
  for (const Case& c : cases) {
    EXPECT_EQ(BuildMediaToken(c.item), c.expected) << c.name;
  }
}

TEST(MediaToken, PictureTokens) {
  const testfiles::ScratchFile digestFile("content_token_digest.bin", "abc");
  FileListItem first = Picture();
  first.file_type = "File";  // no kind test in the picture token
  first.um_plain_access_code = "K1";
  FileListItem second;
  second.um_url = "U2";
  second.width = "64";
  second.height = "48";
  second.um_plain_access_code = "K2";
  EXPECT_EQ(BuildPictureToken({first, second}),
            "/:um_begin{U|File|10|a.png|0|640;480;K1|isOriginalImg:0|solidType:0|U2;64;48;K2}"
            "/:um_end");
  first.expire = 1;
  first.file_path = digestFile.path();
  EXPECT_EQ(BuildPictureToken({first, second}),
            std::string("/:um_begin{U|File|10|a.png|0|640;480;K1|isOriginalImg:0;md5:") +
                kAbcDigest + ";expire:1|solidType:0|U2;64;48;K2}/:um_end");
  EXPECT_EQ(BuildPictureToken({}), "/:um_begin{||0||0|;;|isOriginalImg:0|solidType:0|;;;}/:um_end");
}

TEST(MediaToken, ExtractFunctions) {
  struct Case {
    std::string (*extract)(const std::string&);
    std::string input;
    std::string expected;
  };
  const Case cases[] = {
      {ExtractMediaUrl, "/:um_begin{U|Img|...}/:um_end", "U"},
      {ExtractMediaUrl, "text /:um_begin{https://h/f/abc|Img}/:um_end more", "https://h/f/abc"},
      {ExtractMediaUrl, "abc", "abc"},
      {ExtractMediaUrl, "a|b", "a"},
      {ExtractMediaUrl, "/:um_begin{U}/:um_end", "U}/:um_end"},
      {ExtractMediaUrl, "", ""},
      {ExtractFileIdFromUrl, "https://h/f/1/f/xyz", "xyz"},
      {ExtractFileIdFromUrl, "https://h/x", "https://h/x"},
      {ExtractFileIdFromUrl, "/f/", ""},
      {ExtractFileIdFromUrl, "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.extract(c.input), c.expected) << c.input;
  }
}

TEST(MediaToken, ReplaceContentPic) {
  const std::string token = "/:um_begin{NEW}/:um_end";
  struct Case {
    const char* name;
    std::string text;
    bool result;
    std::string expected;
  };
  const Case cases[] = {
      {"no token", "hello", false, "hello"},
      {"https token replaced", "a/:um_begin{https://h/1|Img}/:um_endb", true, "a" + token + "b"},
      {"every https token", "/:um_begin{https://1}/:um_end x /:um_begin{https://2}/:um_end", true,
       token + " x " + token},
      {"other addresses kept", "/:um_begin{http://h/1}/:um_end", true,
       "/:um_begin{http://h/1}/:um_end"},
      {"shortest run to the end marker", "/:um_begin{https://a}/:um_end}/:um_end", true,
       token + "}/:um_end"},
      {"line end inside stops the token", "/:um_begin{https://a\n}/:um_end", true,
       "/:um_begin{https://a\n}/:um_end"},
      {"unclosed then closed", "/:um_begin{https://a /:um_begin{https://b}/:um_end", true, token},
      {"line end then a later token", "/:um_begin{https://a\r /:um_begin{https://b}/:um_end", true,
       "/:um_begin{https://a\r " + token},
      {"unclosed token", "/:um_begin{https://a", true, "/:um_begin{https://a"},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    EXPECT_EQ(ReplaceContentPic(text, token), c.result) << c.name;
    EXPECT_EQ(text, c.expected) << c.name;
  }
  // A replacement that is itself an https token is not replaced again.
  const std::string https = "/:um_begin{https://new}/:um_end";
  std::string text = "/:um_begin{https://old}/:um_end /:um_begin{https://old}/:um_end";
  EXPECT_TRUE(ReplaceContentPic(text, https));
  EXPECT_EQ(text, https + " " + https);
}

TEST(EmojiPath, RewritesOnlyEmojiImageTags) {
  struct Case {
    const char* name;
    std::string html;
    std::string expected;
  };
  const Case cases[] = {
      {"internal address, any case", "<img src=\"file:///qx.internalimg//emotion/1.png\">",
       "<img role=\"emoji\"src=\"./static/emojis/1.png\">"},
      {"existing role keeps its text",
       "<img role = \" Emoji \" src=\"file:///QX.InternalImg//emotion/2.png\">",
       "<img role = \" Emoji \" src=\"./static/emojis/2.png\">"},
      {"local folder gets the role, path kept", "<img src=\"./static/emojis/3.png\">",
       "<img role=\"emoji\"src=\"./static/emojis/3.png\">"},
      {"any character before the local folder", "<img src=\"x/STATIC/emojis/3.png\">",
       "<img role=\"emoji\"src=\"x/STATIC/emojis/3.png\">"},
      {"line end before the folder does not count", "<img src=\"\n/static/emojis/3.png\">",
       "<img src=\"\n/static/emojis/3.png\">"},
      {"other address untouched", "<img src=\"https://h/a.png\">", "<img src=\"https://h/a.png\">"},
      {"upper-case tag name kept", "<IMG src=\"file:///QX.InternalImg//emotion/4.png\">",
       "<IMG role=\"emoji\"src=\"./static/emojis/4.png\">"},
      {"another role is not emoji", "<img role=\"icon\" src=\"./static/emojis/5.png\">",
       "<img role=\"emoji\"role=\"icon\" src=\"./static/emojis/5.png\">"},
      {"every address in the tag",
       "<img src=\"file:///QX.InternalImg//emotion/6.png\" "
       "alt=\"file:///QX.InternalImg//emotion/\">",
       "<img role=\"emoji\"src=\"./static/emojis/6.png\" alt=\"./static/emojis/\">"},
      {"text between tags kept",
       "a<b>b</b><img src=\"./static/emojis/1.png\">c<img src=\"y.png\">d",
       "a<b>b</b><img role=\"emoji\"src=\"./static/emojis/1.png\">c<img src=\"y.png\">d"},
      {"address outside a tag untouched", "file:///QX.InternalImg//emotion/1.png",
       "file:///QX.InternalImg//emotion/1.png"},
      {"unclosed tag", "<img src=\"./static/emojis/1.png\"", "<img src=\"./static/emojis/1.png\""},
      {"tag cut by another tag", "<img a<img src=\"./static/emojis/1.png\">",
       "<img a<img role=\"emoji\"src=\"./static/emojis/1.png\">"},
      {"img without blank is no tag", "<img/src=\"./static/emojis/1.png\">",
       "<img/src=\"./static/emojis/1.png\">"},
      {"empty", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ConvertEmojiPathToLocal(c.html), c.expected) << c.name;
  }
}

}  // namespace
