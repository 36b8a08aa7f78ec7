// The cells a drive heard, collected from the overhead messages of a table
// or of a reader's pieces added in order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "table/messages/cell_sighting.h"

namespace wendrake {

class CellCollector {
 public:
  struct Cell {
    bool evdo = false;
    int32_t pilotPn = -1;
    int32_t sid = -1, nid = -1, baseId = -1;  // 1x
    std::string sectorId;                     // EV-DO
    double latitude = std::numeric_limits<double>::quiet_NaN();
    double longitude = std::numeric_limits<double>::quiet_NaN();
    int64_t firstClockMs = CellSighting::kNoClock;
    int64_t lastClockMs = CellSighting::kNoClock;
    int64_t heard = 0;  // the messages that described it
    std::vector<int32_t> neighbours;  // EV-DO: from its own SectorParameters
  };

  void Add(const CellSighting& sighting);

  size_t size() const { return cells_.size(); }
  // The cell's record, in the order cells were first heard.
  const Cell& cell(size_t index) const { return cells_[index]; }
  // Its colour code, or -1 (EV-DO).
  int32_t ColorCodeOf(const Cell& cell) const;
  // Its neighbour PNs in the order first heard: a 1x cell's from the
  // neighbour lists heard on its PN, an EV-DO sector's from its own
  // SectorParameters.
  const std::vector<int32_t>& NeighboursOf(const Cell& cell) const;

 private:
  void AddCell(const CellSighting& s, size_t index);
  static void AddUnique(const std::vector<int32_t>& from, std::vector<int32_t>* to);

  std::vector<Cell> cells_;
  // 1x cells by (SID, NID, BASE_ID, PN); EV-DO sectors by (SectorID, PN).
  std::map<std::tuple<int32_t, int32_t, int32_t, int32_t>, size_t> cdma1x_;
  std::map<std::pair<std::string, int32_t>, size_t> evdo_;
  // The 1x neighbour lists heard on each PN; EV-DO colour codes by
  // (PN, the low 24 bits of the SectorID) from QuickConfig.
  std::map<int32_t, std::vector<int32_t>> neighboursOfPn_;
  std::map<std::pair<int32_t, uint32_t>, int32_t> colorCodes_;
};

}  // namespace wendrake
