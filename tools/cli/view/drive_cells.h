// The cells a drive heard (1x base stations and EV-DO sectors, from the
// overhead messages the table library reads) as the map and the report show
// them: each at its advertised position, with its IDs and neighbour PNs.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "wendrake/table.h"

namespace wendrake_cli {

struct DriveCell {
  int technology = WENDRAKE_CELL_1X;  // WENDRAKE_CELL_*
  int pilotPn = -1;
  int sid = -1, nid = -1, baseId = -1;  // 1x
  int colorCode = -1;                   // EV-DO; -1 when unknown
  std::string sectorId;                 // EV-DO: 32 hex digits
  double latitude = 0, longitude = 0;   // NaN when no message gave them
  int64_t heard = 0;                    // messages that described it
  std::vector<int> neighbours;          // neighbour PNs, in the order first heard
  // Each neighbour's cell (an index into the drive's cells; -1 where none
  // with that PN is known), by the same rule as the serving cell.
  std::vector<int> neighbourCells;

  bool positioned() const { return latitude == latitude && longitude == longitude; }
  // "1x" or "EV-DO".
  const char* TechnologyName() const;
  // The cell's identity: "13824/1/11280" (SID/NID/BASE_ID) for 1x, the
  // SectorID for EV-DO.
  std::string Id() const;
  // A short label for maps: "PN 168 ID 11280" (the BASE_ID); an EV-DO
  // sector by the low 24 bits of its SectorID, as its QuickConfig names it
  // ("PN 168 ID 0A1B2C").
  std::string Label() const;
  // "240 36 312", the neighbour PNs.
  std::string NeighbourList() const;
};

// Gathers the cells of a table, or of a reader's pieces added in order.
class CellCollector {
 public:
  CellCollector();
  // WENDRAKE_OK, or the table library's result code: the table holds no
  // messages (built without WENDRAKE_TABLE_MESSAGES), or memory ran out.
  int Add(const WendrakeTable* table);
  std::vector<DriveCell> Cells() const;

 private:
  std::unique_ptr<WendrakeCells, decltype(&wendrake_cells_free)> cells_;
};

}  // namespace wendrake_cli
