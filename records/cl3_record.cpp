#include "records/cl3_record.h"

#include <array>
#include <cstdlib>
#include <cstring>

#include "l3/log_codes.h"
#include "records/drop_sets.h"
#include "text/c_numbers.h"
#include "text/tab_fields.h"

namespace wendrake {
namespace {

constexpr int kMessageHeaderSize = 12;  // length word, log code, time stamp
constexpr SlotRef kLayer3StateSlot = SlotRefOfParam(WENDRAKE_PARAM_L3_STATE);
constexpr SlotRef kEvdoStateSlot = SlotRefOfParam(WENDRAKE_PARAM_EVDO_STATE);

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

// Advances the state words as a message of the category does and reports
// them; 1x parameters lapse when 1x traffic ends.
void RunHandler(const RecordContext& line, SignallingState& state, int category) {
  ParamRegistry& params = line.params;
  bool dropOneX = false;
  switch (category) {
    case 0:  // access channel
      state.layer3 = 1;
      params.Set(kLayer3StateSlot, state.layer3);
      break;
    case 1:  // paging channel
    case 4:
      state.layer3 = 0;
      params.Set(kLayer3StateSlot, state.layer3);
      dropOneX = true;
      break;
    case 2:  // traffic channels
    case 3:
      state.layer3 = 2;
      state.evdo = 0;
      params.Set(kLayer3StateSlot, state.layer3);
      params.Set(kEvdoStateSlot, state.evdo);
      break;
    default:  // EV-DO signalling
      if (state.layer3 == 1 || state.layer3 == 2) {
        state.layer3 = 0;
        params.Set(kLayer3StateSlot, state.layer3);
      }
      dropOneX = true;
      break;
  }
  params.Settle();
  if (dropOneX) params.Drop(OneXSet());
}

}  // namespace

bool DecodeCl3Record(const RecordContext& line, std::string_view lineText,
                     SignallingState& state) {
  std::string_view fields[4];
  int count = 0;
  TabFields splitter(lineText);
  while (count < 4 && splitter.Next(&fields[count])) ++count;
  if (count < 4 || fields[3].empty()) return true;

  // The record is the marker 0x10, 0x00, a copy of the message's first two
  // bytes, then the message, built in the raw block. A line holds at most
  // 8191 bytes, so a message has fewer than 4096 bytes and fits.
  ReportItem& item = line.item;
  uint8_t* message = item.raw + 4;
  const int n = HexToBytes(fields[3], message);
  item.raw[0] = 0x10;
  item.raw[1] = 0x00;
  item.raw[2] = n > 0 ? message[0] : 0;
  item.raw[3] = n > 1 ? message[1] : 0;
  item.rawLength = static_cast<uint32_t>(n + 4);

  // The text of a layer-3 item is the message body, binary; a message too
  // short for a body has an empty text.
  const int bodyLength = n > kMessageHeaderSize ? n - kMessageHeaderSize : 0;
  std::memcpy(item.text, message + kMessageHeaderSize, static_cast<size_t>(bodyLength));
  line.text.MarkWritten(static_cast<size_t>(bodyLength));
  item.textLength = static_cast<uint32_t>(bodyLength);

  const int category = fields[2].empty() ? -1 : CAtoi(fields[2]);
  // Fewer than four bytes hold no length word and log code.
  if (n < 4) return false;
  const uint16_t logCode = static_cast<uint16_t>(message[2] | (message[3] << 8));
  const int16_t lengthWord = static_cast<int16_t>(message[0] | (message[1] << 8));
  const LogCodeInfo* info = FindLogCode(logCode);
  if (info == nullptr || info->category != category || lengthWord != n) return false;
  RunHandler(line, state, info->category);
  return true;
}

}  // namespace wendrake
