// Why a non-empty input yielded no report item, for a one-line notice:
// a compressed file, UTF-16 or binary data, or line ends without newline
// are the usual reasons, and each looks like an empty log otherwise.
#pragma once

#include <cstdint>
#include <string>

#include "io/log_reader.h"

namespace wendrake_cli {

// The reason, or an empty string for an empty input.
std::string WhyNoItems(const InputProfile& input, uint64_t lines);

}  // namespace wendrake_cli
