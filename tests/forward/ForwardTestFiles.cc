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
  std::FILE* file = platform::OpenFile(path, "wb");
  if (file == nullptr) return;
  std::fwrite(content.data(), 1, content.size(), file);
  std::fclose(file);
}

std::string ReadFile(const std::string& path) {
  std::string out;
  std::FILE* file = platform::OpenFile(path, "rb");
  if (file == nullptr) return out;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) out.append(buffer, n);
  std::fclose(file);
  return out;
}

}  // namespace forward_test
