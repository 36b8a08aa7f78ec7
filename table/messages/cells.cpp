#include "table/messages/cells.h"

#include <algorithm>
#include <cmath>

namespace wendrake {

namespace {

// The low 24 bits of a SectorID written as hex digits: the last six.
uint32_t Low24(const std::string& hex) {
  if (hex.size() < 6) return UINT32_MAX;
  uint32_t value = 0;
  for (const char c : hex.substr(hex.size() - 6)) {
    const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                    : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (digit < 0) return UINT32_MAX;
    value = value << 4 | static_cast<uint32_t>(digit);
  }
  return value;
}

}  // namespace

void CellCollector::AddUnique(const std::vector<int32_t>& from, std::vector<int32_t>* to) {
  for (const int32_t pn : from) {
    if (std::find(to->begin(), to->end(), pn) == to->end()) to->push_back(pn);
  }
}

void CellCollector::AddCell(const CellSighting& s, size_t index) {
  if (index == cells_.size()) {
    Cell& added = cells_.emplace_back();
    added.evdo = s.kind == CellSighting::Kind::kSectorParameters;
    added.pilotPn = s.pilotPn;
    added.sid = s.sid, added.nid = s.nid, added.baseId = s.baseId;
    added.sectorId = s.sectorId;
  }
  Cell& cell = cells_[index];
  ++cell.heard;
  // A cell's advertised position is the last one decoded.
  if (!std::isnan(s.latitude)) cell.latitude = s.latitude, cell.longitude = s.longitude;
  if (s.clockMs != CellSighting::kNoClock) {
    if (cell.firstClockMs == CellSighting::kNoClock || s.clockMs < cell.firstClockMs) cell.firstClockMs = s.clockMs;
    if (cell.lastClockMs == CellSighting::kNoClock || s.clockMs > cell.lastClockMs) cell.lastClockMs = s.clockMs;
  }
  AddUnique(s.neighbours, &cell.neighbours);
}

void CellCollector::Add(const CellSighting& s) {
  switch (s.kind) {
    case CellSighting::Kind::kSystemParameters: {
      const auto [at, added] = cdma1x_.try_emplace({s.sid, s.nid, s.baseId, s.pilotPn}, cells_.size());
      AddCell(s, at->second);
      return;
    }
    case CellSighting::Kind::kSectorParameters: {
      const auto [at, added] = evdo_.try_emplace({s.sectorId, s.pilotPn}, cells_.size());
      AddCell(s, at->second);
      return;
    }
    case CellSighting::Kind::kNeighbourList:
      AddUnique(s.neighbours, &neighboursOfPn_[s.pilotPn]);
      return;
    case CellSighting::Kind::kQuickConfig:
      colorCodes_[{s.pilotPn, s.sectorId24}] = s.colorCode;
      return;
  }
}

int32_t CellCollector::ColorCodeOf(const Cell& cell) const {
  if (!cell.evdo) return -1;
  const auto at = colorCodes_.find({cell.pilotPn, Low24(cell.sectorId)});
  return at == colorCodes_.end() ? -1 : at->second;
}

const std::vector<int32_t>& CellCollector::NeighboursOf(const Cell& cell) const {
  if (cell.evdo) return cell.neighbours;
  static const std::vector<int32_t> kNone;
  const auto at = neighboursOfPn_.find(cell.pilotPn);
  return at == neighboursOfPn_.end() ? kNone : at->second;
}

}  // namespace wendrake
