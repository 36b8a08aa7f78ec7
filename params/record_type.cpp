#include "params/record_type.h"

#include <array>

namespace wendrake {
namespace {

struct TokenType {
  std::string_view token;
  int32_t type;
};

// In matching order; "VOT" shares the "GPS" type.
constexpr std::array<TokenType, 22> kTokens = {{
    {"DM", kRecordDM},       {"SC", kRecordSC},         {"HOP", kRecordHOP},
    {"PSM", kRecordPSM},     {"AP", kRecordAP},         {"PCP", kRecordPCP},
    {"CL3", kRecordCL3},     {"UI", kRecordUI},         {"ASFI", kRecordASFI},
    {"C1XQI", kRecordC1XQI}, {"GPS", kRecordGPS},       {"C1XFMI", kRecordC1XFMI},
    {"C1XSMI", kRecordC1XSMI}, {"DAY", kRecordDAY},     {"HOUR", kRecordHOUR},
    {"MIN", kRecordMIN},     {"SEC", kRecordSEC},       {"EVT", kRecordEVT},
    {"LAB", kRecordLAB},     {"ENT", kRecordENT},       {"VOT", kRecordGPS},
    {"CEVS", kRecordCEVS},
}};

}  // namespace

int32_t RecordTypeOf(std::string_view token) {
  // Every line is classified: refuse what cannot be a token at once.
  if (token.size() < 2 || token.size() > 6) return kRecordUnknown;
  for (const TokenType& entry : kTokens) {
    if (IsToken(token, entry.token)) {
      return entry.type;
    }
  }
  return kRecordUnknown;
}

std::string_view RecordToken(int32_t type) {
  for (const TokenType& entry : kTokens) {
    if (entry.type == type) return entry.token;
  }
  return {};
}

bool HasColumnRegistration(int32_t type) {
  switch (type) {
    case kRecordDM: case kRecordSC: case kRecordHOP: case kRecordPSM: case kRecordAP:
    case kRecordPCP: case kRecordUI: case kRecordASFI: case kRecordC1XQI: case kRecordC1XSMI:
    case kRecordEVT: case kRecordCEVS:
      return true;
    default:
      return false;
  }
}

bool HasSlotMappings(int32_t type) {
  switch (type) {
    case kRecordDM: case kRecordSC: case kRecordPCP: case kRecordC1XQI: case kRecordEVT:
    case kRecordCEVS:
      return true;
    default:
      return false;
  }
}

}  // namespace wendrake
