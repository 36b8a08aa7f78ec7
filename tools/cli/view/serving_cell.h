// Which cell serves the handset at each point of the drive.
//
// The rule: the handset reports the pilot it is served by on some record
// lines (below); that PN holds from the line that reports it until the next
// such line. The serving cell is the cell heard with that PN (a 1x base
// station, as the reporting lines are 1x) nearest to the point: PNs are
// reused across a network, and the nearest cell with the PN is the one
// whose pilot reaches the handset. The distance from the point to that cell
// becomes a KPI, so that it is coloured, charted and thinned as the others.
#pragma once

#include <string_view>
#include <vector>

#include "view/drive_cells.h"
#include "view/drive_view.h"

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

// The KPI of the distance to the serving cell, in metres.
inline constexpr const char* kServingDistanceKpi = "ServingCellDistance";

// Great-circle distance in metres between two WGS84 positions (a sphere of
// the Earth's mean radius: within 0.5 % of the ellipsoid, far closer than
// a cell's advertised position is to its antenna).
double GroundDistance(double latitude1, double longitude1, double latitude2, double longitude2);

// The positioned cell of `technology` with PN `pn` nearest to the
// position; -1 when there is none.
int NearestCellWithPn(const std::vector<DriveCell>& cells, int technology, int pn, double latitude, double longitude);

// Sets each item's servingCell from the items' reportedPn and the view's
// cells, appends the distance KPI (kServingDistanceKpi, "m") with its value
// at each positioned item that has a serving cell, and links each cell's
// neighbour PNs to cells (nearest to the cell). Does nothing to the KPIs
// when the view has no positioned cell.
void AssignServingCells(DriveView* view);

}  // namespace wendrake_cli
