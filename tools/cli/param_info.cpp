#include "param_info.h"

#include <fmt/format.h>

#include "api/configuration.h"
#include "params/column_registry.h"

namespace wendrake_cli {

std::string ParamName(uint32_t id) {
  if (id == kLayer3StateParam) return "L3State";
  if (id == kEvdoStateParam) return "EvdoState";
  const std::string_view column = wendrake::KnownColumnName(id);
  if (!column.empty()) return std::string(column);
  return fmt::format("0x{:08X}", id);
}

double RealValue(uint32_t id, int32_t stored) {
  return static_cast<double>(stored) / wendrake::ParamScale(id);
}

}  // namespace wendrake_cli
