#include "table/messages/cell_sighting.h"

#include <cmath>
#include <cstddef>
#include <string_view>

#include "fields/message_fields.h"

namespace wendrake {

namespace {

constexpr uint16_t kPagingChannel = 0x1007;
constexpr uint64_t kSystemParametersType = 0x01;
constexpr uint64_t kNeighborListType = 0x03;
constexpr uint64_t kExtendedNeighborListType = 0x0E;
constexpr uint64_t kOverheadProtocol = 0x0F;
constexpr uint64_t kQuickConfigId = 0x00;
constexpr uint64_t kSectorParametersId = 0x01;

// The raw value of a top-level integer field, or -1 when the message has none.
int64_t Value(const DecodedMessage& message, std::string_view name) {
  const Field* field = FindField(message, name);
  return field != nullptr && field->kind == Field::Kind::kValue ? static_cast<int64_t>(field->raw) : -1;
}

// The position in degrees where both coordinates were decoded.
void Position(const DecodedMessage& message, std::string_view lat, std::string_view lon, CellSighting* out) {
  const Field* latitude = FindField(message, lat);
  const Field* longitude = FindField(message, lon);
  if (latitude == nullptr || longitude == nullptr || !latitude->real || !longitude->real) return;
  // The fields hold more than the earth: values past it are no position.
  if (std::fabs(*latitude->real) > 90 || std::fabs(*longitude->real) > 180) return;
  out->latitude = *latitude->real;
  out->longitude = *longitude->real;
}

// The `field` of every occurrence of the repeated record `record`.
void Neighbours(const DecodedMessage& message, std::string_view record, std::string_view field,
                std::vector<int32_t>* out) {
  const Field* records = FindField(message, record);
  if (records == nullptr || records->kind != Field::Kind::kRecords) return;
  for (const std::vector<Field>& occurrence : records->records) {
    for (const Field& f : occurrence) {
      if (f.name == field && f.kind == Field::Kind::kValue) out->push_back(static_cast<int32_t>(f.raw));
    }
  }
}

bool Cdma1xSighting(const DecodedMessage& message, CellSighting* out) {
  if (message.logCode != kPagingChannel) return false;
  const int64_t type = Value(message, "MSG_TYPE");
  out->pilotPn = static_cast<int32_t>(Value(message, "PILOT_PN"));
  if (out->pilotPn < 0) return false;
  if (type == static_cast<int64_t>(kSystemParametersType)) {
    out->kind = CellSighting::Kind::kSystemParameters;
    out->sid = static_cast<int32_t>(Value(message, "SID"));
    out->nid = static_cast<int32_t>(Value(message, "NID"));
    out->baseId = static_cast<int32_t>(Value(message, "BASE_ID"));
    // A cell is known by its SID, NID and BASE_ID: without them it is no cell.
    if (out->sid < 0 || out->nid < 0 || out->baseId < 0) return false;
    Position(message, "BASE_LAT", "BASE_LONG", out);
    return true;
  }
  if (type == static_cast<int64_t>(kNeighborListType) || type == static_cast<int64_t>(kExtendedNeighborListType)) {
    out->kind = CellSighting::Kind::kNeighbourList;
    Neighbours(message, "NEIGHBORS", "NGHBR_PN", &out->neighbours);
    return true;
  }
  return false;
}

bool EvdoSighting(const DecodedMessage& message, CellSighting* out) {
  if (Value(message, "PROTOCOL_TYPE") < 0 ||
      (static_cast<uint64_t>(Value(message, "PROTOCOL_TYPE")) & 0x7F) != kOverheadProtocol) {
    return false;
  }
  const int64_t id = Value(message, "MessageID");
  out->pilotPn = static_cast<int32_t>(Value(message, "PILOT_PN"));
  if (out->pilotPn < 0) return false;
  if (id == static_cast<int64_t>(kQuickConfigId)) {
    out->kind = CellSighting::Kind::kQuickConfig;
    out->colorCode = static_cast<int32_t>(Value(message, "ColorCode"));
    const int64_t sector24 = Value(message, "SectorID24");
    if (out->colorCode < 0 || sector24 < 0) return false;
    out->sectorId24 = static_cast<uint32_t>(sector24);
    return true;
  }
  if (id == static_cast<int64_t>(kSectorParametersId)) {
    out->kind = CellSighting::Kind::kSectorParameters;
    const Field* sector = FindField(message, "SectorID");
    if (sector == nullptr || sector->kind != Field::Kind::kBytes || sector->text.empty()) return false;
    out->sectorId = sector->text;
    Position(message, "Latitude", "Longitude", out);
    Neighbours(message, "NeighborPilotPN", "NeighborPilotPN", &out->neighbours);
    return true;
  }
  return false;
}

}  // namespace

bool SightingOf(const DecodedMessage& message, int64_t clockMs, CellSighting* sighting) {
  if (message.status != DecodedMessage::Status::kComplete && message.status != DecodedMessage::Status::kTruncated) {
    return false;
  }
  CellSighting out;
  out.clockMs = clockMs;
  const bool known = message.logCode == kPagingChannel ? Cdma1xSighting(message, &out) : EvdoSighting(message, &out);
  if (known) *sighting = std::move(out);
  return known;
}

}  // namespace wendrake
