// The bundled sample drive test, read from the source tree that
// WENDRAKE_SOURCE_DIR names (the test runner sets it; without it, from the
// current folder); empty when it is not at hand.
#pragma once

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace wendrake_test {

inline std::string SampleLog() {
  const char* dir = std::getenv("WENDRAKE_SOURCE_DIR");
  std::ifstream in(std::string(dir != nullptr ? dir : ".") + "/examples/sample_drive.log", std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace wendrake_test
