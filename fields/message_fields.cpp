#include "fields/message_fields.h"

#include <cstdint>
#include <string>
#include <vector>

#include "fields/cdma1x_layouts.h"
#include "fields/evdo_layouts.h"
#include "fields/layout_runner.h"
#include "fields/message_bits.h"
#include "l3/l3_msg_code.h"
#include "l3/message_names.h"

namespace wendrake {

namespace {

uint16_t Word(std::span<const uint8_t> bytes, int32_t offset) {
  return static_cast<uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

bool IsCdma1x(uint16_t logCode) { return logCode >= 0x1004 && logCode <= 0x1008; }

// Names the ORDER field from the message code: the order names there
// already tell the qualifier's variants apart.
void NameOrder(std::span<const uint8_t> logged, std::vector<Field>& fields) {
  for (Field& field : fields) {
    if (field.name != "ORDER") continue;
    field.text = Layer3MessageName(Layer3MessageCode(logged));
    return;
  }
}

// The 1x framing: MSG_LENGTH (octets of the message, itself included, up to
// and with the CRC), the channel's header fields, then the message body.
void DecodeCdma1x(std::span<const uint8_t> logged, const FieldOptions& options,
                  DecodedMessage& out) {
  const int32_t size = static_cast<int32_t>(logged.size());
  MessageBits bits(logged.data(), size, kLoggedBodyOffset, size);
  LayoutRunner runner(bits, options.pRevInUse);
  if (!runner.Run(Cdma1xLength(), out.fields)) {
    out.status = DecodedMessage::Status::kTruncated;
    return;
  }
  const int32_t msgLength = static_cast<int32_t>(runner.Value("MSG_LENGTH"));
  const int32_t logged1x = size - kLoggedBodyOffset;
  if (msgLength > logged1x) {
    bits.Limit(size, "MSG_LENGTH says " + std::to_string(msgLength) + " octets, " +
                         std::to_string(logged1x) + " logged");
  } else {
    bits.Limit(kLoggedBodyOffset + msgLength,
               "the message ends at MSG_LENGTH (" + std::to_string(msgLength) + " octets)");
  }
  if (!runner.Run(Cdma1xChannelHeader(out.logCode), out.fields)) {
    out.status = DecodedMessage::Status::kTruncated;
    return;
  }
  const uint8_t type = Cdma1xMessageType(out.logCode, runner.Value("MSG_TYPE"));
  out.message = Cdma1xMessageTypeName(out.logCode, type);
  const MessageLayout* layout = FindCdma1xLayout(out.logCode, type);
  if (layout == nullptr) {
    out.status = DecodedMessage::Status::kNoLayout;
    return;
  }
  out.reference = layout->reference;
  const bool ok = runner.Run(layout->body, out.fields);
  out.status = ok || runner.endedQuietly() ? DecodedMessage::Status::kComplete
                                           : DecodedMessage::Status::kTruncated;
  NameOrder(logged, out.fields);
}

}  // namespace

uint32_t Layer3MessageCode(std::span<const uint8_t> logged) {
  if (logged.size() < 2) return 0;
  // The record the "CL3" decoder hands the header decoder: a marker, a copy
  // of the length word, then the logged message.
  std::vector<uint8_t> record = {0x10, 0x00, logged[0], logged[1]};
  record.insert(record.end(), logged.begin(), logged.end());
  return MakeL3MsgCode(record.data(), static_cast<int32_t>(record.size()), 0);
}

const Field* FindField(const DecodedMessage& message, std::string_view name) {
  for (const Field& field : message.fields) {
    if (field.name == name) return &field;
  }
  return nullptr;
}

DecodedMessage DecodeMessageFields(std::span<const uint8_t> logged, const FieldOptions& options) {
  DecodedMessage out;
  if (logged.size() < static_cast<size_t>(kLoggedBodyOffset)) return out;
  out.logCode = Word(logged, kLoggedCodeOffset);
  out.channel = LogCodeChannelName(out.logCode);
  // The length word bounds the message when it says less than was logged.
  const size_t lengthWord = Word(logged, kLoggedLengthOffset);
  if (lengthWord >= static_cast<size_t>(kLoggedBodyOffset) && lengthWord < logged.size()) {
    logged = logged.first(lengthWord);
  }
  if (IsCdma1x(out.logCode)) {
    DecodeCdma1x(logged, options, out);
  } else if (IsEvdo(out.logCode)) {
    DecodeEvdo(logged, out);
  }
  return out;
}

}  // namespace wendrake
