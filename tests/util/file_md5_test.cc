#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "util/Utils.h"

namespace {

// Files made in the test's working folder under names unique to this process,
// removed when the fixture ends.
class FileMd5HexTest : public ::testing::Test {
 protected:
  ~FileMd5HexTest() override {
    for (const std::string& path : made_) platform::RemoveFile(path);
  }

  std::string MakeFile(const std::string& name, const std::string& content) {
    const std::string path = platform::CurrentDirectory() + platform::PathSeparator() +
                             "util_md5_" + std::to_string(platform::ProcessId()) + "_" + name;
    std::FILE* file = platform::OpenFile(path, "wb");
    EXPECT_NE(file, nullptr) << path;
    if (file == nullptr) return path;
    EXPECT_EQ(std::fwrite(content.data(), 1, content.size(), file), content.size());
    std::fclose(file);
    made_.push_back(path);
    return path;
  }

 private:
  std::vector<std::string> made_;
};

// n bytes, byte i being (31 i + n) mod 256.
std::string Pattern(size_t n) {
  std::string content(n, '\0');
  for (size_t i = 0; i < n; ++i) content[i] = static_cast<char>((i * 31 + n) & 0xFF);
  return content;
}

TEST_F(FileMd5HexTest, PublishedVectorsAndReadChunkEdges) {
  const std::pair<std::string, std::string> vectors[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      // Around the 65535-byte read chunk.
      {Pattern(65534), "ce915aa524ca6e20d338e0ae1ca2fc63"},
      {Pattern(65535), "39c57427b14b61773e0a81e68a83dcb0"},
      {Pattern(65536), "a5a5dfa7d29736aecbf57924186dfcc8"},
      {Pattern(131070), "1c7c21444275e80b994cf012f8133d05"},
      {Pattern(131071), "700e56741bd69f761636cee84d50e3b4"},
      // One million bytes: fifteen full read chunks and a partial one.
      {std::string(1000000, 'a'), "7707d6ae4e027c70eea2a935c2296f21"},
  };
  int n = 0;
  for (const auto& [content, digest] : vectors) {
    const std::string path = MakeFile("vector" + std::to_string(n++), content);
    EXPECT_EQ(util::FileMd5Hex(path), digest) << content.size() << " bytes";
  }
}

TEST_F(FileMd5HexTest, NonAsciiNameAndWhatCannotBeRead) {
  const std::string path = MakeFile("\xE6\x8A\xA5\xE5\x91\x8A.txt", "abc");
  EXPECT_EQ(util::FileMd5Hex(path), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(util::FileMd5Hex(platform::CurrentDirectory() + "/util_md5_no_such_file"), "");
  EXPECT_EQ(util::FileMd5Hex(""), "");
  EXPECT_EQ(util::FileMd5Hex(platform::CurrentDirectory()), "");  // a folder
}

}  // namespace
