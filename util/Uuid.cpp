#include <random>

#include "util/Utils.h"

namespace util {
namespace {

constexpr char kTemplate[] = "xxxxxxxx-xxxx-4xxx-yxxx-xxxxxxxxxxxx";
constexpr char kHexDigits[] = "0123456789abcdef";

// One engine per thread, seeded once from the random device with a full
// seed sequence. Drawing every digit from the device itself costs a system
// call per digit; a per-thread engine needs no lock and is many times faster
// while each thread still starts from its own unpredictable state.
std::mt19937_64& ThreadEngine() {
  thread_local std::mt19937_64 engine = [] {
    std::random_device device;
    std::seed_seq seed{device(), device(), device(), device(),
                       device(), device(), device(), device()};
    return std::mt19937_64(seed);
  }();
  return engine;
}

}  // namespace

std::string GenerateUuid() {
  std::mt19937_64& engine = ThreadEngine();
  std::uniform_int_distribution<int> nibble(0, 15);
  std::string uuid(kTemplate);
  for (char& c : uuid) {
    if (c == 'x') {
      c = kHexDigits[nibble(engine)];
    } else if (c == 'y') {
      c = kHexDigits[(nibble(engine) & 3) | 8];
    }
  }
  return uuid;
}

}  // namespace util
