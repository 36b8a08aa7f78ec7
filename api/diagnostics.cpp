#include "api/diagnostics.h"

#include <cstdio>

namespace wendrake {

void Print(Diagnostic diagnostic) {
  const std::string_view message = Message(diagnostic);
  std::fwrite(message.data(), 1, message.size(), stdout);
}

void PrintBoundViolation(const char* argument) {
  std::printf("Entry parameter '%s' is bound violation\n", argument);
}

}  // namespace wendrake
