// A constant table of names keyed by one byte, for the layer-3 name lookups.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace wendrake {

struct NameEntry {
  uint8_t code;
  std::string_view name;
};

// Name of `code` in `table`, or an empty view when the table has none.
constexpr std::string_view FindName(std::span<const NameEntry> table, uint8_t code) {
  for (const NameEntry& entry : table) {
    if (entry.code == code) return entry.name;
  }
  return {};
}

}  // namespace wendrake
