#include "map_export.h"

#include <cpl_error.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>
#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <ctime>
#include <memory>
#include <set>

#include "kpi_bins.h"

namespace wendrake_cli {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// GDAL reports failures through its error state; this gives its last
// message as one line.
std::string GdalError(const std::string& what) {
  std::string message = CPLGetLastErrorMsg();
  std::replace(message.begin(), message.end(), '\n', ' ');
  return message.empty() ? what : what + ": " + message;
}

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

class MapWriter {
 public:
  MapWriter(const DriveView& view, GDALDataset* dataset, bool oneLayer, bool kml, int kpi)
      : view_(view), dataset_(dataset), oneLayer_(oneLayer), kml_(kml), kpi_(kpi) {
    wgs84_.SetWellKnownGeogCS("WGS84");
    wgs84_.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    if (kpi_ >= 0) {
      std::vector<double> values;
      for (const DriveItem& item : view_.items) {
        if (item.positioned()) values.push_back(item.kpis[static_cast<size_t>(kpi_)]);
      }
      bins_ = KpiBins::Of(values);
    }
  }

  // One layer after the other: the KML writer closes a layer for writing
  // when the next one is created.
  bool Write(std::string* error) {
    if (!CreateItemsLayer(error)) return false;
    for (const DriveItem& item : view_.items) {
      if (item.positioned() && !AddItem(item, items_, "item", error)) return false;
    }
    if (!CreateRouteLayer(error) || !(kml_ ? AddColouredRoute(error) : AddRoute(error))) return false;
    if (!CreateEventsLayer(error)) return false;
    for (const DriveItem& item : view_.items) {
      if (item.positioned() && item.isEvent() && !AddItem(item, events_, "event", error)) return false;
    }
    return true;
  }

 private:
  OGRLayer* NewLayer(const char* name, OGRwkbGeometryType type, std::string* error) {
    OGRLayer* layer = dataset_->CreateLayer(name, &wgs84_, type, nullptr);
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
    items_ = NewLayer(oneLayer_ ? "drive" : "items", oneLayer_ ? wkbUnknown : wkbPoint, error);
    if (items_ == nullptr) return false;
    if (oneLayer_) route_ = events_ = items_;
    FieldNames names;
    std::vector<std::pair<std::string, OGRFieldType>> fields = {
        {"name", OFTString}, {"line", OFTInteger64}, {"time", OFTDateTime}, {"record", OFTString},
        {"code", OFTString}, {"message", OFTString}, {"event_name", OFTString}, {"event", OFTReal},
        {"altitude", OFTReal}, {"speed", OFTReal}, {"heading", OFTReal}, {"satellites", OFTReal},
        {"fix_age", OFTReal}};
    if (oneLayer_) fields.insert(fields.begin(), {"feature", OFTString});
    for (auto& [name, type] : fields) names.Take(name);
    for (const std::string& kpi : view_.kpiNames) {
      kpiFields_.push_back(names.Take(kpi));
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
           AddField(route_, "high", OFTReal, error) && (!kml_ || AddField(route_, "description", OFTString, error));
  }

  bool CreateEventsLayer(std::string* error) {
    if (oneLayer_) return true;
    events_ = NewLayer("events", wkbPoint, error);
    if (events_ == nullptr) return false;
    const OGRFeatureDefn* items = items_->GetLayerDefn();
    for (const char* name : {"name", "line", "time", "event_name", "event"}) {
      if (!AddField(events_, name, items->GetFieldDefn(items->GetFieldIndex(name))->GetType(), error)) return false;
    }
    return true;
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
  static void SetTime(OGRFeature* feature, int64_t clockMs) {
    const int index = feature->GetFieldIndex("time");
    if (index < 0 || clockMs == kNoClock) return;
    const int64_t seconds = clockMs >= 0 ? clockMs / 1000 : (clockMs - 999) / 1000;
    const std::time_t when = static_cast<std::time_t>(seconds);
    std::tm utc{};
    if (gmtime_r(&when, &utc) == nullptr) return;
    feature->SetField(index, utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min,
                      static_cast<float>(utc.tm_sec + (clockMs - seconds * 1000) / 1000.0), 0);
  }

  bool Add(OGRLayer* layer, OGRFeature* feature, std::string* error) {
    if (layer->CreateFeature(feature) != OGRERR_NONE) {
      *error = GdalError("cannot write a feature");
      return false;
    }
    return true;
  }

  bool AddItem(const DriveItem& item, OGRLayer* layer, const char* kind, std::string* error) {
    FeaturePtr feature(OGRFeature::CreateFeature(layer->GetLayerDefn()));
    Set(feature.get(), "feature", kind);
    Set(feature.get(), "name", item.isEvent() ? item.eventName : item.isSignalling() ? item.message : item.record);
    Set(feature.get(), "line", static_cast<double>(item.line));
    SetTime(feature.get(), item.clockMs);
    Set(feature.get(), "record", item.record);
    Set(feature.get(), "code", fmt::format("0x{:08X}", item.code));
    Set(feature.get(), "message", item.message);
    Set(feature.get(), "event_name", item.eventName);
    Set(feature.get(), "event", item.event);
    Set(feature.get(), "altitude", item.altitude);
    Set(feature.get(), "speed", item.speed);
    Set(feature.get(), "heading", item.heading);
    Set(feature.get(), "satellites", item.satellites);
    Set(feature.get(), "fix_age", item.fixAge);
    if (layer == items_ && std::string_view(kind) == "item") {
      for (size_t k = 0; k < kpiFields_.size(); ++k) Set(feature.get(), kpiFields_[k].c_str(), item.kpis[k]);
    }
    OGRPoint point(item.longitude, item.latitude);
    feature->SetGeometry(&point);
    return Add(layer, feature.get(), error);
  }

  bool AddLine(const std::vector<size_t>& vertices, size_t begin, size_t end, int bin, std::string* error) {
    FeaturePtr feature(OGRFeature::CreateFeature(route_->GetLayerDefn()));
    OGRLineString line;
    for (size_t v = begin; v < end; ++v) line.addPoint(view_.items[vertices[v]].longitude, view_.items[vertices[v]].latitude);
    feature->SetGeometry(&line);
    Set(feature.get(), "feature", "route");
    if (kpi_ < 0) {
      Set(feature.get(), "name", "route");
    } else {
      const std::string& kpi = view_.kpiNames[static_cast<size_t>(kpi_)];
      Set(feature.get(), "kpi", kpi);
      if (bin >= 0) {
        Set(feature.get(), "name", fmt::format("{} {:.2f} to {:.2f}", kpi, bins_.Lower(bin), bins_.Upper(bin)));
        Set(feature.get(), "low", bins_.Lower(bin));
        Set(feature.get(), "high", bins_.Upper(bin));
      } else {
        Set(feature.get(), "name", kpi + " without a value");
      }
      feature->SetStyleString(fmt::format("PEN(c:{},w:5px)", KpiBins::Colour(bin)).c_str());
    }
    return Add(route_, feature.get(), error);
  }

  bool AddRoute(std::string* error) {
    const std::vector<size_t> vertices = RouteVertices(view_);
    return vertices.size() < 2 || AddLine(vertices, 0, vertices.size(), -1, error);
  }

  int BinAt(size_t item) const { return bins_.Bin(view_.items[item].kpis[static_cast<size_t>(kpi_)]); }

  // One line piece per run of vertices in the same bin; each piece starts
  // where the last ended, so the track stays unbroken.
  bool AddColouredRoute(std::string* error) {
    const std::vector<size_t> vertices = RouteVertices(view_);
    if (vertices.size() < 2) return true;
    if (kpi_ < 0) return AddLine(vertices, 0, vertices.size(), -1, error);
    if (!AddLegend(error)) return false;
    size_t start = 0;
    for (size_t v = 1; v < vertices.size(); ++v) {
      const bool last = v + 1 == vertices.size();
      if (last || BinAt(vertices[v + 1]) != BinAt(vertices[start + 1])) {
        if (!AddLine(vertices, start, v + 1, BinAt(vertices[start + 1]), error)) return false;
        start = v;
      }
    }
    return true;
  }

  // The KML legend: a placemark without geometry first in the route's
  // folder, its description an HTML table of the bins' colours and ranges.
  bool AddLegend(std::string* error) {
    FeaturePtr feature(OGRFeature::CreateFeature(route_->GetLayerDefn()));
    Set(feature.get(), "name", "Legend: " + view_.kpiNames[static_cast<size_t>(kpi_)]);
    Set(feature.get(), "kpi", view_.kpiNames[static_cast<size_t>(kpi_)]);
    Set(feature.get(), "description", Legend());
    return Add(route_, feature.get(), error);
  }

  std::string Legend() const {
    std::string legend = "<b>" + view_.kpiNames[static_cast<size_t>(kpi_)] + "</b><table>";
    for (int bin = KpiBins::kCount - 1; bin >= 0 && !std::isnan(bins_.low); --bin) {
      legend += fmt::format("<tr><td style=\"background:{}\">&#160;&#160;&#160;&#160;</td><td>{:.2f} to {:.2f}</td></tr>",
                            KpiBins::Colour(bin), bins_.Lower(bin), bins_.Upper(bin));
    }
    legend += fmt::format("<tr><td style=\"background:{}\">&#160;&#160;&#160;&#160;</td><td>no value</td></tr></table>",
                          KpiBins::Colour(-1));
    return legend;
  }

  const DriveView& view_;
  GDALDataset* dataset_;
  bool oneLayer_, kml_;
  int kpi_;
  OGRSpatialReference wgs84_;
  OGRLayer* items_ = nullptr;
  OGRLayer* route_ = nullptr;
  OGRLayer* events_ = nullptr;
  std::vector<std::string> kpiFields_;
  KpiBins bins_;
};

}  // namespace

std::string MapDriverFor(const std::string& path, const std::string& format) {
  std::string key = Lower(format);
  if (key.empty()) {
    const size_t dot = path.rfind('.');
    const size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    key = Lower(path.substr(dot + 1));
  }
  if (key == "gpkg") return "GPKG";
  if (key == "geojson" || key == "json") return "GeoJSON";
  // GDAL's KML writer, not LIBKML's: LIBKML puts text holding "]]>" into a
  // CDATA section unsplit, which ends the section early and breaks the file.
  if (key == "kml") return "KML";
  return "";
}

bool WriteMap(const DriveView& view, const std::string& path, const std::string& driverName, int kpi,
              std::string* error) {
  GDALAllRegister();
  CPLPushErrorHandler(CPLQuietErrorHandler);
  CPLErrorReset();
  bool ok = false;
  {
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(driverName.c_str());
    CPLStringList options;
    if (driverName == "GeoJSON") options.SetNameValue("RFC7946", "YES");
    DatasetPtr dataset(driver == nullptr ? nullptr : driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, options.List()));
    if (dataset == nullptr) {
      *error = GdalError("cannot create " + path);
    } else {
      const bool transaction = dataset->StartTransaction() == OGRERR_NONE;
      MapWriter writer(view, dataset.get(), driverName == "GeoJSON", driverName == "KML", kpi);
      ok = writer.Write(error);
      if (ok && transaction && dataset->CommitTransaction() != OGRERR_NONE) {
        *error = GdalError("cannot write " + path);
        ok = false;
      }
      CPLErrorReset();
      dataset.reset();  // closing writes the rest
      if (ok && CPLGetLastErrorType() >= CE_Failure) {
        *error = GdalError("cannot write " + path);
        ok = false;
      }
    }
  }
  CPLPopErrorHandler();
  return ok;
}

}  // namespace wendrake_cli
