// The names every layout can give a field, with their units: the catalogue
// the tools show beside a table of fields.
#pragma once

#include <string_view>
#include <vector>

namespace wendrake {

struct FieldInfo {
  std::string_view name;
  std::string_view unit;  // of the field's real value; empty when it has none
};

// Each name once, in the order the layouts first give it (1x channel headers
// and messages, then EV-DO), repeated-record names included, the marker last.
std::vector<FieldInfo> FieldCatalogue();

}  // namespace wendrake
