#include "format/param_info.h"

#include <fmt/format.h>

#include <vector>

#include "wendrake/table.h"

namespace wendrake_cli {
namespace {

// The catalogue, by slot, read once from the table library.
const std::vector<WendrakeParamInfo>& Catalogue() {
  static const std::vector<WendrakeParamInfo> catalogue = [] {
    std::vector<WendrakeParamInfo> all(static_cast<size_t>(wendrake_param_count()));
    for (int slot = 0; slot < wendrake_param_count(); ++slot) wendrake_param_info(slot, &all[slot]);
    return all;
  }();
  return catalogue;
}

const WendrakeParamInfo* Info(uint32_t id) {
  const int slot = wendrake_param_slot(id);
  return slot < 0 ? nullptr : &Catalogue()[static_cast<size_t>(slot)];
}

}  // namespace

std::string ParamName(uint32_t id) {
  const WendrakeParamInfo* info = Info(id);
  if (info != nullptr && info->name != nullptr) return info->name;
  return fmt::format("0x{:08X}", id);
}

std::string ParamUnit(uint32_t id) {
  const WendrakeParamInfo* info = Info(id);
  return info != nullptr && info->unit != nullptr ? info->unit : "";
}

int32_t ParamScale(uint32_t id) {
  const WendrakeParamInfo* info = Info(id);
  return info != nullptr ? info->scale : 1;
}

double RealValue(uint32_t id, int32_t stored) { return static_cast<double>(stored) / ParamScale(id); }

}  // namespace wendrake_cli
