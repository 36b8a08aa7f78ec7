// Record types named by the first token of a log line.
#pragma once

#include <cstdint>
#include <string_view>

namespace wendrake {

enum RecordType : int32_t {
  kRecordUnknown = -1,
  kRecordDM = 0,
  kRecordSC = 1,
  kRecordHOP = 2,
  kRecordPSM = 3,
  kRecordAP = 4,
  kRecordPCP = 5,
  kRecordCL3 = 6,
  kRecordUI = 7,
  kRecordASFI = 8,
  kRecordC1XQI = 9,
  kRecordGPS = 10,  // "VOT" lines share this type
  kRecordC1XFMI = 11,
  kRecordC1XSMI = 12,
  kRecordDAY = 13,
  kRecordHOUR = 14,
  kRecordMIN = 15,
  kRecordSEC = 16,
  kRecordEVT = 17,
  kRecordLAB = 18,
  kRecordENT = 19,
  // 20 is never produced.
  kRecordCEVS = 21,
};

// Rows of the column tables; more than the types in use.
constexpr int kRecordTypeRows = 25;

// Whether a field is exactly a record token. Tokens have at most six bytes,
// so an inline loop beats a library compare on this per-field path.
inline bool IsToken(std::string_view field, std::string_view token) {
  if (field.size() != token.size()) return false;
  for (size_t i = 0; i < token.size(); ++i) {
    if (field[i] != token[i]) return false;
  }
  return true;
}

// Type of a non-empty token: exact, case-sensitive match, -1 when unknown.
int32_t RecordTypeOf(std::string_view token);

// The token of a type ("DM" for 0), or an empty view for types without one.
std::string_view RecordToken(int32_t type);

// Whether "RegReport" lines of the type register column names, and whether
// the type's known names map columns onto parameter slots.
bool HasColumnRegistration(int32_t type);
bool HasSlotMappings(int32_t type);

}  // namespace wendrake
