// Deterministic random input for tests that throw garbage at the decoder.
#pragma once

#include <cstdint>
#include <random>
#include <string>

namespace wendrake_test {

class RandomText {
 public:
  explicit RandomText(uint32_t seed) : rng_(seed) {}

  // A number in [0, n).
  int Below(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }
  uint32_t Next() { return rng_(); }

  // Up to maxLength bytes of any value except the newline, which would end
  // the line.
  std::string Garbage(int maxLength) {
    std::string s(static_cast<size_t>(Below(maxLength + 1)), ' ');
    for (char& ch : s) {
      do ch = static_cast<char>(Below(256)); while (ch == '\n');
    }
    return s;
  }

  // Up to maxLength characters drawn from `alphabet`.
  std::string From(const std::string& alphabet, int maxLength) {
    std::string s(static_cast<size_t>(Below(maxLength + 1)), ' ');
    for (char& ch : s) ch = alphabet[static_cast<size_t>(Below(static_cast<int>(alphabet.size())))];
    return s;
  }

 private:
  std::mt19937 rng_;
};

}  // namespace wendrake_test
