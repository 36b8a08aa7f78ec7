#include "fields/message_bits.h"

#include <algorithm>
#include <utility>

namespace wendrake {

MessageBits::MessageBits(const uint8_t* message, int32_t loggedBytes, int32_t startByte,
                         int32_t limitBytes)
    : message_(message), logged_(std::max(loggedBytes, 0)),
      start_(std::clamp(startByte, 0, logged_) * 8) {
  Attach(limitBytes);
  limitReason_ = "the logged message ends";
}

void MessageBits::Attach(int32_t limitBytes) {
  const int32_t startByte = start_ / 8;
  const int32_t end = std::clamp(limitBytes, startByte, logged_);
  reader_.Attach(message_ + startByte, end - startByte);
}

void MessageBits::Limit(int32_t limitBytes, std::string why) {
  // Re-attach from the current position so that what was read stays read.
  const int32_t pos = position();
  start_ = pos - pos % 8;
  Attach(limitBytes);
  if (pos % 8 != 0) {
    uint64_t ignored;
    Read(pos % 8, ignored);
  }
  limitReason_ = std::move(why);
}

int32_t MessageBits::left() const {
  const int32_t left = reader_.bitsLeft();
  if (records_.empty()) return left;
  return std::min(left, records_.back().end - position());
}

bool MessageBits::BeginRecord(int32_t bits, std::string why) {
  if (bits < 0 || bits > left()) return false;
  records_.push_back({position() + bits, std::move(why)});
  return true;
}

int32_t MessageBits::EndRecord() {
  if (records_.empty()) return 0;
  const int32_t rest = left();
  records_.pop_back();
  uint64_t ignored;
  for (int32_t skipped = 0; skipped < rest; skipped += 64) {
    Read(std::min(64, rest - skipped), ignored);
  }
  return rest;
}

bool MessageBits::Read(int32_t width, uint64_t& value) {
  if (width < 0 || width > 64 || width > left()) return false;
  value = 0;
  if (width == 0) return true;
  uint8_t bytes[8];
  const int32_t count = (width + 7) / 8;
  if (!reader_.ReadBits(bytes, count, width)) return false;
  for (int32_t i = 0; i < count; ++i) value = value << 8 | bytes[i];
  return true;
}

bool MessageBits::ReadOctets(int32_t width, std::string& hex, uint64_t& first) {
  if (width < 0 || width % 8 != 0 || width > left()) return false;
  static constexpr char kDigits[] = "0123456789ABCDEF";
  hex.clear();
  first = 0;
  for (int32_t i = 0; i < width / 8; ++i) {
    uint64_t octet;
    Read(8, octet);
    if (i < 8) first = first << 8 | octet;
    hex += kDigits[octet >> 4];
    hex += kDigits[octet & 0xF];
  }
  return true;
}

void MessageBits::AlignToOctet() {
  const int32_t pad = (8 - position() % 8) % 8;
  uint64_t ignored;
  if (pad != 0 && !Read(pad, ignored)) Read(left(), ignored);
}

}  // namespace wendrake
