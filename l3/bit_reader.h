// Reads bit fields of over-the-air messages, most significant bit first.
#pragma once

#include <cstdint>

namespace wendrake {

class BitReader {
 public:
  BitReader() = default;

  // Starts reading `byteCount` bytes at `bytes` (not owned). A count of zero
  // or less makes every read fail.
  void Attach(const uint8_t* bytes, int32_t byteCount);

  // Reads the next n bits and writes them right-aligned into dest as
  // ceil(n / 8) bytes, most significant byte first. Fails, without touching
  // dest, when fewer than n bits are left (the reader is then emptied), when
  // n is 0 (nothing consumed), or when destCapacity is below ceil(n / 8) (the
  // bits are consumed all the same).
  bool ReadBits(uint8_t* dest, int32_t destCapacity, int32_t n);

  int32_t bitPos() const { return bitPos_; }
  int32_t bitsLeft() const { return bitsLeft_; }

 private:
  const uint8_t* data_ = nullptr;
  int32_t bitPos_ = 1;  // 1-based position of the next bit
  int32_t bitsLeft_ = 0;
};

}  // namespace wendrake
