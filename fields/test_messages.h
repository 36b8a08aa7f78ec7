// Test helpers: messages built bit by bit, independently of the layouts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "fields/field.h"

namespace wendrake {

class BitWriter {
 public:
  BitWriter& Put(uint64_t value, int width) {
    for (int i = width - 1; i >= 0; --i) bits_.push_back((value >> i) & 1);
    return *this;
  }
  // (name, width, value) rows, as the standard's tables list them.
  BitWriter& Put(const std::vector<std::pair<int, uint64_t>>& rows) {
    for (const auto& [width, value] : rows) Put(value, width);
    return *this;
  }
  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> out((bits_.size() + 7) / 8, 0);
    for (size_t i = 0; i < bits_.size(); ++i) {
      if (bits_[i]) out[i / 8] |= static_cast<uint8_t>(0x80 >> (i % 8));
    }
    return out;
  }
  size_t size() const { return bits_.size(); }

 private:
  std::vector<bool> bits_;
};

// A logged message: length word, log code, time stamp, then `payload`.
inline std::vector<uint8_t> Logged(uint16_t logCode, const std::vector<uint8_t>& payload) {
  const size_t total = 12 + payload.size();
  std::vector<uint8_t> out = {static_cast<uint8_t>(total), static_cast<uint8_t>(total >> 8),
                              static_cast<uint8_t>(logCode), static_cast<uint8_t>(logCode >> 8),
                              1, 2, 3, 4, 5, 6, 7, 8};
  for (uint8_t byte : payload) out.push_back(byte);
  return out;
}

// A 1x message: MSG_LENGTH (octets, itself included), then `body`.
inline std::vector<uint8_t> Logged1x(uint16_t logCode, const BitWriter& body, int lengthExtra = 0) {
  std::vector<uint8_t> payload = body.Bytes();
  payload.insert(payload.begin(), static_cast<uint8_t>(payload.size() + 1 + lengthExtra));
  return Logged(logCode, payload);
}

inline const Field* Find(const std::vector<Field>& fields, std::string_view name) {
  for (const Field& field : fields) {
    if (field.name == name) return &field;
  }
  return nullptr;
}

inline uint64_t Raw(const DecodedMessage& message, std::string_view name) {
  const Field* field = Find(message.fields, name);
  EXPECT_NE(field, nullptr) << name;
  return field == nullptr ? ~uint64_t{0} : field->raw;
}

inline std::vector<std::string_view> Names(const std::vector<Field>& fields) {
  std::vector<std::string_view> names;
  for (const Field& field : fields) names.push_back(field.name);
  return names;
}

}  // namespace wendrake
