#include "records/cl3_record.h"

#include <array>
#include <cstdlib>
#include <cstring>

#include "core/c_numbers.h"
#include "core/line_decoder.h"
#include "core/tab_fields.h"
#include "records/drop_sets.h"

namespace wendrake {
namespace {

constexpr int kMessageHeaderSize = 12;  // length word, log code, time stamp
constexpr SlotRef kFirstWordSlot = SlotRefOf(275);   // 0x7F01C102
constexpr SlotRef kSecondWordSlot = SlotRefOf(276);  // 0x7F01C103

// Byte of every two-character pair, read as strtol in base 16 reads it (a
// leading blank, sign or "0x" included) and cut to 8 bits. Built once with
// the C library itself so odd pairs give exactly its results.
const std::array<uint8_t, 65536>& PairBytes() {
  static const std::array<uint8_t, 65536> table = [] {
    std::array<uint8_t, 65536> bytes{};
    for (int pair = 0; pair < 65536; ++pair) {
      const char text[3] = {static_cast<char>(pair >> 8), static_cast<char>(pair & 0xFF), '\0'};
      bytes[pair] = static_cast<uint8_t>(std::strtol(text, nullptr, 16) & 0xFF);
    }
    return bytes;
  }();
  return table;
}

int HexToBytes(std::string_view hex, uint8_t* out) {
  const std::array<uint8_t, 65536>& pairBytes = PairBytes();
  int n = 0;
  for (size_t i = 1; i < hex.size(); i += 2) {
    const unsigned pair = (static_cast<uint8_t>(hex[i - 1]) << 8) | static_cast<uint8_t>(hex[i]);
    out[n++] = pairBytes[pair];
  }
  return n;
}

// Category of each log code: the index in this table.
constexpr uint16_t kCategoryLogCodes[10] = {0x1004, 0x1007, 0x1005, 0x1008, 0x1006,
                                            0x1076, 0x1077, 0x1079, 0x1078, 0x107C};

int CategoryOf(uint16_t logCode) {
  for (int category = 0; category < 10; ++category) {
    if (kCategoryLogCodes[category] == logCode) return category;
  }
  return -1;
}

void ReportWord(LineDecoder& decoder, int word, uint8_t* k) {
  decoder.params.SetParam(&decoder.current, word == 0 ? kFirstWordSlot : kSecondWordSlot,
                          decoder.layer3State[word], k);
}

void RunHandler(LineDecoder& decoder, int category) {
  ReportItem& current = decoder.current;
  uint16_t* words = decoder.layer3State;
  const uint16_t start = decoder.params.seenCount();
  uint8_t k = 0;
  bool dropOneX = false;
  switch (category) {
    case 0:  // access channel
      words[0] = 1;
      ReportWord(decoder, 0, &k);
      break;
    case 1:  // paging channel
    case 4:
      words[0] = 0;
      ReportWord(decoder, 0, &k);
      dropOneX = true;
      break;
    case 2:  // traffic channels
    case 3:
      words[0] = 2;
      words[1] = 0;
      ReportWord(decoder, 0, &k);
      ReportWord(decoder, 1, &k);
      break;
    default:  // EV-DO signalling
      if (words[0] == 1 || words[0] == 2) {
        words[0] = 0;
        ReportWord(decoder, 0, &k);
      }
      dropOneX = true;
      break;
  }
  current.curParamCount = k;
  decoder.params.SettleInheritList(&current, start, k);
  if (dropOneX) decoder.params.DropParam(&current, OneXSet());
}

}  // namespace

bool DecodeCl3Record(LineDecoder& decoder, std::string_view lineText) {
  std::string_view fields[4];
  int count = 0;
  TabFields splitter(lineText);
  while (count < 4 && splitter.Next(&fields[count])) ++count;
  if (count < 4 || fields[3].empty()) return true;

  // A line holds at most 8191 bytes, so a message has fewer than 4096 bytes.
  uint8_t* message = decoder.layer3Buffer;
  const int n = HexToBytes(fields[3], message);
  decoder.layer3Length = n;

  ReportItem& current = decoder.current;
  current.raw[0] = 0x10;
  current.raw[1] = 0x00;
  current.raw[2] = n > 0 ? message[0] : 0;
  current.raw[3] = n > 1 ? message[1] : 0;
  std::memcpy(current.raw + 4, message, static_cast<size_t>(n));
  current.rawLength = static_cast<uint32_t>(n + 4);

  // The text of a layer-3 item is the message body, binary; a message too
  // short for a body has an empty text.
  const int bodyLength = n > kMessageHeaderSize ? n - kMessageHeaderSize : 0;
  std::memcpy(current.text, message + kMessageHeaderSize, static_cast<size_t>(bodyLength));
  decoder.text.MarkWritten(static_cast<size_t>(bodyLength));
  current.textLength = static_cast<uint32_t>(bodyLength);

  const int category = fields[2].empty() ? -1 : CAtoi(fields[2]);
  // Fewer than four bytes hold no length word and log code.
  if (n < 4) return false;
  const uint16_t logCode = static_cast<uint16_t>(message[2] | (message[3] << 8));
  const int16_t lengthWord = static_cast<int16_t>(message[0] | (message[1] << 8));
  const int logCategory = CategoryOf(logCode);
  if (logCategory < 0 || logCategory != category || lengthWord != n) return false;
  RunHandler(decoder, logCategory);
  return true;
}

}  // namespace wendrake
