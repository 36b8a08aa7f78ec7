// The layer-3 path alone: message bytes become the hex field of a "CL3"
// line decoded by a decoder object, and the record the line builds must
// match one built here; MakeL3MsgCode and the order decoders also run on the
// input bytes directly, with lengths that need not match the buffer.
//
// Input: byte 0 picks the module type, byte 1 how the line is made (low
// nibble: the category field; bit 4: patch the length word to the message
// length; bit 5: lower-case digits; bit 6: the bytes are the hex field as
// they are, garbage included), byte 2 the length handed to MakeL3MsgCode;
// the rest is the message.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "l3/l3_msg_code.h"
#include "wendrake/wendrake.h"

namespace {

constexpr int kModules[] = {WENDRAKE_MODULE_B101, WENDRAKE_MODULE_B200, WENDRAKE_MODULE_B20A,
                            WENDRAKE_MODULE_B20B, WENDRAKE_MODULE_BD00};
constexpr uint16_t kCategoryLogCodes[10] = {0x1004, 0x1007, 0x1005, 0x1008, 0x1006,
                                            0x1076, 0x1077, 0x1079, 0x1078, 0x107C};
// The longest message whose line fits the 8191-byte line limit.
constexpr size_t kMaxMessage = 4000;

int CategoryOf(uint16_t logCode) {
  for (int c = 0; c < 10; ++c) {
    if (kCategoryLogCodes[c] == logCode) return c;
  }
  return -1;
}

// Runs MakeL3MsgCode and the order decoders on a heap copy of exactly `len`
// bytes, so a read past the length is caught.
void CodeOfExactCopy(const uint8_t* bytes, int32_t len, int module) {
  std::vector<uint8_t> copy(bytes, bytes + (len > 0 ? len : 0));
  const uint8_t* p = len > 0 ? copy.data() : nullptr;
  (void)wendrake::MakeL3MsgCode(p, len, module);
  (void)wendrake::DecodeOrder1004(p, len);
  (void)wendrake::DecodeOrder1005(p, len);
  (void)wendrake::DecodeOrder1007(p, len);
  (void)wendrake::DecodeOrder1008(p, len);
  if (len > 0) {
    // The same bytes behind the record marker, so the header rules run.
    copy[0] = 0x10;
    const uint32_t code = wendrake::MakeL3MsgCode(copy.data(), len, module);
    FUZZ_CHECK(code != 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  wendrake_fuzz::QuietStdout();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) {
    CodeOfExactCopy(data, static_cast<int32_t>(size), kModules[0]);
    return 0;
  }
  const int module = kModules[data[0] % 5];
  const uint8_t mode = data[1];
  const uint8_t lenPick = data[2];
  std::vector<uint8_t> message(data + 3, data + 3 + std::min(size - 3, kMaxMessage));
  const size_t n = message.size();

  // Direct calls: the whole input, a prefix, and lengths of 0 or below.
  const int32_t lens[] = {static_cast<int32_t>(size), static_cast<int32_t>(lenPick % (size + 1)),
                          0, -static_cast<int32_t>(lenPick)};
  for (int32_t len : lens) CodeOfExactCopy(data, len, module);

  const bool garbage = (mode & 0x40) != 0;
  if (!garbage && (mode & 0x10) != 0 && n >= 2) {
    message[0] = static_cast<uint8_t>(n & 0xFF);
    message[1] = static_cast<uint8_t>(n >> 8);
  }
  const uint16_t logCode = n >= 4 ? static_cast<uint16_t>(message[2] | message[3] << 8) : 0;
  std::string category;
  switch (mode & 0x0F) {
    case 10: break;  // empty field
    case 11: category = "-1"; break;
    case 12: category = "99999999999999999999"; break;
    case 13: category = " +2x"; break;
    case 14: category = std::to_string(mode >> 4); break;
    case 15: category = std::to_string(CategoryOf(logCode)); break;
    default: category = std::to_string(mode & 0x0F); break;
  }

  std::string hex;
  if (garbage) {
    for (uint8_t b : message) hex += b == '\n' ? ' ' : static_cast<char>(b);
  } else {
    const char* digits = (mode & 0x20) ? "0123456789abcdef" : "0123456789ABCDEF";
    for (uint8_t b : message) {
      hex += digits[b >> 4];
      hex += digits[b & 15];
    }
  }
  const std::string line = "CL3\t1\t" + category + "\t" + hex + "\n";

  DecoderObject* d = CreateDecoderObjectProc(module);
  FUZZ_CHECK(d != nullptr);
  FUZZ_CHECK(DecodeMsgProc(d, line.data(), static_cast<int>(line.size())));
  const int count = GetReportItemCountProc(d);
  FUZZ_CHECK(count == 0 || count == 1);

  if (!garbage) {
    // Whether an item comes is known from the message alone.
    const size_t fieldEnd = line.find('\t', 6 + category.size() + 1);
    const bool hexFieldWhole = fieldEnd == std::string::npos;
    FUZZ_CHECK(hexFieldWhole);
    int expectedCategory = -1;
    if (!category.empty()) expectedCategory = std::atoi(category.c_str());
    const bool checkPasses = n >= 4 && CategoryOf(logCode) >= 0 && CategoryOf(logCode) == expectedCategory &&
                             static_cast<int16_t>(message[0] | message[1] << 8) == static_cast<int>(n);
    FUZZ_CHECK(count == ((n == 0 || checkPasses) ? 1 : 0));
  }

  if (count == 1) {
    const ReportItem* item = GetReportItemProc(d, 0);
    FUZZ_CHECK(item != nullptr);
    if (!garbage && n > 0) {
      // The record: 0x10, 0x00, the length word, then the message.
      std::vector<uint8_t> record = {0x10, 0x00, message[0], n > 1 ? message[1] : uint8_t{0}};
      record.insert(record.end(), message.begin(), message.end());
      FUZZ_CHECK(item->rawLength == record.size());
      FUZZ_CHECK(std::memcmp(item->raw, record.data(), record.size()) == 0);
      const size_t body = n > 12 ? n - 12 : 0;
      FUZZ_CHECK(item->textLength == body);
      FUZZ_CHECK(std::memcmp(item->text, message.data() + 12, body) == 0);
      FUZZ_CHECK(item->msgCode ==
                 wendrake::MakeL3MsgCode(record.data(), static_cast<int32_t>(record.size()), module));
    }
    FUZZ_CHECK(item->textLength < WENDRAKE_BLOCK_SIZE);
    FUZZ_CHECK(item->rawLength <= WENDRAKE_BLOCK_SIZE);
    for (size_t i = item->textLength; i < WENDRAKE_BLOCK_SIZE; ++i) FUZZ_CHECK(item->text[i] == 0);
    const int direction = GetReportItemMsgDirection(d, 0);
    FUZZ_CHECK(direction >= 0 && direction <= 2);
  }
  FUZZ_CHECK(ClearReportItemsProc(d));
  FUZZ_CHECK(FreeDecoderObjectProc(&d));
  return 0;
}
