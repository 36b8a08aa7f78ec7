// Default styles for QGIS in a GeoPackage: QGIS looks in the file's
// "layer_styles" table when it opens a layer and applies the style marked as
// the layer's default. Each layer gets one, drawn as the report draws it:
// the route and the items coloured by the KPI's bins and colours (a
// graduated renderer whose classes are the legend's), the events by kind.
#pragma once

#include <string>
#include <vector>

#include "view/event_kinds.h"
#include "view/kpi_bins.h"

class GDALDataset;
class OGRLayer;

namespace wendrake_cli {

// QGIS's style document (QML) of one layer, drawn with symbols of a kind:
// points (circles), lines (the route's wide strokes), sites (triangles, for
// cells) and links (thin lines, to a cell).
enum class SymbolKind { kPoint, kLine, kSite, kLink };

// Features coloured by `attribute` in `bins`, each class labelled as the
// legend labels it. Bins without any value give a single grey symbol.
std::string GraduatedQml(SymbolKind kind, const std::string& attribute, const KpiBins& bins);
// Features coloured by kind (`attribute` holds the kind's name), the kinds
// without a colour of their own together as one grey class.
std::string CategorizedQml(SymbolKind kind, const std::string& attribute, const std::vector<EventKind>& kinds);
// One symbol of `colour` ("#RRGGBB") for every feature, labelled by
// `labelField` when it is not "".
std::string SingleSymbolQml(SymbolKind kind, const std::string& colour, const std::string& labelField = "");

struct LayerStyle {
  OGRLayer* layer;
  std::string name;         // "Drive report: Rxagc"
  std::string description;  // what the style shows
  std::string qml;
};

// Creates the "layer_styles" table in `dataset` (a GeoPackage, inside its
// open transaction) with a row per style, each its layer's default. False
// with a one-line `error` when GDAL refuses.
bool WriteQgisStyles(GDALDataset* dataset, const std::vector<LayerStyle>& styles, std::string* error);

}  // namespace wendrake_cli
