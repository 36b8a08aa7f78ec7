#include "view/drive_cells.h"

#include <fmt/format.h>

#include "view/drive_view.h"

namespace wendrake_cli {
namespace {

WendrakeCells* StartCells() {
  WendrakeCells* cells = nullptr;
  return wendrake_cells_start(&cells) == WENDRAKE_OK ? cells : nullptr;
}

}  // namespace

const char* DriveCell::TechnologyName() const { return technology == WENDRAKE_CELL_EVDO ? "EV-DO" : "1x"; }

std::string DriveCell::Id() const {
  if (technology == WENDRAKE_CELL_EVDO) return sectorId;
  return fmt::format("{}/{}/{}", sid, nid, baseId);
}

std::string DriveCell::Label() const {
  if (technology != WENDRAKE_CELL_EVDO) return fmt::format("PN {} ID {}", pilotPn, baseId);
  const std::string low24 = sectorId.size() >= 6 ? sectorId.substr(sectorId.size() - 6) : sectorId;
  return fmt::format("PN {} ID {}", pilotPn, low24);
}

std::string DriveCell::NeighbourList() const {
  std::string list;
  for (int pn : neighbours) list += (list.empty() ? "" : " ") + std::to_string(pn);
  return list;
}

CellCollector::CellCollector() : cells_(StartCells(), &wendrake_cells_free) {}

int CellCollector::Add(const WendrakeTable* table) {
  return cells_ == nullptr ? WENDRAKE_ERROR_MEMORY : wendrake_cells_add(cells_.get(), table);
}

std::vector<DriveCell> CellCollector::Cells() const {
  std::vector<DriveCell> out;
  const int64_t count = wendrake_cells_count(cells_.get());
  for (int64_t i = 0; i < count; ++i) {
    WendrakeCell cell{};
    if (wendrake_cells_get(cells_.get(), i, &cell) != WENDRAKE_OK) continue;
    DriveCell drive;
    drive.technology = cell.technology;
    drive.pilotPn = cell.pilotPn;
    drive.sid = cell.sid;
    drive.nid = cell.nid;
    drive.baseId = cell.baseId;
    drive.colorCode = cell.colorCode;
    if (cell.sectorId != nullptr) drive.sectorId = SafeText(cell.sectorId);
    drive.latitude = cell.latitude;
    drive.longitude = cell.longitude;
    drive.heard = cell.heard;
    drive.neighbours.assign(cell.neighbours, cell.neighbours + cell.neighbourCount);
    out.push_back(std::move(drive));
  }
  return out;
}

}  // namespace wendrake_cli
