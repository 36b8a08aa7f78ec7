// Message codes of layer-3 signalling records.
#pragma once

#include <cstdint>

namespace wendrake {

// Message code of a "CL3" record as the record decoder lays it out: 0x10,
// 0x00, a copy of the length word, then the logged message (length, log code,
// 8-byte time stamp, payload from byte 16). Never reads outside the record.
uint32_t MakeL3MsgCode(const uint8_t* record, int32_t len, int32_t moduleType);

// Order sub-codes of the four order-carrying log codes.
uint8_t DecodeOrder1004(const uint8_t* record, int32_t len);
uint8_t DecodeOrder1005(const uint8_t* record, int32_t len);
uint8_t DecodeOrder1007(const uint8_t* record, int32_t len);
uint8_t DecodeOrder1008(const uint8_t* record, int32_t len);

// Sub-code byte of an order code (0 to 63) and variant (0, 1 or 2).
uint8_t OrderSubCodeA(int order, int variant);
uint8_t OrderSubCodeB(int order, int variant);

}  // namespace wendrake
