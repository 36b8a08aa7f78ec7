// Output formats of "wendrake decode": one record per report item.
#pragma once

#include <memory>
#include <string_view>

#include "host_cycle.h"
#include "output.h"

namespace wendrake_cli {

// Names accepted by --format.
inline constexpr std::string_view kFormats[] = {"jsonl", "csv", "text", "summary"};

// A sink that writes every item to `out` in the named format, or null for
// an unknown name. CSV writes its header at construction.
std::unique_ptr<ItemSink> MakeFormatter(std::string_view format, Output* out);

}  // namespace wendrake_cli
