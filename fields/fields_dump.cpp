// Test helper: reads lines "LOGCODE HEX" (the log code in hex, then the
// message body after the 12-octet log header, as hex digits) or "- HEX" (the
// whole logged message), and prints each message's fields as one JSON line.
// Option --p-rev N sets the protocol revision in use.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "fields/field_writers.h"
#include "fields/message_fields.h"

namespace {

bool ParseHex(const std::string& text, std::vector<uint8_t>& bytes) {
  if (text.size() % 2 != 0) return false;
  for (size_t i = 0; i < text.size(); i += 2) {
    char* end = nullptr;
    const std::string pair = text.substr(i, 2);
    const long value = std::strtol(pair.c_str(), &end, 16);
    if (end != pair.c_str() + 2) return false;
    bytes.push_back(static_cast<uint8_t>(value));
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  wendrake::FieldOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--p-rev" && i + 1 < argc) {
      options.pRevInUse = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr, "fields_dump: unknown argument %s (usage: fields_dump [--p-rev N])\n",
                   arg.c_str());
      return 2;
    }
  }
  std::string line;
  int number = 0;
  while (std::getline(std::cin, line)) {
    ++number;
    std::istringstream words(line);
    std::string code, hex;
    if (!(words >> code >> hex)) continue;
    std::vector<uint8_t> logged;
    if (code != "-") {
      const unsigned long logCode = std::strtoul(code.c_str(), nullptr, 16);
      std::vector<uint8_t> body;
      if (!ParseHex(hex, body)) {
        std::fprintf(stderr, "fields_dump: line %d: not hex digits\n", number);
        return 1;
      }
      const size_t total = body.size() + wendrake::kLoggedBodyOffset;
      logged = {static_cast<uint8_t>(total), static_cast<uint8_t>(total >> 8),
                static_cast<uint8_t>(logCode), static_cast<uint8_t>(logCode >> 8),
                0, 0, 0, 0, 0, 0, 0, 0};
      logged.insert(logged.end(), body.begin(), body.end());
    } else if (!ParseHex(hex, logged)) {
      std::fprintf(stderr, "fields_dump: line %d: not hex digits\n", number);
      return 1;
    }
    std::cout << wendrake::FieldsToJson(wendrake::DecodeMessageFields(logged, options)) << '\n';
  }
  return 0;
}
