// Deterministic drive-test log text for benchmarks, with the record mix of a
// real recording.
#pragma once

#include <cstddef>
#include <string>

namespace wendrake_bench {

// Generates about `targetBytes` of log text.
std::string GenerateLog(size_t targetBytes, unsigned seed = 20111019);

}  // namespace wendrake_bench
