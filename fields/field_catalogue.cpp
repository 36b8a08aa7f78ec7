#include "fields/field_catalogue.h"

#include <algorithm>
#include <cstdint>

#include "fields/cdma1x_layouts.h"
#include "fields/evdo_layouts.h"
#include "fields/field.h"
#include "fields/field_values.h"
#include "fields/layout.h"

namespace wendrake {

namespace {

void Add(Layout layout, std::vector<FieldInfo>& out) {
  for (const Step& step : layout) {
    const bool named = step.op == Op::kField || step.op == Op::kRepeat || step.op == Op::kWithin;
    if (!named || step.name.empty()) continue;
    const bool known = std::any_of(out.begin(), out.end(),
                                   [&](const FieldInfo& info) { return info.name == step.name; });
    if (!known) out.push_back({step.name, step.op == Op::kField ? UnitOf(step.conv) : ""});
  }
}

}  // namespace

std::vector<FieldInfo> FieldCatalogue() {
  std::vector<FieldInfo> out;
  Add(Cdma1xLength(), out);
  for (const uint16_t logCode : {0x1006, 0x1007, 0x1004, 0x1005, 0x1008}) {
    Add(Cdma1xChannelHeader(logCode), out);
  }
  for (const MessageLayout& layout : Cdma1xLayouts()) Add(layout.body, out);
  Add(EvdoRecordHeader(), out);
  Add(EvdoMessageHeader(), out);
  for (const EvdoLayout& layout : EvdoLayouts()) Add(layout.body, out);
  out.push_back({kTruncatedField, ""});
  return out;
}

}  // namespace wendrake
