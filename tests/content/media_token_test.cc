#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>

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
  const std::string picture = "/:um_begin{U|Img|10|a.png|0|640;480;|isOriginalImg: 0;";
  const std::string noIds = "emotionId:;objectId:;cdnUrl:}/:um_end";
  FileListItem item = Picture();
  EXPECT_EQ(BuildMediaToken(item), picture + noIds);
  item.file_path = digestFile.path() + ".missing";  // an unreadable file leaves the digest out
  EXPECT_EQ(BuildMediaToken(item), picture + noIds);
  item.file_path = digestFile.path();
  EXPECT_EQ(BuildMediaToken(item), picture + "md5:" + kAbcDigest + ";" + noIds);
  item.file_path.clear();
  item.file_type = "File";  // a file has no geometry
  item.um_plain_access_code = "K";
  EXPECT_EQ(BuildMediaToken(item), "/:um_begin{U|File|10|a.png|0|;;K|isOriginalImg: 0;" + noIds);
  FileListItem expired = Picture();
  expired.expire = 1700000000;
  expired.emotionId = "e";
  expired.objectId = "o";
  expired.cdnUrl = "c";
  expired.duration = 0xFFFFFFFFu;
  EXPECT_EQ(BuildMediaToken(expired),
            "/:um_begin{U|Img|10|a.png|-1|640;480;|isOriginalImg: 0;emotionId:e;objectId:o;"
            "cdnUrl:c;expire:1}/:um_end");
  EXPECT_EQ(BuildMediaToken(FileListItem()), "/:um_begin{||0||0|;;|isOriginalImg: 0;" + noIds);
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
  using Extract = std::string (*)(const std::string&);
  const std::tuple<Extract, std::string, std::string> cases[] = {
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
  for (const auto& [extract, input, expected] : cases) EXPECT_EQ(extract(input), expected) << input;
}

TEST(MediaToken, ReplaceContentPic) {
  const std::string token = "/:um_begin{NEW}/:um_end";
  // {text, replaced?, text after}
  const std::tuple<std::string, bool, std::string> cases[] = {
      {"hello", false, "hello"},
      {"a/:um_begin{https://h/1|Img}/:um_endb", true, "a" + token + "b"},
      {"/:um_begin{https://1}/:um_end x /:um_begin{https://2}/:um_end", true,
       token + " x " + token},
      {"/:um_begin{http://h/1}/:um_end", true, "/:um_begin{http://h/1}/:um_end"},  // not https
      // the shortest run to the end marker; a line end inside stops the token
      {"/:um_begin{https://a}/:um_end}/:um_end", true, token + "}/:um_end"},
      {"/:um_begin{https://a\n}/:um_end", true, "/:um_begin{https://a\n}/:um_end"},
      {"/:um_begin{https://a /:um_begin{https://b}/:um_end", true, token},
      {"/:um_begin{https://a\r /:um_begin{https://b}/:um_end", true,
       "/:um_begin{https://a\r " + token},
      {"/:um_begin{https://a", true, "/:um_begin{https://a"},
  };
  for (auto [text, result, expected] : cases) {
    EXPECT_EQ(ReplaceContentPic(text, token), result) << expected;
    EXPECT_EQ(text, expected);
  }
  // A replacement that is itself an https token is not replaced again.
  const std::string https = "/:um_begin{https://new}/:um_end";
  std::string text = "/:um_begin{https://old}/:um_end /:um_begin{https://old}/:um_end";
  EXPECT_TRUE(ReplaceContentPic(text, https));
  EXPECT_EQ(text, https + " " + https);
}

// The internal emoji address in any letter case: the body scan tests.
TEST(EmojiPath, RewritesOnlyEmojiImageTags) {
  const std::pair<std::string, std::string> cases[] = {
      {"<img role = \" Emoji \" src=\"file:///QX.InternalImg//emotion/2.png\">",
       "<img role = \" Emoji \" src=\"./static/emojis/2.png\">"},  // the role keeps its text
      {"<img src=\"./static/emojis/3.png\">", "<img role=\"emoji\"src=\"./static/emojis/3.png\">"},
      {"<img src=\"x/STATIC/emojis/3.png\">", "<img role=\"emoji\"src=\"x/STATIC/emojis/3.png\">"},
      {"<img src=\"\n/static/emojis/3.png\">", "<img src=\"\n/static/emojis/3.png\">"},
      {"<img src=\"https://h/a.png\">", "<img src=\"https://h/a.png\">"},
      {"<IMG src=\"file:///QX.InternalImg//emotion/4.png\">",
       "<IMG role=\"emoji\"src=\"./static/emojis/4.png\">"},
      {"<img role=\"icon\" src=\"./static/emojis/5.png\">",
       "<img role=\"emoji\"role=\"icon\" src=\"./static/emojis/5.png\">"},
      {"<img src=\"file:///QX.InternalImg//emotion/6.png\" "
       "alt=\"file:///QX.InternalImg//emotion/\">",
       "<img role=\"emoji\"src=\"./static/emojis/6.png\" alt=\"./static/emojis/\">"},
      {"a<b>b</b><img src=\"./static/emojis/1.png\">c<img src=\"y.png\">d",
       "a<b>b</b><img role=\"emoji\"src=\"./static/emojis/1.png\">c<img src=\"y.png\">d"},
      {"file:///QX.InternalImg//emotion/1.png", "file:///QX.InternalImg//emotion/1.png"},
      {"<img src=\"./static/emojis/1.png\"", "<img src=\"./static/emojis/1.png\""},  // unclosed
      {"<img a<img src=\"./static/emojis/1.png\">",
       "<img a<img role=\"emoji\"src=\"./static/emojis/1.png\">"},
      {"<img/src=\"./static/emojis/1.png\">", "<img/src=\"./static/emojis/1.png\">"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ConvertEmojiPathToLocal(c.first), c.second) << c.first;
}

}  // namespace
