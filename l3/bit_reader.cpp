#include "l3/bit_reader.h"

#include <cstdint>

namespace wendrake {

namespace {

// Largest byte count whose bit count still fits the signed 32-bit counters.
constexpr int32_t kMaxBytes = INT32_MAX / 8;

}  // namespace

void BitReader::Attach(const uint8_t* bytes, int32_t byteCount) {
  data_ = bytes;
  bitPos_ = 1;
  // A negative count reads nothing; a count too large for the bit counters is
  // cut so that the counters never overflow (no real message comes near it).
  if (bytes == nullptr || byteCount <= 0) {
    bitsLeft_ = 0;
  } else {
    bitsLeft_ = (byteCount > kMaxBytes ? kMaxBytes : byteCount) * 8;
  }
}

bool BitReader::ReadBits(uint8_t* dest, int32_t destCapacity, int32_t n) {
  // An empty or negative field is no field: nothing is consumed.
  if (n <= 0) return false;
  if (bitsLeft_ < n) {
    // A message cut short stays cut short: every later read fails too.
    bitsLeft_ = 0;
    return false;
  }
  const int32_t outBytes = n / 8 + (n % 8 != 0 ? 1 : 0);
  const bool fits = dest != nullptr && destCapacity >= outBytes;
  if (fits) {
    // Output bytes are built from the field's end backwards: each is the
    // 8 bits that end 8 * r bits before the field's end, so the value comes
    // out right-aligned. Only bytes holding field bits are ever touched.
    const int32_t first = (bitPos_ - 1) / 8;
    const int32_t end = bitPos_ - 1 + n;  // bit index just past the field
    const int32_t last = (end - 1) / 8;
    const int tail = (8 - end % 8) % 8;   // bits of the last byte after the field
    for (int32_t r = 0; r < outBytes; ++r) {
      const int32_t q = last - r;
      unsigned value = data_[q] >> tail;
      if (tail != 0 && q - 1 >= first) value |= unsigned{data_[q - 1]} << (8 - tail);
      dest[outBytes - 1 - r] = static_cast<uint8_t>(value);
    }
    // The leading output byte holds only the field's first bits; anything
    // before the field start that the window picked up is cleared.
    const int topBits = n - 8 * (outBytes - 1);
    dest[0] &= static_cast<uint8_t>((1u << topBits) - 1);
  }
  // The bits are consumed even when the destination was too small, so the
  // caller stays aligned with the message's field layout.
  bitPos_ += n;
  bitsLeft_ -= n;
  return fits;
}

}  // namespace wendrake
