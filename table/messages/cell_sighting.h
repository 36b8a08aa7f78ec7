// What one overhead message says about the cell that sent it.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "fields/field.h"

namespace wendrake {

struct CellSighting {
  enum class Kind : uint8_t {
    kSystemParameters,  // 1x: SID, NID, BASE_ID, PILOT_PN and position
    kNeighbourList,     // 1x: the neighbour PNs of the pilot PILOT_PN
    kQuickConfig,       // EV-DO: colour code of the sector on a PN
    kSectorParameters,  // EV-DO: SectorID, position and neighbour PNs
  };
  static constexpr int64_t kNoClock = std::numeric_limits<int64_t>::min();

  Kind kind = Kind::kSystemParameters;
  int32_t pilotPn = -1;
  int64_t clockMs = kNoClock;
  int32_t sid = -1, nid = -1, baseId = -1;
  int32_t colorCode = -1;
  uint32_t sectorId24 = 0;  // QuickConfig: the low 24 bits of the SectorID
  std::string sectorId;     // SectorParameters: hex digits
  double latitude = std::numeric_limits<double>::quiet_NaN();
  double longitude = std::numeric_limits<double>::quiet_NaN();
  std::vector<int32_t> neighbours;
};

// What `message` (decoded fields of an overhead message) says about its
// cell, heard at `clockMs`; false for other messages and for overhead
// messages that stop before the fields naming their cell.
bool SightingOf(const DecodedMessage& message, int64_t clockMs, CellSighting* sighting);

}  // namespace wendrake
