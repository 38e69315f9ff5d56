#include "plugins/common/StandInSettings.h"

#include <cstdlib>
#include <vector>

#include "plugins/hostlink/StandInHost.h"

namespace standin {

std::string Setting(const char* name, const std::string& fallback) {
  std::vector<char> buffer(256);
  for (;;) {
    const int32_t n = StandInGetOption(name, buffer.data(), static_cast<uint32_t>(buffer.size()));
    if (n == -1) return fallback;
    if (n >= 0) return std::string(buffer.data(), static_cast<size_t>(n));
    if (buffer.size() > (1u << 20)) return fallback;
    buffer.resize(buffer.size() * 4);
  }
}

long SettingNumber(const char* name, long fallback, long minimum, long maximum) {
  const std::string text = Setting(name, "");
  if (text.empty()) return fallback;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || value < minimum || value > maximum) return fallback;
  return value;
}

}  // namespace standin
