#include "bench/log/BenchLogSupport.h"

#include <filesystem>

#include "platform/Platform.h"

namespace logbench {

const char* const kLineText =
    "ProcessRecvMsg cmd=1 sno=40213 target=5 length=1834 records=50 result=0 elapsed=12ms";

std::string MakeScratchFolder(const std::string& name) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                       ("im_log_bench_" + name + "_" +
                                        std::to_string(platform::ProcessId()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder / "log");
  return folder.string();
}

void RemoveScratchFolder(const std::string& folder) {
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

}  // namespace logbench
