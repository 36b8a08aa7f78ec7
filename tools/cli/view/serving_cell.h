// Which cell serves the handset at each point of the drive.
//
// The rule: the handset reports the pilot it is served by on some record
// lines (below); that PN holds from the line that reports it until the next
// such line. The serving cell is the cell heard with that PN (a 1x base
// station, as the reporting lines are 1x) nearest to the point: PNs are
// reused across a network, and the nearest cell with the PN is the one
// whose pilot reaches the handset. Every cell of the log counts, so a cell
// heard only after the PN was reported is still found. The distance from the
// point to that cell becomes a KPI, so that it is coloured, charted and
// thinned as the others.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "view/drive_cells.h"
#include "view/drive_view.h"
#include "view/kpi_bins.h"

namespace wendrake_cli {

// A record line that reports the serving pilot: its PN in `pnColumn` (a
// record field), when `setTypeColumn` is null or says "Active" (any case).
struct ServingPnSource {
  const char* record;
  const char* pnColumn;
  const char* setTypeColumn;
};
inline constexpr ServingPnSource kServingPnSources[] = {
    {"HOP", "HOP.PN", "HOP.SetType"},    // a pilot of the active set
    {"C1XSMI", "C1XSMI.BestPN", nullptr}, // the strongest pilot the searcher found
};

// The id of the distance KPI (kServingDistanceKpi), which no parameter has.
inline constexpr uint32_t kServingDistanceId = 0xFFFFFFFFu;

// Great-circle distance in metres between two WGS84 positions (a sphere of
// the Earth's mean radius: within 0.5 % of the ellipsoid, far closer than
// a cell's advertised position is to its antenna).
double GroundDistance(double latitude1, double longitude1, double latitude2, double longitude2);

// The positioned cell of `technology` with PN `pn` nearest to the
// position; -1 when there is none.
int NearestCellWithPn(const std::vector<DriveCell>& cells, int technology, int pn, double latitude, double longitude);

// Links each cell's neighbour PNs to cells (neighbourCells): the cell of
// the neighbour's PN and technology nearest to the cell.
void LinkNeighbourCells(std::vector<DriveCell>* cells);

// The serving cell of positions along the drive, from the PN reported last:
// the nearest 1x cell with that PN. Consecutive items at one position with
// one PN share the lookup.
class ServingCellTracker {
 public:
  explicit ServingCellTracker(const std::vector<DriveCell>& cells) : cells_(cells) {}
  // *cell: an index into the cells, -1 when `pn` is -1 or no cell has it;
  // *distance: metres to it, NaN without one.
  void Assign(int pn, double latitude, double longitude, int* cell, double* distance);

 private:
  const std::vector<DriveCell>& cells_;
  int lastPn_ = -1, lastCell_ = -1;
  double lastLatitude_ = 0, lastLongitude_ = 0, lastDistance_ = 0;
};

}  // namespace wendrake_cli
