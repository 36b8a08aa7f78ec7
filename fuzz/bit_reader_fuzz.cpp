// Random Attach/ReadBits sequences against a bit-by-bit model of the reader.
// The attached bytes and the destination are heap blocks of exactly the
// sizes passed, so any access past them is caught by AddressSanitizer.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "l3/bit_reader.h"

namespace {

constexpr uint8_t kSentinel = 0xA5;

// Bit `index` (0-based, most significant bit of byte 0 first).
int BitAt(const std::vector<uint8_t>& bytes, int64_t index) {
  return (bytes[static_cast<size_t>(index / 8)] >> (7 - index % 8)) & 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  wendrake::BitReader reader;

  std::vector<uint8_t> bytes;
  int32_t count = 0;   // byte count given to Attach
  int64_t pos = 0;     // model: bits consumed
  int64_t left = 0;    // model: bits left
  bool attached = false;

  while (in.remaining_bytes() > 0) {
    if (!attached || in.ConsumeIntegralInRange(0, 15) == 0) {
      bytes = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 64));
      switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0: count = -in.ConsumeIntegralInRange<int32_t>(0, 1000); break;
        case 1: count = in.ConsumeIntegralInRange<int32_t>(0, static_cast<int32_t>(bytes.size())); break;
        default: count = static_cast<int32_t>(bytes.size()); break;
      }
      if (count > 0) bytes.resize(static_cast<size_t>(count));
      // A zero or negative count may come with any pointer, null included.
      const uint8_t* base = count > 0 ? bytes.data() : (in.ConsumeBool() ? nullptr : data);
      reader.Attach(base, count);
      pos = 0;
      left = count > 0 ? int64_t{count} * 8 : 0;
      attached = true;
      FUZZ_CHECK(reader.bitPos() == 1 && reader.bitsLeft() == left);
    }

    int32_t n;
    switch (in.ConsumeIntegralInRange(0, 7)) {
      case 0: n = in.ConsumeIntegralInRange<int32_t>(-3, 0); break;
      case 1: n = in.ConsumeIntegral<int32_t>(); break;
      case 2: n = in.ConsumeIntegralInRange<int32_t>(0, 8 * 64 + 8); break;
      default: n = in.ConsumeIntegralInRange<int32_t>(1, 16); break;
    }
    const int32_t capacity = in.ConsumeIntegralInRange<int32_t>(0, 9);
    const bool nullDest = capacity == 0 && in.ConsumeBool();
    std::vector<uint8_t> dest(static_cast<size_t>(capacity), kSentinel);
    uint8_t* destPtr = nullDest ? nullptr : dest.data();

    const bool ok = reader.ReadBits(destPtr, capacity, n);

    const int64_t outBytes = (int64_t{n} + 7) / 8;
    bool expected = false;
    if (n <= 0) {
      // nothing consumed, nothing written
    } else if (left < n) {
      left = 0;  // the reader empties; its position stays
    } else {
      expected = destPtr != nullptr && capacity >= outBytes;
      if (expected) {
        for (int64_t r = 0; r < outBytes; ++r) {
          // Byte r of the right-aligned value: bits n-8*(outBytes-r) .. +8.
          unsigned value = 0;
          for (int64_t b = 0; b < 8; ++b) {
            const int64_t fieldBit = int64_t{n} - 8 * (outBytes - r) + b;
            value = value << 1 | (fieldBit >= 0 ? BitAt(bytes, pos + fieldBit) : 0u);
          }
          FUZZ_CHECK(dest[static_cast<size_t>(r)] == value);
        }
      }
      pos += n;
      left -= n;
    }
    FUZZ_CHECK(ok == expected);
    if (!ok) {
      for (uint8_t b : dest) FUZZ_CHECK(b == kSentinel);  // untouched on failure
    } else {
      for (size_t r = static_cast<size_t>(outBytes); r < dest.size(); ++r) FUZZ_CHECK(dest[r] == kSentinel);
    }
    FUZZ_CHECK(reader.bitPos() == pos + 1);
    FUZZ_CHECK(reader.bitsLeft() == left);
    FUZZ_CHECK(reader.bitsLeft() == 0 || reader.bitPos() - 1 + reader.bitsLeft() == int64_t{count} * 8);
  }
  return 0;
}
