#include <gtest/gtest.h>

#include <string>

#include "platform/Platform.h"
#include "tests/util/ScratchFile.h"
#include "util/Utils.h"

namespace {

// n bytes, byte i being (31 i + n) mod 256.
std::string Pattern(size_t n) {
  std::string content(n, '\0');
  for (size_t i = 0; i < n; ++i) content[i] = static_cast<char>((i * 31 + n) & 0xFF);
  return content;
}

TEST(FileMd5Hex, PublishedVectorsAndReadChunkEdges) {
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
    const testfiles::ScratchFile file("md5_" + std::to_string(n++), content);
    EXPECT_EQ(util::FileMd5Hex(file.path()), digest) << content.size() << " bytes";
  }
}

TEST(FileMd5Hex, NonAsciiNameAndWhatCannotBeRead) {
  const testfiles::ScratchFile file("\xE6\x8A\xA5\xE5\x91\x8A.txt", "abc");
  EXPECT_EQ(util::FileMd5Hex(file.path()), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(util::FileMd5Hex(platform::CurrentDirectory() + "/util_md5_no_such_file"), "");
  EXPECT_EQ(util::FileMd5Hex(""), "");
  EXPECT_EQ(util::FileMd5Hex(platform::CurrentDirectory()), "");  // a folder
}

}  // namespace
