// Message layouts as data: one step per field in the standard's order, with
// the conditions, counts and repeated records the standard's tables give.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace wendrake {

// How a field's raw bits become a value a reader understands.
enum class Conv : uint8_t {
  kNone,
  kSigned,          // two's complement
  kLatitude,        // signed, 0.25 s units -> degrees
  kLongitude,       // signed, 0.25 s units -> degrees
  kNegHalfDb,       // T_ADD, T_DROP: -value / 2 dB
  kHalfDb,          // T_COMP: value / 2 dB
  kLtmOffset,       // signed, 30-minute units -> minutes
  kSysTime,         // 80 ms units since the GPS epoch -> seconds, and a date and time
  kRegType,         // REG_TYPE names
  kServiceOption,   // service option names
  kOrder,           // order names (with ORDQ), from the message code tables
  kBandClass,       // band class names
  kLittleEndian,    // a 16-bit word of the handset's log header, low octet first
  kEvdoSystemTime,  // EV-DO SystemTime: 26.666 ms units since the GPS epoch
};

enum class Op : uint8_t {
  kField,        // name, width (or ref x scale + value); over 64 bits: octets
  kIf,           // the steps up to the matching kElse/kEndIf run when the test holds
  kElse,
  kEndIf,
  kRepeat,       // a record list `name`, countOf + add times (countOf empty: until the
                 // message has fewer bits left than `width`)
  kEndRepeat,
  kWithin,       // the steps up to kEndWithin read inside a record of ref x scale +
                 // value bits; what they leave of it becomes the field `name`
  kEndWithin,
  kMayEnd,       // later revisions add what follows: a message that ends here
                 // (only its last octet's padding left) is complete
  kRest,         // what is left of the message (or record) becomes the field
                 // `name`: the layout cannot say what a reserved value carries
};

enum class Test : uint8_t {
  kEqual,      // ref == value
  kNotEqual,   // ref != value
  kAtLeast,    // ref >= value
  kBelow,      // ref < value
  kAnyBit,     // (ref & value) != 0
};

// The reference name of the protocol revision in use, for kIf steps.
inline constexpr std::string_view kPRevInUse = "P_REV_IN_USE";

struct Step {
  Op op = Op::kField;
  std::string_view name;
  int16_t width = 0;
  Conv conv = Conv::kNone;
  std::string_view ref;  // kIf: the field tested; kRepeat: the count; kField: the width
  Test test = Test::kEqual;
  int32_t value = 0;     // kIf: the operand; kRepeat, kField with ref: added to ref
  int16_t scale = 1;     // kField with ref: bits per unit of ref
};

// Builders that keep the tables one line per field.
constexpr Step F(std::string_view name, int16_t width, Conv conv = Conv::kNone) {
  Step step;
  step.name = name;
  step.width = width;
  step.conv = conv;
  return step;
}
// A field whose width is `scale` bits per unit of an earlier field, plus `add`.
constexpr Step VarF(std::string_view name, std::string_view widthOf, int16_t scale,
                    int32_t add = 0) {
  Step step;
  step.name = name;
  step.ref = widthOf;
  step.scale = scale;
  step.value = add;
  return step;
}
constexpr Step If(std::string_view ref, Test test, int32_t value) {
  Step step;
  step.op = Op::kIf;
  step.ref = ref;
  step.test = test;
  step.value = value;
  return step;
}
// The usual include flag: the block runs when the 1-bit field is 1.
constexpr Step IfSet(std::string_view ref) { return If(ref, Test::kEqual, 1); }
constexpr Step Marker(Op op) {
  Step step;
  step.op = op;
  return step;
}
constexpr Step Else() { return Marker(Op::kElse); }
constexpr Step EndIf() { return Marker(Op::kEndIf); }
constexpr Step Repeat(std::string_view name, std::string_view countOf, int32_t add = 0) {
  Step step;
  step.op = Op::kRepeat;
  step.name = name;
  step.ref = countOf;
  step.value = add;
  return step;
}
// Records that fill the rest of the message; each takes at least minBits.
constexpr Step RepeatToEnd(std::string_view name, int16_t minBits) {
  Step step;
  step.op = Op::kRepeat;
  step.name = name;
  step.width = minBits;
  return step;
}
constexpr Step EndRepeat() { return Marker(Op::kEndRepeat); }
// A record whose size a length field gives (octets unless `scale` says
// otherwise): its fields cannot read past it, and reading resumes at its end.
// The octets its fields leave unread are kept as the field `rest` (none when
// `rest` is empty).
constexpr Step Within(std::string_view rest, std::string_view lengthOf, int16_t scale = 8,
                      int32_t add = 0) {
  Step step;
  step.op = Op::kWithin;
  step.name = rest;
  step.ref = lengthOf;
  step.scale = scale;
  step.value = add;
  return step;
}
constexpr Step EndWithin() { return Marker(Op::kEndWithin); }
constexpr Step MayEnd() { return Marker(Op::kMayEnd); }
// The rest of the message (or of the record being read) kept as `name`.
constexpr Step Rest(std::string_view name) {
  Step step;
  step.op = Op::kRest;
  step.name = name;
  return step;
}

using Layout = std::span<const Step>;

}  // namespace wendrake
