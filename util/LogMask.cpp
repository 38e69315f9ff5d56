#include "util/Utils.h"

namespace util {
namespace {

constexpr size_t kShortStars = 3;  // stars of texts up to 11 bytes
constexpr size_t kLongKeep = 5;    // bytes kept on each side of texts of 12 bytes or more
constexpr size_t kLongFrom = 12;

}  // namespace

std::string MaskForLog(const std::string& text) {
  const size_t n = text.size();
  if (n == 0) return std::string();
  if (n <= 3) return std::string(kShortStars, '*');
  if (n == 4) return std::string(kShortStars, '*') + text.back();
  if (n < kLongFrom) {
    const size_t head = (n - kShortStars) / 2;
    return text.substr(0, head) + std::string(kShortStars, '*') + text.substr(head + kShortStars);
  }
  return text.substr(0, kLongKeep) + std::string(kLongKeep, '*') + text.substr(n - kLongKeep);
}

}  // namespace util
