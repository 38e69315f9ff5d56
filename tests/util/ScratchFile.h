// Scratch files for the tests, through the platform layer so that UTF-8 names
// work on every platform: write, read back, a file removed with its owner and
// a folder removed with everything in it.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/Platform.h"

namespace testfiles {

// Writes content into path, replacing it; a failure fails the running test.
inline void Write(const std::string& path, const std::string& content) {
  std::FILE* file = platform::OpenFile(path, "wb");
  ASSERT_NE(file, nullptr) << path << ": " << platform::LastErrorText();
  const size_t written = std::fwrite(content.data(), 1, content.size(), file);
  EXPECT_EQ(std::fclose(file), 0) << path;
  EXPECT_EQ(written, content.size()) << path;
}

// The whole content of path; "" when it cannot be read.
inline std::string Read(const std::string& path) {
  std::FILE* file = platform::OpenFile(path, "rb");
  if (file == nullptr) return std::string();
  std::string content;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) content.append(buffer, n);
  std::fclose(file);
  return content;
}

// A file in the working folder under a name unique to this process, holding
// content until the object goes.
class ScratchFile {
 public:
  ScratchFile(const std::string& name, const std::string& content)
      : path_(platform::CurrentDirectory() + platform::PathSeparator() + "im_test_" +
              std::to_string(platform::ProcessId()) + "_" + name) {
    Write(path_, content);
  }
  ~ScratchFile() { platform::RemoveFile(path_); }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  const std::string path_;
};

// A fresh folder under base (the system's temporary folder when empty),
// removed with everything in it when the object goes.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& base = std::string()) {
    static std::atomic<int> counter{0};
    const std::filesystem::path root =
        base.empty() ? std::filesystem::temp_directory_path() : std::filesystem::path(base);
    const std::string prefix = "im_test_" + std::to_string(platform::ProcessId()) + "_";
    do {
      path_ = (root / (prefix + std::to_string(counter++))).string();
    } while (!std::filesystem::create_directories(path_));  // false: left by an earlier run
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace testfiles
