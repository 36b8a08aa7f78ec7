// The field decoder on any logged message: fields never lie past the logged
// bytes, a message that stops early ends with exactly one marker, and both
// writers handle whatever was decoded.
//
// Input: byte 0 picks the log code, byte 1 how the message is made (bit 0:
// write the true length in the length word, else take bytes 2..3 as it;
// bit 1: decode with the protocol revision in byte 4); the rest after the
// five header bytes is the message after its 12-octet log header.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fields/field_writers.h"
#include "fields/message_fields.h"
#include "fuzz/fuzz_check.h"

namespace {

constexpr uint16_t kLogCodes[] = {0x1004, 0x1005, 0x1006, 0x1007, 0x1008, 0x1076,
                                  0x1077, 0x1078, 0x1079, 0x107C, 0x1234};
constexpr size_t kHeader = 5;

// Checks every field of a list (records included) and returns how many
// markers it holds.
int CheckFields(const std::vector<wendrake::Field>& fields, int64_t loggedBits) {
  int markers = 0;
  for (const wendrake::Field& field : fields) {
    FUZZ_CHECK(field.bitOffset >= 0);
    if (field.kind == wendrake::Field::Kind::kTruncated) {
      ++markers;
      FUZZ_CHECK(field.bitOffset <= loggedBits);
      continue;
    }
    FUZZ_CHECK(field.width >= 0);
    FUZZ_CHECK(int64_t{field.bitOffset} + field.width <= loggedBits);
    for (const auto& record : field.records) markers += CheckFields(record, loggedBits);
  }
  return markers;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeader) return 0;
  const uint16_t logCode = kLogCodes[data[0] % (sizeof kLogCodes / sizeof kLogCodes[0])];
  const size_t bodySize = size - kHeader;
  std::vector<uint8_t> logged(12 + bodySize);
  const size_t length = (data[1] & 1) ? logged.size() : (data[2] | data[3] << 8);
  logged[0] = static_cast<uint8_t>(length);
  logged[1] = static_cast<uint8_t>(length >> 8);
  logged[2] = static_cast<uint8_t>(logCode);
  logged[3] = static_cast<uint8_t>(logCode >> 8);
  if (bodySize != 0) std::memcpy(logged.data() + 12, data + kHeader, bodySize);

  wendrake::FieldOptions options;
  if (data[1] & 2) options.pRevInUse = data[4];
  const wendrake::DecodedMessage message = wendrake::DecodeMessageFields(logged, options);

  const int markers = CheckFields(message.fields, int64_t{8} * static_cast<int64_t>(logged.size()));
  FUZZ_CHECK(markers <= 1);
  if (message.status == wendrake::DecodedMessage::Status::kTruncated) {
    FUZZ_CHECK(markers == 1);
    FUZZ_CHECK(message.fields.back().kind == wendrake::Field::Kind::kTruncated);
  } else {
    FUZZ_CHECK(markers == 0);
  }

  const std::string json = wendrake::FieldsToJson(message);
  FUZZ_CHECK(!json.empty() && json.front() == '{' && json.back() == '}');
  for (const char c : json) FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20);
  const std::string text = wendrake::FieldsToText(message);
  FUZZ_CHECK(!text.empty() && text.back() == '\n');
  return 0;
}
