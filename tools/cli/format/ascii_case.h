// ASCII lower case, as option values and format names are compared (the
// locale plays no part). Header-only: the map module uses it too.
#pragma once

#include <cctype>
#include <string>

namespace wendrake_cli {

inline std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace wendrake_cli
