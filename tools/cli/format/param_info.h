// Names and real units of decode parameters, for labelling them.
#pragma once

#include <cstdint>
#include <string>

namespace wendrake_cli {

// The column name that feeds the parameter ("Rxagc"), the state word's name,
// or "0x7F01xxxx" for a parameter no column feeds.
std::string ParamName(uint32_t id);

// The unit of the parameter's real value ("dBm"), or "" when it has none.
std::string ParamUnit(uint32_t id);

// The parameter's scale (stored = logged value x scale): 1, 100 or 1000.
int32_t ParamScale(uint32_t id);

// The logged value: stored value divided by the parameter's scale.
double RealValue(uint32_t id, int32_t stored);

}  // namespace wendrake_cli
