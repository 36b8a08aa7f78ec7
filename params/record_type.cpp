#include "params/record_type.h"

#include <array>

namespace wendrake {
namespace {

struct TokenType {
  std::string_view token;
  int32_t type;
};

// "VOT" shares the "GPS" type.
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
static_assert(kTokens.size() == 22);

// Tokens have two to six bytes. Packed little-endian with their length into
// one integer, they hash into a table of 64 entries without collisions, so a
// token is found with one probe instead of a string compare per token.
constexpr uint64_t PackToken(std::string_view token) {
  uint64_t key = uint64_t{token.size()} << 56;
  for (size_t i = 0; i < token.size(); ++i) key |= uint64_t{static_cast<uint8_t>(token[i])} << (8 * i);
  return key;
}

constexpr int kBucketBits = 6;

constexpr size_t Bucket(uint64_t key, uint64_t multiplier) { return (key * multiplier) >> (64 - kBucketBits); }

struct TokenTable {
  uint64_t multiplier = 0;
  uint64_t keys[1 << kBucketBits] = {};  // 0: empty (no token packs to 0)
  int32_t types[1 << kBucketBits] = {};
};

// The first odd multiple of the golden-ratio constant that gives every token
// a bucket of its own, found at compile time.
constexpr TokenTable kTokenTable = [] {
  for (uint64_t i = 1;; ++i) {
    TokenTable table;
    table.multiplier = (0x9E3779B97F4A7C15u * i) | 1;
    bool collision = false;
    for (const TokenType& entry : kTokens) {
      const uint64_t key = PackToken(entry.token);
      const size_t bucket = Bucket(key, table.multiplier);
      collision = collision || table.keys[bucket] != 0;
      table.keys[bucket] = key;
      table.types[bucket] = entry.type;
    }
    if (!collision) return table;
  }
}();

// The token of each type, indexed by type (20 has none).
constexpr auto kTokenOfType = [] {
  std::array<std::string_view, kRecordCEVS + 1> table{};
  // "VOT" shares the "GPS" type; the type's own token is the first listed.
  for (auto it = kTokens.rbegin(); it != kTokens.rend(); ++it) table[it->type] = it->token;
  return table;
}();

}  // namespace

int32_t RecordTypeOf(std::string_view token) {
  // Every line is classified: refuse what cannot be a token at once.
  if (token.size() < 2 || token.size() > 6) return kRecordUnknown;
  const uint64_t key = PackToken(token);
  const size_t bucket = Bucket(key, kTokenTable.multiplier);
  return kTokenTable.keys[bucket] == key ? kTokenTable.types[bucket] : kRecordUnknown;
}

std::string_view RecordToken(int32_t type) {
  if (type < 0 || type >= static_cast<int32_t>(kTokenOfType.size())) return {};
  return kTokenOfType[static_cast<size_t>(type)];
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
