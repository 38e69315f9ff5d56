#include "tests/forward/ForwardTestFiles.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <random>

#include "platform/Platform.h"

namespace forward_test {

TempFolder::TempFolder() {
  static std::atomic<int> counter{0};
  std::random_device random;
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() /
      ("im_forward_" + std::to_string(platform::ProcessId()) + "_" + std::to_string(random()) +
       "_" + std::to_string(counter++));
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  std::filesystem::create_directories(folder, ignored);
  path_ = folder.string();
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void WriteFile(const std::string& path, const std::string& content) {
  if (std::FILE* file = platform::OpenFile(path, "wb")) {
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);
  }
}

std::string ReadFile(const std::string& path) {
  std::string out;
  if (std::FILE* file = platform::OpenFile(path, "rb")) {
    for (int c; (c = std::fgetc(file)) != EOF;) out += static_cast<char>(c);
    std::fclose(file);
  }
  return out;
}

}  // namespace forward_test
