#include "map/map_export.h"

#include <cpl_error.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>
#include <fmt/format.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <map>
#include <memory>
#include <set>
#include <span>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "format/ascii_case.h"
#include "format/fast_format.h"
#include "map/gpkg_spatial_index.h"
#include "map/qgis_styles.h"
#include "map/spill_array.h"
#include "view/event_kinds.h"
#include "view/kpi_bins.h"

namespace wendrake_cli {
namespace {

// GDAL reports failures through its error state; this gives its last
// message as one line.
std::string GdalError(const std::string& what) {
  std::string message = CPLGetLastErrorMsg();
  std::replace(message.begin(), message.end(), '\n', ' ');
  return message.empty() ? what : what + ": " + message;
}

bool Positioned(const WendrakeMapItem& item) { return !std::isnan(item.latitude) && !std::isnan(item.longitude); }
bool IsEvent(const WendrakeMapItem& item) { return std::string_view(item.record) == "EVT"; }
bool IsSignalling(const WendrakeMapItem& item) { return std::string_view(item.record) == "CL3"; }

struct DatasetCloser {
  void operator()(GDALDataset* dataset) const { GDALClose(dataset); }
};
using DatasetPtr = std::unique_ptr<GDALDataset, DatasetCloser>;

struct FeatureDeleter {
  void operator()(OGRFeature* feature) const { OGRFeature::DestroyFeature(feature); }
};
using FeaturePtr = std::unique_ptr<OGRFeature, FeatureDeleter>;

// Field names are unique regardless of case (SQLite's column names are not
// case-sensitive): a later name that repeats an earlier one gets "_2" and so on.
class FieldNames {
 public:
  std::string Take(const std::string& wanted) {
    std::string name = wanted;
    for (int n = 2; !taken_.insert(Lower(name)).second; ++n) name = fmt::format("{}_{}", wanted, n);
    return name;
  }

 private:
  std::set<std::string> taken_;
};

// Bytes of a streamed format go to the tool's sink through GDAL's
// /vsistdout/, which hands them to a write function with an opaque stream.
// KML placemarks get their time stamp on the way, before the placemark's
// ExtendedData (where KML wants it): GDAL's KML writer writes none.
struct Sink {
  WendrakeMapSink write;
  void* context;
  bool failed = false;
  std::string timeStamp;  // for the placemark being written; "" when none

  bool Put(std::string_view bytes) {
    if (!failed && !bytes.empty() && write(context, bytes.data(), bytes.size()) != bytes.size()) failed = true;
    return !failed;
  }
};

size_t SinkWrite(const void* bytes, size_t size, size_t count, FILE* stream) {
  Sink* sink = reinterpret_cast<Sink*>(stream);
  std::string_view text(static_cast<const char*>(bytes), size * count);
  if (!sink->timeStamp.empty()) {
    const size_t at = text.find("<ExtendedData>");
    if (at != std::string_view::npos) {
      sink->Put(text.substr(0, at));
      sink->Put(sink->timeStamp);
      sink->timeStamp.clear();
      text.remove_prefix(at);
    }
  }
  return sink->Put(text) ? count : 0;
}

// Texts kept once each, by number: the events' record, message and name
// repeat a few kinds over and over.
class TextNumbers {
 public:
  uint32_t Of(const char* text) {
    const auto [at, added] = numbers_.try_emplace(text, static_cast<uint32_t>(texts_.size()));
    if (added) texts_.push_back(&at->first);
    return at->second;
  }
  const char* Text(uint32_t number) const { return texts_[number]->c_str(); }

 private:
  std::unordered_map<std::string, uint32_t> numbers_;
  std::vector<const std::string*> texts_;  // keys of numbers_, which stay put
};

// A positioned event, kept for the events layer, which follows the items;
// its texts by number, so that it can go to a file.
struct KeptEvent {
  int64_t line, clockMs;
  uint32_t record, message, eventName;
  uint32_t code;
  double event, latitude, longitude, altitude, speed, heading, satellites, fixAge;

  WendrakeMapItem Item(const TextNumbers& texts) const {
    return WendrakeMapItem{line,     clockMs,   texts.Text(record), texts.Text(message), texts.Text(eventName),
                           code,     event,     latitude,           longitude,           altitude,
                           speed,    heading,   satellites,         fixAge,              nullptr,
                           std::nan(""), -1, std::nan("")};
  }
};

// A vertex of the route: the last item of a run at one position, with the
// smallest and largest colour value of the run's items (NaN when none), and
// the cell serving that item (-1: none) at its distance.
struct Vertex {
  double longitude, latitude, low, high;
  int64_t line, clockMs;
  int32_t servingCell;
  double servingDistance;
};

class MapWriter {
 public:
  MapWriter(const WendrakeMapDrive& drive, GDALDataset* dataset, bool oneLayer, bool kml, bool gpkg, Sink* sink)
      : drive_(drive), sink_(sink), cells_(drive.cells, drive.cell_count), dataset_(dataset), oneLayer_(oneLayer),
        kml_(kml), gpkg_(gpkg), colouring_(drive.colour_kpi != nullptr) {
    wgs84_.SetWellKnownGeogCS("WGS84");
    wgs84_.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  }

  // One layer after the other: the KML writer closes a layer for writing
  // when the next one is created. The items stream in piece by piece; the
  // route's vertices and the events are kept for the layers after them.
  bool Write(std::string* error) {
    if (!CreateItemsLayer(error)) return false;
    for (;;) {
      WendrakeMapPiece piece{};
      const int next = drive_.next(drive_.source, &piece);
      if (next < 0) {
        *error = "cannot read the log";  // the tool knows why
        return false;
      }
      if (next == 0) break;
      for (size_t i = 0; i < piece.point_count; ++i) {
        if (!AddItem(piece.points[i], items_, "item", error)) return false;
      }
      for (size_t i = 0; i < piece.item_count; ++i) Take(piece.items[i]);
    }
    if (!KeptWell(error)) return false;
    if (colouring_) {
      const std::vector<double> edges(drive_.edges, drive_.edges + drive_.edge_count);
      bins_ = KpiBins::OfSketch(colourValues_, static_cast<BinMode>(drive_.bin_mode), drive_.colour_kpi, edges);
    }
    if (!CreateRouteLayer(error) || !(oneLayer_ ? AddRoute(error) : AddColouredRoute(error))) return false;
    if (!CreateEventsLayer(error)) return false;
    std::map<std::string, size_t> eventKinds;  // with the count of each
    for (size_t e = 0; e < events_.size(); ++e) {
      const WendrakeMapItem event = events_[e].Item(texts_);
      if (!AddItem(event, events_layer_, "event", error)) return false;
      ++eventKinds[EventKindName(event.event_name, event.code)];
    }
    if (!CreateCellsLayer(error) || !AddCells(error)) return false;
    if (!CreateServingLayer(error) || !AddServingLines(error) || !KeptWell(error)) return false;
    return !gpkg_ || WriteQgisStyles(dataset_, Styles(RankEventKinds(eventKinds)), error);
  }

 private:
  // A record per GPS fix goes to a temporary file on a long drive: a failed
  // write or read there fails the map, with the system's reason.
  bool KeptWell(std::string* error) const {
    const std::pair<bool, int> kept[] = {{vertices_.failed(), vertices_.error()},
                                         {events_.failed(), events_.error()},
                                         {itemPoints_.failed(), itemPoints_.error()}};
    for (const auto& [failed, number] : kept) {
      if (!failed) continue;
      *error = std::string("cannot keep the route in a temporary file: ") + std::strerror(number);
      return false;
    }
    return true;
  }

  // Takes a positioned item into the route, the colour bins and the events.
  void Take(const WendrakeMapItem& item) {
    if (!Positioned(item)) return;
    if (vertices_.empty() || vertices_.back().latitude != item.latitude ||
        vertices_.back().longitude != item.longitude) {
      vertices_.push_back(Vertex{item.longitude, item.latitude, std::nan(""), std::nan(""), 0, 0, -1, std::nan("")});
    }
    Vertex& last = vertices_.back();
    last.line = item.line;
    last.clockMs = item.clock_ms;
    last.servingCell = item.serving_cell;
    last.servingDistance = item.serving_distance;
    if (colouring_ && !std::isnan(item.colour)) {
      Vertex& vertex = vertices_.back();
      if (std::isnan(vertex.low) || item.colour < vertex.low) vertex.low = item.colour;
      if (std::isnan(vertex.high) || item.colour > vertex.high) vertex.high = item.colour;
      colourValues_.Add(item.colour);
    }
    if (IsEvent(item)) {
      events_.push_back(KeptEvent{item.line, item.clock_ms, texts_.Of(item.record), texts_.Of(item.message),
                                  texts_.Of(item.event_name), item.code, item.event, item.latitude, item.longitude,
                                  item.altitude, item.speed, item.heading, item.satellites, item.fix_age});
    }
  }

 private:
  OGRLayer* NewLayer(const char* name, OGRwkbGeometryType type, std::string* error, bool packedIndex = false) {
    CPLStringList options;
    if (packedIndex) options.SetNameValue("SPATIAL_INDEX", "NO");  // added when the file is written
    OGRLayer* layer = dataset_->CreateLayer(name, &wgs84_, type, options.List());
    if (layer == nullptr) *error = GdalError(std::string("cannot create the layer ") + name);
    return layer;
  }

  bool AddField(OGRLayer* layer, const std::string& name, OGRFieldType type, std::string* error) {
    OGRFieldDefn field(name.c_str(), type);
    if (layer->CreateField(&field) != OGRERR_NONE) {
      *error = GdalError("cannot add the field " + name);
      return false;
    }
    return true;
  }

  // The items layer; in a one-layer file, the layer of all three kinds.
  bool CreateItemsLayer(std::string* error) {
    items_ = NewLayer(oneLayer_ ? "drive" : "items", oneLayer_ ? wkbUnknown : wkbPoint, error, gpkg_);
    if (items_ == nullptr) return false;
    if (gpkg_) itemsNames_ = {items_->GetName(), items_->GetGeometryColumn(), items_->GetFIDColumn()};
    if (oneLayer_) route_ = events_layer_ = items_;
    FieldNames names;
    std::vector<std::pair<std::string, OGRFieldType>> fields = {
        // KML knows 32-bit integers only: a 64-bit field would become text there.
        {"name", OFTString}, {"line", kml_ ? OFTInteger : OFTInteger64}, {"time", OFTDateTime}, {"record", OFTString},
        {"code", OFTString}, {"message", OFTString}, {"event_name", OFTString}, {"event", OFTReal},
        {"altitude", OFTReal}, {"speed", OFTReal}, {"heading", OFTReal}, {"satellites", OFTReal},
        {"fix_age", OFTReal}};
    if (oneLayer_) {
      fields.insert(fields.begin(), {"feature", OFTString});
      // The cells' and serving lines' attributes, in the one layer.
      for (const auto& field : kCellFields) fields.push_back(field);
      for (const auto& field : kServingFields) {
        if (std::none_of(fields.begin(), fields.end(), [&](const auto& f) { return f.first == field.first; })) {
          fields.push_back(field);
        }
      }
    }
    for (auto& [name, type] : fields) names.Take(name);
    for (size_t k = 0; k < drive_.kpi_count; ++k) {
      kpiFields_.push_back(names.Take(drive_.kpi_names[k]));
      fields.emplace_back(kpiFields_.back(), OFTReal);
    }
    for (const auto& [name, type] : fields) {
      if (!AddField(items_, name, type, error)) return false;
    }
    return true;
  }

  bool CreateRouteLayer(std::string* error) {
    if (oneLayer_) return true;
    route_ = NewLayer("route", kml_ ? wkbUnknown : wkbLineString, error);
    return route_ != nullptr && AddField(route_, "name", OFTString, error) &&
           AddField(route_, "kpi", OFTString, error) && AddField(route_, "low", OFTReal, error) &&
           AddField(route_, "high", OFTReal, error) && AddField(route_, "value", OFTReal, error) &&
           (!kml_ || AddField(route_, "description", OFTString, error));
  }

  bool CreateEventsLayer(std::string* error) {
    if (oneLayer_) return true;
    events_layer_ = NewLayer("events", wkbPoint, error);
    if (events_layer_ == nullptr) return false;
    const OGRFeatureDefn* items = items_->GetLayerDefn();
    for (const char* name : {"name", "line", "time", "event_name", "event"}) {
      const OGRFieldType type = items->GetFieldDefn(items->GetFieldIndex(name))->GetType();
      if (!AddField(events_layer_, name, type, error)) return false;
    }
    return true;
  }

  // The attributes of a cell and of a serving line (besides "name").
  static constexpr std::pair<const char*, OGRFieldType> kCellFields[] = {
      {"technology", OFTString}, {"pn", OFTInteger},       {"cell_id", OFTString},   {"sid", OFTInteger},
      {"nid", OFTInteger},       {"base_id", OFTInteger},  {"sector_id", OFTString}, {"color_code", OFTInteger},
      {"neighbours", OFTString}};
  static constexpr std::pair<const char*, OGRFieldType> kServingFields[] = {
      {"line", OFTInteger}, {"time", OFTDateTime}, {"pn", OFTInteger}, {"cell_id", OFTString},
      {"distance", OFTReal}};

  bool CreateCellsLayer(std::string* error) {
    if (oneLayer_) {
      cellLayer_ = items_;
      return true;
    }
    cellLayer_ = NewLayer("cells", wkbPoint, error);
    if (cellLayer_ == nullptr || !AddField(cellLayer_, "name", OFTString, error)) return false;
    for (const auto& [name, type] : kCellFields) {
      if (!AddField(cellLayer_, name, type, error)) return false;
    }
    return true;
  }

  bool CreateServingLayer(std::string* error) {
    if (oneLayer_) {
      servingLayer_ = items_;
      return true;
    }
    servingLayer_ = NewLayer("serving", kml_ ? wkbUnknown : wkbLineString, error);
    if (servingLayer_ == nullptr || !AddField(servingLayer_, "name", OFTString, error)) return false;
    for (const auto& [name, type] : kServingFields) {
      // KML knows 32-bit integers only; elsewhere a line number may be larger.
      const OGRFieldType wide = std::string_view(name) == "line" && !kml_ ? OFTInteger64 : type;
      if (!AddField(servingLayer_, name, wide, error)) return false;
    }
    return true;
  }

  static bool CellPositioned(const WendrakeMapCell& cell) {
    return !std::isnan(cell.latitude) && !std::isnan(cell.longitude);
  }

  // A point per cell at its advertised position; in KML named by its label,
  // which Google Earth shows beside it.
  bool AddCells(std::string* error) {
    for (const WendrakeMapCell& cell : cells_) {
      if (!CellPositioned(cell)) continue;
      FeaturePtr feature(OGRFeature::CreateFeature(cellLayer_->GetLayerDefn()));
      Set(feature.get(), "feature", "cell");
      Set(feature.get(), "name", cell.label);
      Set(feature.get(), "technology", cell.technology);
      SetInt(feature.get(), "pn", cell.pilot_pn);
      Set(feature.get(), "cell_id", cell.id);
      SetInt(feature.get(), "sid", cell.sid);
      SetInt(feature.get(), "nid", cell.nid);
      SetInt(feature.get(), "base_id", cell.base_id);
      Set(feature.get(), "sector_id", cell.sector_id);
      SetInt(feature.get(), "color_code", cell.color_code);
      Set(feature.get(), "neighbours", cell.neighbours);
      OGRPoint point(cell.longitude, cell.latitude);
      feature->SetGeometry(&point);
      if (!Add(cellLayer_, feature.get(), error)) return false;
    }
    return true;
  }

  // A line from each vertex of the route to the cell serving there, with
  // the distance between them.
  bool AddServingLines(std::string* error) {
    for (size_t v = 0; v < vertices_.size(); ++v) {
      const Vertex vertex = vertices_[v];
      if (vertex.servingCell < 0 || static_cast<size_t>(vertex.servingCell) >= cells_.size()) continue;
      const WendrakeMapCell& cell = cells_[static_cast<size_t>(vertex.servingCell)];
      if (!CellPositioned(cell)) continue;
      FeaturePtr feature(OGRFeature::CreateFeature(servingLayer_->GetLayerDefn()));
      Set(feature.get(), "feature", "serving");
      Set(feature.get(), "name", cell.label);
      Set(feature.get(), "line", static_cast<double>(vertex.line));
      SetTime(feature.get(), feature->GetFieldIndex("time"), vertex.clockMs);
      SetInt(feature.get(), "pn", cell.pilot_pn);
      Set(feature.get(), "cell_id", cell.id);
      Set(feature.get(), "distance", vertex.servingDistance);
      OGRLineString line;
      line.addPoint(vertex.longitude, vertex.latitude);
      line.addPoint(cell.longitude, cell.latitude);
      feature->SetGeometry(&line);
      if (kml_) feature->SetStyleString("PEN(c:#1f5fd6,w:1px)");
      if (!Add(servingLayer_, feature.get(), error)) return false;
    }
    return true;
  }

  // An integer attribute; -1 (unknown) leaves it null.
  static void SetInt(OGRFeature* feature, const char* name, int32_t value) {
    const int index = feature->GetFieldIndex(name);
    if (index >= 0 && value >= 0) feature->SetField(index, static_cast<int>(value));
  }

  static void Set(OGRFeature* feature, const char* name, const std::string& value) {
    const int index = feature->GetFieldIndex(name);
    if (index >= 0 && !value.empty()) feature->SetField(index, value.c_str());
  }
  static void Set(OGRFeature* feature, const char* name, double value) {
    const int index = feature->GetFieldIndex(name);
    if (index >= 0 && !std::isnan(value)) feature->SetField(index, value);
  }
  // The log's clock is the handset's local time of unknown offset, so the
  // time carries no time zone.
  // KML's xsd:dateTime of a clock, without a zone as the clock has none;
  // "" without a clock.
  static std::string KmlWhen(int64_t clockMs) {
    if (clockMs == INT64_MIN) return "";
    const int64_t seconds = clockMs >= 0 ? clockMs / 1000 : (clockMs - 999) / 1000;
    const std::time_t when = static_cast<std::time_t>(seconds);
    std::tm utc{};
    if (gmtime_r(&when, &utc) == nullptr) return "";
    return fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}.{:03}", utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday,
                       utc.tm_hour, utc.tm_min, utc.tm_sec, clockMs - seconds * 1000);
  }
  void SetTime(OGRFeature* feature, int index, int64_t clockMs) const {
    if (index >= 0 && clockMs == INT64_MIN) Absent(feature, index);
    if (index < 0 || clockMs == INT64_MIN) return;
    const int64_t seconds = clockMs >= 0 ? clockMs / 1000 : (clockMs - 999) / 1000;
    const std::time_t when = static_cast<std::time_t>(seconds);
    std::tm utc{};
    if (gmtime_r(&when, &utc) == nullptr) return Absent(feature, index);
    feature->SetField(index, utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min,
                      static_cast<float>(utc.tm_sec + (clockMs - seconds * 1000) / 1000.0), 0);
  }

  // GDAL's GeoJSON and KML writers ignore failed writes, so the sink's
  // failure is checked here too, to stop at the first.
  bool Add(OGRLayer* layer, OGRFeature* feature, std::string* error) {
    const bool created = layer->CreateFeature(feature) == OGRERR_NONE;
    if (sink_ != nullptr) sink_->timeStamp.clear();
    if (!created || (sink_ != nullptr && sink_->failed)) {
      *error = GdalError("cannot write a feature");
      return false;
    }
    return true;
  }

  // Where an item's attributes are in a layer's features (-1: not there),
  // looked up once per layer: a lookup by name for every feature costs more
  // than writing the feature.
  struct ItemFields {
    int feature, name, line, time, record, code, message, eventName, event, altitude, speed, heading, satellites,
        fixAge;
    std::vector<int> kpis;  // items only
  };
  ItemFields FieldsOf(OGRLayer* layer, bool withKpis) const {
    const OGRFeatureDefn* defn = layer->GetLayerDefn();
    auto at = [&](const char* name) { return defn->GetFieldIndex(name); };
    ItemFields fields{at("feature"), at("name"),     at("line"),     at("time"),    at("record"),
                      at("code"),    at("message"),  at("event_name"), at("event"), at("altitude"),
                      at("speed"),   at("heading"),  at("satellites"), at("fix_age"), {}};
    if (withKpis) {
      for (const std::string& name : kpiFields_) fields.kpis.push_back(at(name.c_str()));
    }
    return fields;
  }
  // Every field of an item's feature is written, as the feature is reused
  // from item to item. A GeoPackage gets absent values as NULL, which keeps
  // the fields set the same from feature to feature, so that GDAL reuses its
  // prepared INSERT; GeoJSON and KML leave them out.
  void Absent(OGRFeature* feature, int index) const {
    if (allFields_) feature->SetFieldNull(index);
    else feature->UnsetField(index);
  }
  // A feature written again for each item (creating one per item would
  // cost more than writing it). It remembers what each field holds, so that
  // a field is set only when its value changes: consecutive items carry
  // most values over, and GDAL's setters cost more than the comparison.
  struct ReusedFeature {
    enum class Held : uint8_t { kNothing, kAbsent, kValue };
    FeaturePtr feature;
    std::vector<Held> held;
    std::vector<double> numbers;  // a number's value, or a time's clock
    std::vector<std::string> texts;

    void Start(OGRFeatureDefn* defn) {
      feature.reset(OGRFeature::CreateFeature(defn));
      const size_t count = static_cast<size_t>(defn->GetFieldCount());
      held.assign(count, Held::kNothing);
      numbers.assign(count, 0);
      texts.assign(count, "");
    }
    // Each true when field `index` must change to hold the value.
    bool NowAbsent(int index) { return std::exchange(held[Slot(index)], Held::kAbsent) != Held::kAbsent; }
    bool NowNumber(int index, double value) {
      const size_t slot = Slot(index);
      if (held[slot] == Held::kValue && std::bit_cast<uint64_t>(numbers[slot]) == std::bit_cast<uint64_t>(value)) {
        return false;
      }
      held[slot] = Held::kValue;
      numbers[slot] = value;
      return true;
    }
    bool NowText(int index, const char* value) {
      const size_t slot = Slot(index);
      if (held[slot] == Held::kValue && texts[slot] == value) return false;
      held[slot] = Held::kValue;
      texts[slot] = value;
      return true;
    }
    static size_t Slot(int index) { return static_cast<size_t>(index); }
  };

  void SetAt(ReusedFeature& out, int index, const char* value) const {
    if (index < 0) return;
    if (*value == '\0') {
      if (out.NowAbsent(index)) Absent(out.feature.get(), index);
    } else if (out.NowText(index, value)) {
      out.feature->SetField(index, value);
    }
  }
  void SetAt(ReusedFeature& out, int index, double value) const {
    if (index < 0) return;
    if (std::isnan(value)) {
      if (out.NowAbsent(index)) Absent(out.feature.get(), index);
    } else if (out.NowNumber(index, value)) {
      out.feature->SetField(index, value);
    }
  }
  void SetTimeAt(ReusedFeature& out, int index, int64_t clockMs) const {
    if (index < 0) return;
    if (clockMs == INT64_MIN ? out.NowAbsent(index) : out.NowNumber(index, static_cast<double>(clockMs))) {
      SetTime(out.feature.get(), index, clockMs);
    }
  }

  bool AddItem(const WendrakeMapItem& item, OGRLayer* layer, const char* kind, std::string* error) {
    const bool isItem = layer == items_ && std::string_view(kind) == "item";
    if (itemFields_.empty()) itemFields_.push_back(FieldsOf(items_, true));
    if (layer != items_ && eventFields_.empty()) eventFields_.push_back(FieldsOf(layer, false));
    const ItemFields& f = layer == items_ ? itemFields_[0] : eventFields_[0];
    ReusedFeature& reused = layer == items_ ? itemFeature_ : eventFeature_;
    if (reused.feature == nullptr) reused.Start(layer->GetLayerDefn());
    OGRFeature* out = reused.feature.get();
    out->SetFID(OGRNullFID);
    SetAt(reused, f.feature, kind);
    const std::string eventKind = IsEvent(item) ? EventKindName(item.event_name, item.code) : "";
    SetAt(reused, f.name, IsEvent(item) ? eventKind.c_str() : IsSignalling(item) ? item.message : item.record);
    SetAt(reused, f.line, static_cast<double>(item.line));
    SetTimeAt(reused, f.time, item.clock_ms);
    SetAt(reused, f.record, item.record);
    char code[] = "0x00000000";
    WriteHex(code + 2, item.code, 8);
    SetAt(reused, f.code, code);
    SetAt(reused, f.message, item.message);
    SetAt(reused, f.eventName, item.event_name);
    SetAt(reused, f.event, item.event);
    SetAt(reused, f.altitude, item.altitude);
    SetAt(reused, f.speed, item.speed);
    SetAt(reused, f.heading, item.heading);
    SetAt(reused, f.satellites, item.satellites);
    SetAt(reused, f.fixAge, item.fix_age);
    for (size_t k = 0; k < f.kpis.size(); ++k) {
      // An event in the one layer of GeoJSON has no KPIs.
      SetAt(reused, f.kpis[k], isItem ? item.kpis[k] : std::nan(""));
    }
    point_.setX(item.longitude);
    point_.setY(item.latitude);
    out->SetGeometry(&point_);
    // A time stamp per placemark, for Google Earth's time slider.
    const std::string when = kml_ ? KmlWhen(item.clock_ms) : "";
    if (kml_ && sink_ != nullptr && !when.empty()) sink_->timeStamp = "<TimeStamp><when>" + when + "</when></TimeStamp>\n\t";
    if (!Add(layer, out, error)) return false;
    if (gpkg_ && layer == items_) itemPoints_.Add(out->GetFID(), item.longitude, item.latitude);
    return true;
  }

  // A piece of the route in `bin`; bin -1 is a piece without a value, and
  // with `whole` the whole route uncoloured, its range that of the KPI.
  bool AddLine(size_t begin, size_t end, int bin, std::string* error, bool whole = false) {
    FeaturePtr feature(OGRFeature::CreateFeature(route_->GetLayerDefn()));
    OGRLineString line;
    line.setNumPoints(static_cast<int>(end - begin), false);
    for (size_t v = begin; v < end; ++v) {
      const Vertex& vertex = vertices_[v];
      line.setPoint(static_cast<int>(v - begin), vertex.longitude, vertex.latitude);
    }
    feature->SetGeometry(&line);
    Set(feature.get(), "feature", "route");
    if (!colouring_) {
      Set(feature.get(), "name", "route");
    } else {
      const std::string kpi = KpiName();
      Set(feature.get(), "kpi", kpi);
      if (whole) {
        Set(feature.get(), "name", "route");
        Set(feature.get(), "low", bins_.low);
        Set(feature.get(), "high", bins_.high);
        return Add(route_, feature.get(), error);
      }
      if (bin >= 0) {
        Set(feature.get(), "name", kpi + " " + bins_.Range(bin));
        Set(feature.get(), "low", bins_.Lower(bin));
        Set(feature.get(), "high", bins_.Upper(bin));
        Set(feature.get(), "value", WorstOf(begin + 1, end));
      } else {
        Set(feature.get(), "name", kpi + " without a value");
      }
      feature->SetStyleString(fmt::format("PEN(c:{},w:5px)", bins_.Colour(bin)).c_str());
    }
    return Add(route_, feature.get(), error);
  }

  bool AddRoute(std::string* error) { return vertices_.size() < 2 || AddLine(0, vertices_.size(), -1, error, true); }

  // The bin of a vertex: that of the worst value of the items it stands for
  // (those since the vertex before), so that a dip between two fixes still
  // colours the route. Bins grow with the value, so the worst bin is that
  // of the largest value where low values are good, else of the smallest.
  int BinAt(size_t vertex) const { return bins_.Bin(WorstAt(vertex)); }
  double WorstAt(size_t index) const {
    const Vertex& vertex = vertices_[index];
    return bins_.lowIsGood ? vertex.high : vertex.low;
  }

  // The worst value of vertices [begin, end): what a piece of the route is
  // coloured by, the attribute its QGIS style classes.
  double WorstOf(size_t begin, size_t end) const {
    double worst = std::nan("");
    for (size_t v = begin; v < end; ++v) {
      const double value = WorstAt(v);
      if (!std::isnan(value) && (std::isnan(worst) || (bins_.lowIsGood ? value > worst : value < worst))) worst = value;
    }
    return worst;
  }

  std::string KpiName() const { return drive_.colour_kpi; }

  // One line piece per run of vertices in the same bin; each piece starts
  // where the last ended, so the track stays unbroken. KML colours each by
  // its style; a GeoPackage's QGIS style classes them by their value.
  bool AddColouredRoute(std::string* error) {
    if (vertices_.size() < 2) return true;
    if (!colouring_) return AddLine(0, vertices_.size(), -1, error);
    if (kml_ && !AddLegend(error)) return false;
    size_t start = 0;
    for (size_t v = 1; v < vertices_.size(); ++v) {
      const bool last = v + 1 == vertices_.size();
      if (last || BinAt(v + 1) != BinAt(start + 1)) {
        if (!AddLine(start, v + 1, BinAt(start + 1), error)) return false;
        start = v;
      }
    }
    return true;
  }

  // The KML legend: a placemark without geometry first in the route's
  // folder, its description an HTML table of the bins' colours and ranges.
  bool AddLegend(std::string* error) {
    FeaturePtr feature(OGRFeature::CreateFeature(route_->GetLayerDefn()));
    Set(feature.get(), "name", "Legend: " + KpiName());
    Set(feature.get(), "kpi", KpiName());
    Set(feature.get(), "description", Legend());
    return Add(route_, feature.get(), error);
  }

  std::string Legend() const {
    std::string legend = "<b>" + KpiName() + "</b><table>";
    // One value throughout: one row, not five of the same.
    const int lowest = bins_.single() ? KpiBins::kCount - 1 : 0;
    for (int bin = KpiBins::kCount - 1; bin >= lowest && !std::isnan(bins_.low); --bin) {
      legend += fmt::format("<tr><td style=\"background:{}\">&#160;&#160;&#160;&#160;</td><td>{}</td></tr>",
                            bins_.Colour(bin), bins_.Range(bin));
    }
    legend += fmt::format("<tr><td style=\"background:{}\">&#160;&#160;&#160;&#160;</td><td>no value</td></tr></table>",
                          KpiBins::NoValueColour());
    return legend;
  }

  // The default QGIS style of each layer: the items and the route by the
  // KPI's bins, the events by kind, as the legends show them.
  std::vector<LayerStyle> Styles(const std::vector<EventKind>& eventKinds) const {
    std::vector<LayerStyle> styles;
    // The items are coloured when the colouring KPI is one of their attributes.
    int itemsKpi = -1;
    for (size_t k = 0; colouring_ && k < drive_.kpi_count; ++k) {
      if (KpiName() == drive_.kpi_names[k]) itemsKpi = static_cast<int>(k);
    }
    if (itemsKpi >= 0) {
      styles.push_back({items_, "KPI " + KpiName(), "items coloured by " + KpiName() + " in the legend's bins",
                        GraduatedQml(SymbolKind::kPoint, kpiFields_[static_cast<size_t>(itemsKpi)], bins_)});
    } else {
      styles.push_back({items_, "items", "items", SingleSymbolQml(SymbolKind::kPoint, "#333333")});
    }
    if (colouring_) {
      styles.push_back({route_, "KPI " + KpiName(), "route coloured by its worst " + KpiName() + " in the legend's bins",
                        GraduatedQml(SymbolKind::kLine, "value", bins_)});
    } else {
      styles.push_back({route_, "route", "route", SingleSymbolQml(SymbolKind::kLine, "#333333")});
    }
    styles.push_back({events_layer_, "event kinds", "events coloured by kind, the most frequent first",
                      CategorizedQml(SymbolKind::kPoint, "name", eventKinds)});
    styles.push_back({cellLayer_, "cells", "cells at their advertised positions, labelled with PN and ID",
                      SingleSymbolQml(SymbolKind::kSite, kCellColour, "name")});
    styles.push_back({servingLayer_, "serving cells", "a line from each point of the route to its serving cell",
                      SingleSymbolQml(SymbolKind::kLink, kCellColour)});
    return styles;
  }

  // The GeoPackage's items, for the spatial index added to the written file.
 public:
  const GpkgLayerNames& itemsNames() const { return itemsNames_; }
  const RtreePoints& itemPoints() const { return itemPoints_; }

 private:
  GpkgLayerNames itemsNames_;
  RtreePoints itemPoints_;
  const WendrakeMapDrive& drive_;
  Sink* sink_;  // GeoJSON and KML
  const std::span<const WendrakeMapCell> cells_;
  GDALDataset* dataset_;
  bool oneLayer_, kml_, gpkg_;
  bool colouring_;  // the route is coloured by drive_.colour_kpi
  bool allFields_ = sink_ == nullptr;  // GeoPackage
  OGRSpatialReference wgs84_;
  OGRLayer* items_ = nullptr;
  OGRLayer* route_ = nullptr;
  OGRLayer* events_layer_ = nullptr;
  OGRLayer* cellLayer_ = nullptr;
  OGRLayer* servingLayer_ = nullptr;
  static constexpr const char* kCellColour = "#1f5fd6";
  std::vector<std::string> kpiFields_;
  std::vector<ItemFields> itemFields_, eventFields_;  // once known, one each
  ReusedFeature itemFeature_, eventFeature_;
  OGRPoint point_;
  // One per GPS fix and one per event, in a temporary file on a long drive.
  SpillArray<Vertex> vertices_;
  SpillArray<KeptEvent> events_;
  TextNumbers texts_;
  ValueSketch colourValues_;
  KpiBins bins_;
};

// The system's reason for the first failure GDAL reports, caught as it is
// reported: SQLite only says "disk I/O error" when the disk is full.
int firstSystemError = 0;

void CPL_STDCALL RecordFailure(CPLErr level, CPLErrorNum, const char*) {
  if (level >= CE_Failure && firstSystemError == 0) firstSystemError = errno;
}

// Errors that explain a failed write better than the statement that met them.
bool IsWriteError(int error) {
  return error == ENOSPC || error == EFBIG || error == EDQUOT || error == EIO || error == EROFS;
}

}  // namespace

bool WriteMap(const WendrakeMapDrive& drive, std::string* error) {
  const std::string name = drive.name;
  const std::string driverName = drive.driver;
  Sink sink{drive.sink, drive.sink_context, false, ""};
  const bool streamed = drive.sink != nullptr;
  const std::string path = streamed ? "/vsistdout/" : drive.path;
  GDALAllRegister();
  CPLPushErrorHandler(RecordFailure);
  CPLErrorReset();
  firstSystemError = 0;
  if (streamed) VSIStdoutSetRedirection(SinkWrite, reinterpret_cast<FILE*>(&sink));
  bool ok = false;
  {
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(driverName.c_str());
    CPLStringList options;
    if (driverName == "GeoJSON") options.SetNameValue("RFC7946", "YES");
    DatasetPtr dataset(driver == nullptr ? nullptr : driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, options.List()));
    if (dataset == nullptr) {
      *error = GdalError("cannot create " + name);
    } else {
      const bool transaction = dataset->StartTransaction() == OGRERR_NONE;
      MapWriter writer(drive, dataset.get(), driverName == "GeoJSON", driverName == "KML", driverName == "GPKG",
                       streamed ? &sink : nullptr);
      ok = writer.Write(error);
      if (ok && transaction && dataset->CommitTransaction() != OGRERR_NONE) {
        *error = GdalError("cannot write " + name);
        ok = false;
      }
      CPLErrorReset();
      dataset.reset();  // closing writes the rest
      if (ok && CPLGetLastErrorType() >= CE_Failure) {
        *error = GdalError("cannot write " + name);
        ok = false;
      }
      std::string why;
      if (ok && driverName == "GPKG" &&
          !AddGpkgSpatialIndex(path, writer.itemsNames(), writer.itemPoints(), &why, &firstSystemError)) {
        *error = "cannot write the spatial index of " + name + ": " + why;
        ok = false;
      }
    }
  }
  if (streamed) VSIStdoutSetRedirection(fwrite, stdout);
  CPLPopErrorHandler();
  if (sink.failed) {
    *error = "cannot write " + name;  // the tool knows the reason
    ok = false;
  } else if (!ok && IsWriteError(firstSystemError)) {
    *error = "cannot write " + name + ": " + std::strerror(firstSystemError);
  }
  return ok;
}

}  // namespace wendrake_cli
