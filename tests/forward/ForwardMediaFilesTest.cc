// Forwarded media files: picture files under new names, img-tag rewriting,
// expiry decisions and the look-up of local files inside the received folders.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "adapter/src/forward/ForwardMediaFiles.h"
#include "adapter/src/forward/ForwardPictureTag.h"
#include "platform/Platform.h"
#include "tests/util/ScratchFile.h"

namespace {

using testfiles::Read;
using testfiles::ScratchDir;
using testfiles::Write;

class MediaFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    options_.defaultImagePath = root_.path() + "/img";
    options_.customizeImagePath = root_.path() + "/img2";
    options_.defaultFilePath = root_.path() + "/files";
    options_.customizeFilePath = root_.path() + "/files2";
    for (const char* sub : {"/img/originalImgfiles", "/img/ScreenShot", "/img2/ScreenShot",
                            "/files", "/files2", "/outside"}) {
      ASSERT_TRUE(platform::MakeDirectories(root_.path() + sub));
    }
  }

  ScratchDir root_;
  ForwardOptions options_;
};

TEST(ReplaceFileNameInImgTags, Table) {
  struct Case {
    const char* html;
    const char* expected;
  } cases[] = {
      {R"(<p><img src="C:/a/old.png" role="pic"></p>)",
       R"(<p><img src="C:/a/new.png" role="pic"></p>)"},
      {"<IMG class='x' ROLE = 'Picture' SRC='old.png'>",
       "<IMG class='x' ROLE = 'Picture' SRC='new.png'>"},
      // Only the first picture tag changes; an emoji tag before it is skipped.
      {R"(<img src="e/old.png" role="emoji"><img src="old.png" role="pic">)"
       R"(<img src="old.png" role="pic">)",
       R"(<img src="e/old.png" role="emoji"><img src="new.png" role="pic">)"
       R"(<img src="old.png" role="pic">)"},
      {R"(<img src="other.png" role="pic">)", ""}, {"<p>no picture</p>", ""},
      {R"(<img src="old.png" role="pic")", ""}, {R"(<imgx src="old.png" role="pic">)", ""}};
  for (const Case& c : cases) {
    EXPECT_EQ(ForwardMediaFiles::replaceFileNameInImgTags(c.html, "old.png", "new.png"), c.expected)
        << c.html;
  }
  // A large text is scanned without recursion.
  std::string html(4 * 1024 * 1024, 'a');
  html += "<img src=\"old.png\" role=\"pic\">";
  const std::string out = ForwardMediaFiles::replaceFileNameInImgTags(html, "old.png", "new.png");
  EXPECT_EQ(out.substr(out.size() - 30), "<img src=\"new.png\" role=\"pic\">");
}

// The linear search finds what the expression of the tag rule finds, on
// random texts made of the pieces that matter to it.
TEST(ReplaceFileNameInImgTags, SearchAgreesWithTheExpression) {
  const std::regex pattern(
      R"((<img\s+((src)|([^>]*\s+src))\s?=\s?["']([^"']*)["'][^>]*\s+role\s?=\s?["'](pic|picture)["'][^>]*>))"
      R"(|(<img\s+((role)|([^>]*\s+role))\s?=\s?["'](pic|picture)["']([^>]*\s+src)\s?=\s?["']([^"']*)["'][^>]*>))",
      std::regex::ECMAScript | std::regex::icase);
  // clang-format off
  const char* const pieces[] = {
      "<img ", "<IMG\t", "<img", " ", "\n", " src=\"a.png\"", " SRC = 'a.png'", " src='a>b'",
      " src=\"a.png'", " src=a.png", " srcset=\"x\"", " role=\"pic\"", " ROLE = 'Picture'",
      " role='picx'", " role=\"emoji\"", " role=pic", " alt=\"", "\"", "'", ">", "<", "x", "<p>"};
  // clang-format on
  std::mt19937 engine(15);
  int matches = 0;
  for (int round = 0; round < 4000; ++round) {
    std::string html;
    const int count = 1 + static_cast<int>(engine() % 16);
    for (int i = 0; i < count; ++i) html += pieces[engine() % (sizeof pieces / sizeof *pieces)];
    std::smatch match;
    const bool expected = std::regex_search(html, match, pattern);
    const ForwardPictureTag::Span span = ForwardPictureTag::Find(html);
    ASSERT_EQ(span.found, expected) << html;
    if (!expected) continue;
    ++matches;
    EXPECT_EQ(span.begin, static_cast<size_t>(match.position(0))) << html;
    EXPECT_EQ(span.end - span.begin, static_cast<size_t>(match.length(0))) << html;
  }
  EXPECT_GT(matches, 100);  // the texts do hold picture tags
}

TEST(MediaRules, RetentionReuploadAndUnsafeNames) {
  // 7580799999 is one ms more than 28 days before now.
  // Stamps near the 64-bit maximum saturate (no overflow under UBSan).
  const std::pair<const char*, bool> stamps[] = {{"", false},
                                                 {"7580799999", true},
                                                 {"7580800000", false},
                                                 {"9999999999", false},
                                                 {"9223372036854775807", false},
                                                 {"9223372036854775000", false},
                                                 {"-9223372036854775808", true}};
  for (const auto& [utcstamp, past] : stamps) {
    RecordInfo item;
    item.utcstamp = utcstamp;
    EXPECT_EQ(ForwardMediaFiles::isPastMediaRetention(item, 10'000'000'000LL), past) << utcstamp;
  }
  // {status, mediatype, allowed}
  const int reupload[][3] = {{5, 4, 1}, {0, 8, 1}, {2, 4, 0}};
  for (const auto& r : reupload) {
    EXPECT_EQ(ForwardMediaFiles::canReuploadMedia(r[0], r[1]), r[2] == 1) << r[0] << " " << r[1];
  }
  for (const char* name : {"", ".", "..", "../../etc/passwd", "..\\secret.txt", "a/b", "a\\b"}) {
    std::string out = "unchanged";
    EXPECT_FALSE(ForwardMediaFiles::IsSafeFileName(name)) << name;
    EXPECT_FALSE(ForwardMediaFiles::JoinFolderAndName("/recv", name, &out)) << name;
    EXPECT_EQ(out, "unchanged");
  }
  std::string out;
  EXPECT_TRUE(ForwardMediaFiles::JoinFolderAndName("/recv/", "a..b.png", &out));
  EXPECT_EQ(out, "/recv/a..b.png");
}

TEST_F(MediaFilesTest, IsExistPathSearchesTheFoldersInOrder) {
  const std::string r = root_.path();
  // A found file is the configured folder joined with the platform's separator.
  const std::string sep(1, platform::PathSeparator());
  Write(r + "/img/ScreenShot/shot.png", "s");
  Write(r + "/img2/ScreenShot/both.png", "2");
  Write(r + "/img/originalImgfiles/both.png", "1");
  Write(r + "/files/doc.txt", "d");
  Write(r + "/files2/doc.txt", "c");
  Write(r + "/outside/secret.txt", "x");
  ForwardMediaFiles media(options_);
  struct Case {
    std::string name;
    std::string path;
    int32_t mediatype;
    bool found;
    std::string result;
  } cases[] = {
      {"shot.png", r + "/img/gone.png", 3, true,
       r + "/img" + sep + "ScreenShot" + sep + "shot.png"},
      {"both.png", "", 8, true, r + "/img" + sep + "originalImgfiles" + sep + "both.png"},
      {"doc.txt", "", 4, true, r + "/files2" + sep + "doc.txt"},  // customised folder first
      {"x.png", r + "/img/ScreenShot/shot.png", 3, true, r + "/img/ScreenShot/shot.png"},
      {"doc.txt", "", 3, false, ""},  // pictures are not looked up in the file folders
      {"../../outside/secret.txt", "", 4, false, ""},
      {"..\\secret.txt", "", 4, false, ""},
      {"..", "", 3, false, ""},
      // A stored file outside the received folders is used as it is; a folder,
      // a path with "." or ".." parts, a missing file or a relative path is
      // not, and the name is looked up instead.
      {"missing.txt", r + "/outside/secret.txt", 4, true, r + "/outside/secret.txt"},
      {"secret.txt", r + "/outside", 4, false, ""},
      {"missing.txt", r + "/img/../outside/secret.txt", 4, false, ""},
      {"missing.txt", r + "/outside/./secret.txt", 4, false, ""},
      {"missing.txt", r + "/outside/gone.txt", 4, false, ""},
      {"doc.txt", "files/doc.txt", 4, true, r + "/files2" + sep + "doc.txt"},
  };
  for (Case& c : cases) {
    std::string path = c.path;
    EXPECT_EQ(media.isExistPath(c.name, path, c.mediatype), c.found) << c.name;
    EXPECT_EQ(path, c.found ? c.result : c.path) << c.name;
  }
}

TEST_F(MediaFilesTest, HardLinkOrCopy) {
  const std::string r = root_.path();
  Write(r + "/img/src.png", "picture");
  EXPECT_TRUE(ForwardMediaFiles::hardLinkOrCopyFileCustom(r + "/img/src.png", r + "/img/dst.png"));
  EXPECT_EQ(Read(r + "/img/dst.png"), "picture");
  // An existing destination counts as done.
  EXPECT_TRUE(ForwardMediaFiles::hardLinkOrCopyFileCustom(r + "/img/src.png", r + "/img/dst.png"));
  EXPECT_FALSE(ForwardMediaFiles::hardLinkOrCopyFileCustom(r + "/img/none.png", r + "/img/x.png"));
  EXPECT_FALSE(platform::PathExists(r + "/img/x.png"));
}

FileListItem Entry(const std::string& name, const std::string& folder) {
  FileListItem entry;
  entry.file_name = name;
  entry.file_real_save_name = name;
  entry.file_path = folder + "/" + name;
  entry.file_real_save_path = folder + "/" + name;
  entry.file_type = "Img";
  entry.um_url = "https://cloud/f/abc";
  return entry;
}

TEST_F(MediaFilesTest, NewPictureFileForImageAndTextRenamesTheImgTag) {
  const std::string folder = root_.path() + "/img";
  Write(folder + "/a.jpg", "j");
  RecordInfo item;
  item.mediatype = 8;
  item.fileList.push_back(Entry("a.jpg", folder));
  std::string content = "look /:um_begin{https://cloud/f/abc|Img|1|a.jpg|0|;;|}/:um_end";
  std::string html = "<p>look <img src=\"" + folder + "/a.jpg\" role=\"pic\"></p>";
  ForwardMediaFiles media(options_);
  ASSERT_TRUE(media.creatNewPicFile(item, content, html, false));
  const std::string& name = item.fileList.front().file_name;
  EXPECT_NE(html.find(name), std::string::npos);
  // The old name as a whole path part: a new UUID name may itself end in "a".
  EXPECT_EQ(html.find("/a.jpg"), std::string::npos);
  EXPECT_EQ(content.rfind("look /:um_begin{https://cloud/f/abc|Img|0|" + name, 0), 0u);
  EXPECT_TRUE(platform::PathExists(folder + "/" + name));
}

TEST_F(MediaFilesTest, NewPictureFileBesideAStoredPathWithNoFolderOptions) {
  // A picture sent from the user's own disk, forwarded by a host that names
  // no received folders; file_path differs from file_real_save_path, so
  // both get a new link.
  const std::string r = root_.path();
  Write(r + "/outside/mine.PNG", "real");
  Write(r + "/img/mine.PNG", "shown");
  RecordInfo item;
  item.mediatype = 3;
  item.fileList.push_back(Entry("mine.PNG", r + "/outside"));
  item.fileList.front().file_path = r + "/img/mine.PNG";
  std::string content = "c";
  std::string html;
  const ForwardOptions noFolders;
  ForwardMediaFiles media(noFolders);
  ASSERT_TRUE(media.creatNewPicFile(item, content, html, true));
  const FileListItem& entry = item.fileList.front();
  EXPECT_EQ(entry.file_name.size(), 40u);  // "<uuid>.png"
  EXPECT_EQ(entry.file_name.substr(36), ".png");
  EXPECT_EQ(entry.file_real_save_path, r + "/outside/" + entry.file_name);
  EXPECT_EQ(entry.file_path, r + "/img/" + entry.file_name);
  EXPECT_EQ(Read(entry.file_real_save_path), "real");
  EXPECT_EQ(Read(entry.file_path), "shown");
  EXPECT_NE(item.content.find(entry.file_name), std::string::npos);
}

TEST_F(MediaFilesTest, NewPictureFileIsRefused) {
  const std::string r = root_.path();
  Write(r + "/outside/p.png", "x");
  Write(r + "/img/p.txt", "x");
  struct Case {
    const char* label;
    int32_t mediatype;
    FileListItem entry;
    std::string content;
  } cases[] = {
      {"not a picture message", 4, Entry("p.png", r + "/img"), "c"},
      {"empty content", 3, Entry("p.png", r + "/img"), ""},
      {"extension", 3, Entry("p.txt", r + "/img"), "c"},
      {"no extension", 3, Entry("png", r + "/img"), "c"},
      {"dot-dot path", 3, Entry("p.png", r + "/img/../outside"), "c"},
      {"missing file", 3, Entry("gone.png", r + "/img"), "c"},
  };
  ForwardMediaFiles media(options_);
  for (Case& c : cases) {
    RecordInfo item;
    item.mediatype = c.mediatype;
    item.content = "body";
    item.fileList.push_back(c.entry);
    std::string content = c.content;
    std::string html;
    EXPECT_FALSE(media.creatNewPicFile(item, content, html, true)) << c.label;
    EXPECT_EQ(item.fileList.front().file_name, c.entry.file_name) << c.label;
    EXPECT_EQ(item.content, "body") << c.label;
    EXPECT_EQ(content, c.content) << c.label;
  }
}

TEST_F(MediaFilesTest, MediaExpire) {
  std::atomic<int> checks{0};
  bool cloudSaysExpired = false;
  ForwardMediaFiles media(options_, [&](int32_t, const FileListItem&) {
    ++checks;
    return cloudSaysExpired;
  });
  Write(root_.path() + "/files/kept.txt", "k");
  auto make = [&](int32_t mediatype, uint32_t expire, const std::string& utcstamp) {
    RecordInfo item;
    item.mediatype = mediatype;
    item.status = 1;
    item.utcstamp = utcstamp;
    FileListItem a = Entry("kept.txt", root_.path() + "/files");
    a.file_type = "File";
    a.expire = expire;
    item.fileList = {a, a};
    return item;
  };
  const std::string old = "1000";
  const std::string fresh = std::to_string(platform::NowUnixMillis());

  RecordInfo flagged = make(4, 1, fresh);
  EXPECT_TRUE(media.mediaExpire(1, flagged, false));
  EXPECT_FALSE(media.mediaExpire(1, flagged, true));  // local file found
  flagged.fileList[0].file_real_save_name = "gone.txt";
  flagged.fileList[0].file_path = root_.path() + "/files/gone.txt";
  EXPECT_TRUE(media.mediaExpire(1, flagged, true));

  RecordInfo young = make(4, 0, fresh);
  EXPECT_FALSE(media.mediaExpire(1, young, false));
  RecordInfo noStamp = make(4, 0, "");
  EXPECT_FALSE(media.mediaExpire(1, noStamp, false));
  EXPECT_EQ(checks.load(), 0);

  RecordInfo valid = make(4, 0, old);
  EXPECT_FALSE(media.mediaExpire(1, valid, false));
  EXPECT_EQ(checks.load(), 2);  // every entry asked
  cloudSaysExpired = true;
  RecordInfo expired = make(4, 0, old);
  EXPECT_TRUE(media.mediaExpire(1, expired, false));
  EXPECT_EQ(expired.fileList[0].expire, 1u);
  EXPECT_EQ(expired.fileList[1].expire, 1u);

  RecordInfo picturesOfAFile = make(2, 1, old);
  for (FileListItem& e : picturesOfAFile.fileList) e.file_type = "Img";
  EXPECT_FALSE(media.mediaExpire(1, picturesOfAFile, false));
}

}  // namespace
