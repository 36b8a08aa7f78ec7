#include "map/qgis_styles.h"

#include <cpl_error.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>
#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <limits>
#include <memory>

namespace wendrake_cli {
namespace {

// Text in an XML attribute value; the texts are valid UTF-8 without control
// characters already (they come from the drive view).
std::string Xml(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += c;
    }
  }
  return out;
}

// QGIS's "r,g,b,a" of "#RRGGBB".
std::string QgisColour(const std::string& hex) {
  const unsigned long rgb = std::stoul(hex.substr(1), nullptr, 16);
  return fmt::format("{},{},{},255", (rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// The number as QGIS reads it back exactly.
std::string Exact(double value) { return fmt::format("{:.17g}", value); }

// A symbol as the report draws it: points as small outlined circles, lines
// as the route's 5-pixel strokes (1.3 mm).
std::string Symbol(SymbolKind kind, const std::string& name, const std::string& colour) {
  std::string props;
  auto prop = [&](const char* key, const std::string& value) {
    props += fmt::format("        <prop k=\"{}\" v=\"{}\"/>\n", key, Xml(value));
  };
  const bool point = kind == SymbolKind::kPoint || kind == SymbolKind::kSite;
  if (point) {
    prop("name", kind == SymbolKind::kSite ? "triangle" : "circle");
    prop("color", QgisColour(colour));
    prop("outline_color", "0,0,0,255");
    prop("outline_style", "solid");
    prop("outline_width", "0.2");
    prop("outline_width_unit", "MM");
    prop("size", kind == SymbolKind::kSite ? "4" : "2.4");
    prop("size_unit", "MM");
  } else {
    prop("line_color", QgisColour(colour));
    prop("line_style", "solid");
    prop("line_width", kind == SymbolKind::kLink ? "0.3" : "1.3");
    prop("line_width_unit", "MM");
    prop("capstyle", "round");
    prop("joinstyle", "round");
  }
  return fmt::format(
      "    <symbol type=\"{}\" name=\"{}\" alpha=\"1\" clip_to_extent=\"1\" force_rhr=\"0\">\n"
      "      <layer class=\"{}\" enabled=\"1\" locked=\"0\" pass=\"0\">\n{}      </layer>\n"
      "    </symbol>\n",
      point ? "marker" : "line", Xml(name), point ? "SimpleMarker" : "SimpleLine", props);
}

// The document around a renderer, with labels by `labelField` when not "".
std::string Document(SymbolKind kind, const std::string& renderer, const std::string& labelField) {
  std::string labeling;
  if (!labelField.empty()) {
    labeling = fmt::format(
        "  <labeling type=\"simple\">\n"
        "    <settings calloutType=\"simple\">\n"
        "      <text-style fieldName=\"{}\" isExpression=\"0\" fontSize=\"9\" fontSizeUnit=\"Point\" "
        "textColor=\"0,0,0,255\" textOpacity=\"1\"/>\n"
        "      <text-buffer bufferDraw=\"1\" bufferSize=\"1\" bufferSizeUnits=\"MM\" bufferColor=\"255,255,255,255\"/>\n"
        "      <placement placement=\"0\" dist=\"1.5\" distUnits=\"MM\"/>\n"
        "      <rendering drawLabels=\"1\"/>\n"
        "    </settings>\n"
        "  </labeling>\n",
        Xml(labelField));
  }
  return fmt::format(
      "<!DOCTYPE qgis PUBLIC 'http://mrcc.com/qgis.dtd' 'SYSTEM'>\n"
      "<qgis version=\"3.22.0\" styleCategories=\"Symbology|Labeling\" labelsEnabled=\"{}\">\n"
      "{}{}"
      "  <layerGeometryType>{}</layerGeometryType>\n"
      "</qgis>\n",
      labelField.empty() ? 0 : 1, renderer, labeling,
      kind == SymbolKind::kPoint || kind == SymbolKind::kSite ? 0 : 1);
}

std::string SingleRenderer(SymbolKind kind, const std::string& colour) {
  return "  <renderer-v2 type=\"singleSymbol\" symbollevels=\"0\" forceraster=\"0\" enableorderby=\"0\">\n"
         "   <symbols>\n" +
         Symbol(kind, "0", colour) + "   </symbols>\n  </renderer-v2>\n";
}

using FeaturePtr = std::unique_ptr<OGRFeature, decltype(&OGRFeature::DestroyFeature)>;

std::string GdalError(const std::string& what) {
  std::string message = CPLGetLastErrorMsg();
  std::replace(message.begin(), message.end(), '\n', ' ');
  return message.empty() ? what : what + ": " + message;
}

}  // namespace

std::string GraduatedQml(SymbolKind kind, const std::string& attribute, const KpiBins& bins) {
  if (!bins.thresholds && std::isnan(bins.low)) return Document(kind, SingleRenderer(kind, KpiBins::NoValueColour()), "");
  // QGIS takes a value into the first class whose closed range holds it,
  // while a bin holds its lower edge and not its upper one: each class ends
  // just below the next one's lower edge, so a value on an edge gets the
  // bin's colour. The outer classes are open, as the outer bins are.
  std::string ranges, symbols;
  const int first = bins.single() ? KpiBins::kCount - 1 : 0;
  for (int bin = first; bin < KpiBins::kCount; ++bin) {
    const double lower = bin == first ? std::numeric_limits<double>::lowest() : bins.edges[bin - 1];
    const double upper = bin + 1 < KpiBins::kCount
                             ? std::nextafter(bins.edges[bin], -std::numeric_limits<double>::infinity())
                             : std::numeric_limits<double>::max();
    const std::string name = std::to_string(bin - first);
    ranges += fmt::format("    <range render=\"true\" symbol=\"{}\" lower=\"{}\" upper=\"{}\" label=\"{}\"/>\n", name,
                          Exact(lower), Exact(upper), Xml(bins.Range(bin)));
    symbols += Symbol(kind, name, bins.Colour(bin));
  }
  const std::string renderer = fmt::format(
      "  <renderer-v2 type=\"graduatedSymbol\" attr=\"{}\" graduatedMethod=\"GraduatedColor\" symbollevels=\"0\" "
      "forceraster=\"0\" enableorderby=\"0\">\n"
      "   <ranges>\n{}   </ranges>\n"
      "   <symbols>\n{}   </symbols>\n"
      "   <mode name=\"manual\"/>\n"
      "   <classificationMethod id=\"Manual\"/>\n"
      "  </renderer-v2>\n",
      Xml(attribute), ranges, symbols);
  return Document(kind, renderer, "");
}

std::string CategorizedQml(SymbolKind kind, const std::string& attribute, const std::vector<EventKind>& kinds) {
  std::string categories, symbols;
  size_t rank = 0;
  for (; rank < kinds.size() && rank < kEventColourCount; ++rank) {
    const std::string name = std::to_string(rank);
    categories += fmt::format("    <category render=\"true\" symbol=\"{}\" value=\"{}\" label=\"{}\"/>\n", name,
                              Xml(kinds[rank].name), Xml(fmt::format("{} ({})", kinds[rank].name, kinds[rank].count)));
    symbols += Symbol(kind, name, EventKindColour(rank));
  }
  // QGIS gives a category of empty value every value no other one names.
  if (kinds.size() > kEventColourCount) {
    const std::string name = std::to_string(rank);
    categories += fmt::format("    <category render=\"true\" symbol=\"{}\" value=\"\" label=\"{} other kinds\"/>\n", name,
                              kinds.size() - kEventColourCount);
    symbols += Symbol(kind, name, EventKindColour(kEventColourCount));
  }
  const std::string renderer = fmt::format(
      "  <renderer-v2 type=\"categorizedSymbol\" attr=\"{}\" symbollevels=\"0\" forceraster=\"0\" enableorderby=\"0\">\n"
      "   <categories>\n{}   </categories>\n"
      "   <symbols>\n{}   </symbols>\n"
      "   <source-symbol>\n{}   </source-symbol>\n"
      "  </renderer-v2>\n",
      Xml(attribute), categories, symbols, Symbol(kind, "0", KpiBins::NoValueColour()));
  return Document(kind, renderer, "");
}

std::string SingleSymbolQml(SymbolKind kind, const std::string& colour, const std::string& labelField) {
  return Document(kind, SingleRenderer(kind, colour), labelField);
}

bool WriteQgisStyles(GDALDataset* dataset, const std::vector<LayerStyle>& styles, std::string* error) {
  // The table as QGIS itself creates it through OGR: an attribute table of
  // the GeoPackage, so its readers list it among the file's contents.
  OGRLayer* table = dataset->CreateLayer("layer_styles", nullptr, wkbNone, nullptr);
  if (table == nullptr) {
    *error = GdalError("cannot create the layer styles");
    return false;
  }
  struct Column {
    const char* name;
    OGRFieldType type;
    int width;
  };
  constexpr Column kColumns[] = {
      {"f_table_catalog", OFTString, 256}, {"f_table_schema", OFTString, 256}, {"f_table_name", OFTString, 256},
      {"f_geometry_column", OFTString, 256}, {"styleName", OFTString, 30},     {"styleQML", OFTString, 0},
      {"styleSLD", OFTString, 0},          {"useAsDefault", OFTInteger, 0},   {"description", OFTString, 0},
      {"owner", OFTString, 30},            {"ui", OFTString, 30},             {"update_time", OFTDateTime, 0}};
  for (const Column& column : kColumns) {
    OGRFieldDefn field(column.name, column.type);
    field.SetWidth(column.width);
    if (column.type == OFTInteger) field.SetSubType(OFSTBoolean);
    if (table->CreateField(&field) != OGRERR_NONE) {
      *error = GdalError(std::string("cannot add the style field ") + column.name);
      return false;
    }
  }
  std::tm now{};
  const std::time_t seconds = std::time(nullptr);
  gmtime_r(&seconds, &now);
  for (const LayerStyle& style : styles) {
    FeaturePtr row(OGRFeature::CreateFeature(table->GetLayerDefn()), &OGRFeature::DestroyFeature);
    // QGIS finds a layer's style by empty catalog and schema, the table and
    // its geometry column.
    row->SetField("f_table_catalog", "");
    row->SetField("f_table_schema", "");
    row->SetField("f_table_name", style.layer->GetName());
    row->SetField("f_geometry_column", style.layer->GetGeometryColumn());
    // styleName is at most 30 characters; cut at a character's start.
    std::string name = style.name;
    if (name.size() > 30) {
      size_t cut = 30;
      while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
      name.resize(cut);
    }
    row->SetField("styleName", name.c_str());
    row->SetField("styleQML", style.qml.c_str());
    row->SetField("styleSLD", "");
    row->SetField("useAsDefault", 1);
    row->SetField("description", style.description.c_str());
    row->SetField("owner", "");
    row->SetField("update_time", now.tm_year + 1900, now.tm_mon + 1, now.tm_mday, now.tm_hour, now.tm_min,
                  static_cast<float>(now.tm_sec), 100);
    if (table->CreateFeature(row.get()) != OGRERR_NONE) {
      *error = GdalError("cannot write the layer styles");
      return false;
    }
  }
  return true;
}

}  // namespace wendrake_cli
