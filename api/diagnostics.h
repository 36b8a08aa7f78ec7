// Every line the library prints, in one place. Hosts and tests compare
// against these texts; the library prints them only through Print.
#pragma once

#include <string>
#include <string_view>

namespace wendrake {

enum class Diagnostic {
  kUnknownModuleType,    // CreateDecoderObjectProc with a module type not known
  kCreateFailed,         // the decoder object could not be allocated
  kNodeAllocationFailed, // a node of the item queue could not be allocated
  kQueueOverflow,        // an item was lost: 200 items queued and not taken
  kFilterBuffer,         // malformed filter configuration buffer
  kFilterCount,          // more than 100 filter entries
  kScaleBuffer,          // malformed scale configuration buffer
  kScaleCount,           // more than 100 scale entries
};

constexpr std::string_view Message(Diagnostic diagnostic) {
  switch (diagnostic) {
    case Diagnostic::kUnknownModuleType:
      return "The moduletype is not Qualcomm type chip\n";
    case Diagnostic::kCreateFailed:
      return "Function CreateDecoderObjectProc allocate heap memory failed\n";
    case Diagnostic::kNodeAllocationFailed:
      return "Allocate ListNode Failed\n";
    case Diagnostic::kQueueOverflow:
      return "Overflow! The decoded node number is greater than the default node number.\n";
    case Diagnostic::kFilterBuffer:
      return "The buffer that filter parameters need is set error.\n";
    case Diagnostic::kFilterCount:
      return "The filtering message number is greater than the default maximum value\n";
    case Diagnostic::kScaleBuffer:
      return "The buffer that scale parameters need is set error.\n";
    case Diagnostic::kScaleCount:
      return "The needed scale Parameter number is greater than the default maximum value\n";
  }
  return {};
}

// The line an accessor prints when its index argument (named "i",
// "nodeIdx" or "paramIdx") is out of range.
inline std::string BoundViolationMessage(std::string_view argument) {
  return "Entry parameter '" + std::string(argument) + "' is bound violation\n";
}

// Prints a diagnostic line to standard output.
void Print(Diagnostic diagnostic);
void PrintBoundViolation(const char* argument);

}  // namespace wendrake
