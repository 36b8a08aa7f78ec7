#include "fields/layout_runner.h"

#include <string>

#include "fields/field_values.h"

namespace wendrake {

namespace {

// Index of the step that closes the block opened at `open` (a kIf, kElse or
// kRepeat): its kElse or kEndIf, or its kEndRepeat. Layout tables are checked
// by the tests, so an unclosed block only ends at the layout's end.
size_t BlockEnd(Layout steps, size_t open) {
  int depth = 0;
  for (size_t i = open + 1; i < steps.size(); ++i) {
    const Op op = steps[i].op;
    const bool closes = op == Op::kEndIf || op == Op::kEndRepeat || op == Op::kEndWithin;
    if (depth == 0 && (closes || (op == Op::kElse && steps[open].op == Op::kIf))) return i;
    if (op == Op::kIf || op == Op::kRepeat || op == Op::kWithin) ++depth;
    if (closes) --depth;
  }
  return steps.size();
}

// The newest protocol revision the layouts know: every P_REV test holds.
constexpr int kNewestPRev = 255;

}  // namespace

uint64_t LayoutRunner::Value(std::string_view name) const {
  for (auto it = values_.rbegin(); it != values_.rend(); ++it) {
    if (it->first == name) return it->second;
  }
  return 0;
}

bool LayoutRunner::Holds(const Step& step) const {
  int64_t ref;
  if (step.ref == kPRevInUse) {
    // The handset's MOB_P_REV bounds what it sends; the base station's P_REV
    // what it sends.
    if (pRev_) {
      ref = *pRev_;
    } else {
      const uint64_t mobPRev = Value("MOB_P_REV");
      const uint64_t pRev = Value("P_REV");
      ref = mobPRev != 0 ? static_cast<int64_t>(mobPRev)
            : pRev != 0  ? static_cast<int64_t>(pRev)
                         : kNewestPRev;
    }
  } else {
    ref = static_cast<int64_t>(Value(step.ref));
  }
  switch (step.test) {
    case Test::kEqual: return ref == step.value;
    case Test::kNotEqual: return ref != step.value;
    case Test::kAtLeast: return ref >= step.value;
    case Test::kBelow: return ref < step.value;
    case Test::kAnyBit: return (ref & step.value) != 0;
  }
  return false;
}

bool LayoutRunner::Stop(std::string_view name, int32_t width) {
  // Past a point where later revisions add fields, a message whose last
  // octet holds only padding simply ends there.
  if (mayEnd_ && bits_.left() < 8) {
    quietEnd_ = true;
    return false;
  }
  Field marker;
  marker.name = kTruncatedField;
  marker.kind = Field::Kind::kTruncated;
  marker.bitOffset = bits_.position();
  marker.width = width;
  marker.text = std::string(name) + " needs " + std::to_string(width) + " bits, " +
                std::to_string(bits_.left()) + " left: " + bits_.limitReason();
  marker_ = std::move(marker);
  return false;
}

bool LayoutRunner::ReadField(const Step& step, std::vector<Field>& out) {
  Field field;
  field.name = step.name;
  field.bitOffset = bits_.position();
  const bool variable = !step.ref.empty();
  int64_t width = step.width;
  if (variable) width = static_cast<int64_t>(Value(step.ref)) * step.scale + step.value;
  // Octet strings (addresses, identities) and fields too wide for a number
  // are kept as hex digits.
  const bool octets = width > 64 || (variable && step.scale % 8 == 0);
  if (width < 0 || width > bits_.left() || (octets && width % 8 != 0)) {
    return Stop(step.name, static_cast<int32_t>(width));
  }
  field.width = static_cast<int32_t>(width);
  if (octets) {
    field.kind = Field::Kind::kBytes;
    bits_.ReadOctets(field.width, field.text, field.raw);
  } else if (!bits_.Read(field.width, field.raw)) {
    return Stop(step.name, field.width);
  }
  ConvertField(field, step.conv);
  values_.emplace_back(field.name, field.raw);
  out.push_back(std::move(field));
  return true;
}

void LayoutRunner::ReadRest(std::string_view name, std::vector<Field>& out) {
  if (bits_.left() <= 0) return;
  Field rest;
  rest.name = name;
  rest.bitOffset = bits_.position();
  rest.width = bits_.left();
  if (rest.width % 8 == 0) {
    rest.kind = Field::Kind::kBytes;
    bits_.ReadOctets(rest.width, rest.text, rest.raw);
  } else if (rest.width <= 64) {
    bits_.Read(rest.width, rest.raw);
  } else {
    // Whole octets as hex, the last partial octet's bits skipped with them.
    rest.kind = Field::Kind::kBytes;
    const int32_t octets = rest.width / 8 * 8;
    uint64_t tail = 0;
    bits_.ReadOctets(octets, rest.text, rest.raw);
    bits_.Read(rest.width - octets, tail);
  }
  out.push_back(std::move(rest));
}

bool LayoutRunner::RunRange(Layout steps, size_t begin, size_t end, std::vector<Field>& out) {
  for (size_t i = begin; i < end; ++i) {
    const Step& step = steps[i];
    switch (step.op) {
      case Op::kField:
        if (!ReadField(step, out)) return false;
        break;
      case Op::kIf: {
        const size_t middle = BlockEnd(steps, i);
        const bool hasElse = middle < steps.size() && steps[middle].op == Op::kElse;
        const size_t last = hasElse ? BlockEnd(steps, middle) : middle;
        const bool ok = Holds(step) ? RunRange(steps, i + 1, middle, out)
                        : hasElse  ? RunRange(steps, middle + 1, last, out)
                                   : true;
        if (!ok) return false;
        i = last;
        break;
      }
      case Op::kRepeat: {
        const size_t last = BlockEnd(steps, i);
        Field list;
        list.name = step.name;
        list.kind = Field::Kind::kRecords;
        list.bitOffset = bits_.position();
        const bool toEnd = step.ref.empty();
        const int64_t count = toEnd ? -1 : static_cast<int64_t>(Value(step.ref)) + step.value;
        bool ok = true;
        for (int64_t n = 0; toEnd || n < count; ++n) {
          if (toEnd && bits_.left() < step.width) break;
          const int32_t before = bits_.position();
          list.records.emplace_back();
          ok = RunRange(steps, i + 1, last, list.records.back());
          // A record that reads nothing would repeat forever at the end.
          if (!ok || bits_.position() == before) break;
        }
        list.width = bits_.position() - list.bitOffset;
        out.push_back(std::move(list));
        if (!ok) return false;
        i = last;
        break;
      }
      case Op::kWithin: {
        const size_t last = BlockEnd(steps, i);
        const int64_t size = static_cast<int64_t>(Value(step.ref)) * step.scale + step.value;
        if (size < 0 || size > bits_.left() ||
            !bits_.BeginRecord(static_cast<int32_t>(size),
                               "the record ends at " + std::string(step.ref) + " (" +
                                   std::to_string(size) + " bits)")) {
          return Stop(step.name.empty() ? step.ref : step.name, static_cast<int32_t>(size));
        }
        if (!RunRange(steps, i + 1, last, out)) return false;
        if (!step.name.empty()) ReadRest(step.name, out);
        bits_.EndRecord();
        i = last;
        break;
      }
      case Op::kMayEnd:
        mayEnd_ = true;
        break;
      case Op::kRest:
        ReadRest(step.name, out);
        break;
      case Op::kElse:
      case Op::kEndIf:
      case Op::kEndRepeat:
      case Op::kEndWithin:
        break;  // closed by the step that opened the block
    }
  }
  return true;
}

bool LayoutRunner::Run(Layout layout, std::vector<Field>& out) {
  const bool ok = RunRange(layout, 0, layout.size(), out);
  if (marker_) {
    out.push_back(std::move(*marker_));
    marker_.reset();
  }
  return ok;
}

}  // namespace wendrake
