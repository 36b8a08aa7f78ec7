// Helpers shared by the fuzz targets: a check that stops the process (so
// libFuzzer keeps the input) and a small deterministic random source driven
// by input bytes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(cond)                                                                    \
  do {                                                                                      \
    if (!(cond)) {                                                                          \
      std::fprintf(stderr, "fuzz check failed: %s at %s:%d\n", #cond, __FILE__, __LINE__); \
      std::abort();                                                                         \
    }                                                                                       \
  } while (0)

namespace wendrake_fuzz {

// splitmix64: decisions derived from a seed taken from the input, so a saved
// input replays the same calls.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}

  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform-enough value in [0, n); 0 when n is 0.
  uint32_t Below(uint32_t n) { return n == 0 ? 0 : static_cast<uint32_t>(Next() % n); }
  bool OneIn(uint32_t n) { return Below(n) == 0; }

 private:
  uint64_t state_;
};

// Diagnostics of out-of-range indexes and overflows go to stdout; a fuzzer
// provokes thousands of them per second.
inline void QuietStdout() {
  if (std::getenv("WENDRAKE_FUZZ_VERBOSE") == nullptr) {
    if (std::freopen("/dev/null", "w", stdout) == nullptr) std::fprintf(stderr, "stdout stays\n");
  }
}

}  // namespace wendrake_fuzz
