#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "util/Utils.h"

namespace {

std::string InMemoryMd5Hex(const std::string& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EXPECT_EQ(EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr), 1);
  char hex[3];
  std::string text;
  for (unsigned int i = 0; i < length; ++i) {
    std::snprintf(hex, sizeof hex, "%02x", digest[i]);
    text += hex;
  }
  return text;
}

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

TEST_F(FileMd5HexTest, PublishedVectorsAndReadChunkEdges) {
  const std::pair<std::string, std::string> vectors[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      // One million bytes: fifteen full read chunks and a partial one.
      {std::string(1000000, 'a'), "7707d6ae4e027c70eea2a935c2296f21"},
  };
  int n = 0;
  for (const auto& v : vectors) {
    const std::string path = MakeFile("vector" + std::to_string(n++), v.first);
    EXPECT_EQ(util::FileMd5Hex(path), v.second) << v.first.substr(0, 30);
  }
  for (size_t size : {65534u, 65535u, 65536u, 131070u, 131071u}) {
    std::string content(size, '\0');
    for (size_t i = 0; i < size; ++i) content[i] = static_cast<char>((i * 31 + size) & 0xFF);
    const std::string path = MakeFile("edge" + std::to_string(size), content);
    EXPECT_EQ(util::FileMd5Hex(path), InMemoryMd5Hex(content)) << size << " bytes";
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
