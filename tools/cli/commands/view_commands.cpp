#include "commands/view_commands.h"

#include <fmt/format.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "commands/map_feed.h"
#include "commands/map_files.h"
#include "format/ascii_case.h"
#include "format/text_escape.h"
#include "io/log_reader.h"
#include "io/output.h"
#include "map/map_module.h"
#include "report/report_page.h"
#include "view/drive_view.h"

namespace wendrake_cli {
namespace {

constexpr int kExitUsage = 2;

void AddCommon(CLI::App* command, ViewOptions* options) {
  command->add_option("LOG", options->log, "log file to read, or - for standard input")->required();
  command->add_option("-m,--module", options->module,
                      "chip module type: B101, B200, B20A, B20B or BD00 (any case, 0x prefix allowed)")
      ->capture_default_str();
  command->add_option("-o,--output", options->output, "file to write")->option_text("FILE")->required();
  command->add_option("--kpi", options->kpi, "KPI that colours the route (default: Rxagc, else the first one the log has)");
  command->add_option("--bins", options->bins,
                      "the route's five colour bins: thresholds (the KPI's usual bands, the same for every drive;\n"
                      "range for a KPI without), range (equal steps from its lowest to its highest value) or\n"
                      "equal-count (about as many values in each)")
      ->option_text("MODE");
  command->add_option("--thresholds", options->thresholds, "four ascending edges between the bins of --kpi, "
                      "overriding its usual bands (e.g. -105,-95,-85,-75)")
      ->delimiter(',')
      ->expected(4)
      ->allow_extra_args(false)
      ->option_text("A,B,C,D");
}

// The colouring the options ask for, its KPI still to find; false with `error`.
bool ColouringOf(const ViewOptions& options, RouteColouring* colouring, std::string* error) {
  if (!options.bins.empty() && !ParseBinMode(options.bins, &colouring->mode)) {
    *error = "unknown --bins '" + options.bins + "' (expected thresholds, range or equal-count)";
    return false;
  }
  if (options.thresholds.empty()) return true;
  if (colouring->mode != BinMode::kThresholds) {
    *error = "--thresholds needs --bins thresholds";
    return false;
  }
  for (size_t i = 0; i < options.thresholds.size(); ++i) {
    if (!std::isfinite(options.thresholds[i]) || (i > 0 && !(options.thresholds[i] > options.thresholds[i - 1]))) {
      *error = "--thresholds takes four ascending numbers, as in -105,-95,-85,-75";
      return false;
    }
  }
  colouring->edges = options.thresholds;
  return true;
}

// The GDAL driver for a format name ("gpkg", "geojson", "kml", any case) or,
// when `format` is empty, for the extension of `path`; "" when neither says.
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

FileIdentity IdentityOf(const std::string& path) {
  struct stat info {};
  if (path == "-" || stat(path.c_str(), &info) != 0) return {};
  return FileIdentity{true, info.st_dev, info.st_ino};
}

// Says on standard error what the output alone would not show.
void Notice(const std::string& message) { std::fprintf(stderr, "wendrake: %s\n", OneLine(message).c_str()); }

std::string NoKpi(const ViewOptions& options) {
  return "no KPI '" + options.kpi + "' in " + (options.log == "-" ? "standard input" : options.log) +
         " (wendrake params lists the columns)";
}

// The KPIs --attributes names, from the catalogue; false with `error`
// listing the valid names for one it does not know.
bool NamedAttributes(const std::vector<std::string>& names, std::vector<DriveKpi>* kpis, std::string* error) {
  const std::vector<DriveKpi> catalogue = CatalogueKpis();
  for (const std::string& name : names) {
    const int k = KpiIndexOf(catalogue, name);
    if (k < 0) {
      std::string valid;
      for (const DriveKpi& kpi : catalogue) valid += (valid.empty() ? "" : ", ") + kpi.name;
      *error = "unknown attribute '" + name + "' for --attributes (valid: " + valid + ")";
      return false;
    }
    bool repeated = false;
    for (const DriveKpi& kpi : *kpis) repeated = repeated || kpi.id == catalogue[static_cast<size_t>(k)].id;
    if (!repeated) kpis->push_back(catalogue[static_cast<size_t>(k)]);
  }
  return true;
}

// Every KPI the log has, in the catalogue's order: a first pass over the
// log, piece by piece, so that the items layer has all its attributes from
// its first point on; `reader` was opened to skip items. False with `error`.
bool LogKpis(DriveReader* reader, std::vector<DriveKpi>* kpis, std::string* error) {
  while (reader->Next(error)) {
  }
  reader->SkipItems(false);
  if (!error->empty()) return false;
  *kpis = reader->kpis();
  // The tool's own KPIs (the serving cell's distance) after the parameters.
  auto order = [](const DriveKpi& kpi) {
    const int slot = wendrake_param_slot(kpi.id);
    return slot < 0 ? std::numeric_limits<int>::max() : slot;
  };
  std::stable_sort(kpis->begin(), kpis->end(),
                   [&](const DriveKpi& a, const DriveKpi& b) { return order(a) < order(b); });
  return reader->Rewind(error);
}

}  // namespace

CLI::App* AddMapCommand(CLI::App& app, ViewOptions* options) {
  CLI::App* map = app.add_subcommand("map", "write the route, the items and the events as GeoPackage, GeoJSON or KML");
  AddCommon(map, options);
  map->add_option("-f,--format", options->format,
                  "gpkg, geojson or kml (default: by the output's extension; - needs geojson or kml)");
  map->add_flag("--force", options->force, "write --format even when the output's extension names another");
  map->add_option("--attributes", options->attributes,
                  "the KPIs the items carry, named as wendrake params names them (default: every one the log has)")
      ->delimiter(',')
      ->option_text("NAME,...");
  map->add_option("--min-distance", options->minDistance,
                  "thin the items' points: items within METRES of the first of a run become its first and last\n"
                  "point, carrying each KPI's lowest and highest value of the run (events and route unthinned)")
      ->check(CLI::NonNegativeNumber)
      ->option_text("METRES");
  map->footer(
      "Layers: items (a point per item with a position: line, time, record, code, message, event,\n"
      "the fix and every KPI), route (the track as a line; in KML and GeoPackage in pieces by the bin\n"
      "of --kpi, KML's coloured after a legend), events (named points), cells (the cells the network\n"
      "advertised, at their positions, with PN, IDs and neighbour PNs) and serving (a line from each\n"
      "point of the route to its serving cell, with the distance). A GeoPackage holds each layer's\n"
      "default QGIS style (layer_styles) coloured as the legends. GeoJSON holds them in one\n"
      "collection with a \"feature\" attribute (item, route, event, cell or serving).\n"
      "GeoJSON and KML stream: to standard output (-o - with --format), a pipe or a device in place.\n"
      "A GeoPackage needs a regular file. A file is replaced only once it is written whole; through\n"
      "a symbolic link, the file it points to. A log without any item, or without any item with\n"
      "a position, is an error (exit 2) that says why, and nothing is written.");
  return map;
}

CLI::App* AddReportCommand(CLI::App& app, ViewOptions* options) {
  CLI::App* report = app.add_subcommand("report", "write a self-contained HTML page: map, KPIs, events, signalling");
  AddCommon(report, options);
  report->footer(
      "A log without any item is an error (exit 2) that says why, and nothing is written; a log\n"
      "without positions gives a report with an empty map, said on standard error.");
  return report;
}

int RunMap(const ViewOptions& options, int moduleType, std::string* error) {
  const std::string driver = MapDriverFor(options.output, options.format);
  if (driver.empty()) {
    *error = options.format.empty()
                 ? "cannot tell the format of " + options.output + " (use .gpkg, .geojson or .kml, or --format)"
                 : "unknown format '" + options.format + "' (expected gpkg, geojson or kml)";
    return kExitUsage;
  }
  const std::string named = options.output == "-" ? "" : MapDriverFor(options.output, "");
  if (!options.format.empty() && !named.empty() && named != driver && !options.force) {
    *error = "--format " + Lower(options.format) + " but the extension of " + options.output + " says " + Lower(named) +
             "; rename the output or add --force";
    return kExitUsage;
  }
  MapLayout layout;
  if (!ColouringOf(options, &layout.colouring, error)) return kExitUsage;
  if (options.output == "-" && driver == "GPKG") {
    *error = "a GeoPackage is written to a file, not standard output";
    return kExitUsage;
  }
  const FileIdentity input = IdentityOf(options.log);
  if (input.known && IdentityOf(options.output) == input) {
    *error = "output " + options.output + " is the input log; write elsewhere";
    return kExitUsage;
  }
  std::vector<DriveKpi> attributes;
  if (!NamedAttributes(options.attributes, &attributes, error)) return kExitUsage;
  // The map module before the log: without it, decoding would be for nothing.
  MapModule mapModule;
  if (!mapModule.Load(error)) return kExitUsage;
  DriveReader reader;
  std::vector<DriveKpi> logKpis;
  reader.SkipItems(true);  // the first pass
  if (!reader.Open(options.log, moduleType, error) || !LogKpis(&reader, &logKpis, error)) return kExitUsage;
  if (options.attributes.empty()) attributes = logKpis;
  // The KPI colouring the route: --kpi, else Rxagc, else the log's first.
  int colour = options.kpi.empty() ? KpiIndexOf(logKpis, "Rxagc") : KpiIndexOf(logKpis, options.kpi);
  if (colour < 0 && !options.kpi.empty()) {
    *error = NoKpi(options);
    return kExitUsage;
  }
  if (colour < 0 && !logKpis.empty()) colour = 0;
  // The reader keeps the attributes, then the colouring KPI when it is none of them.
  std::vector<DriveKpi> kept = attributes;
  int colourIndex = -1;
  if (colour >= 0) {
    layout.colourKpi = logKpis[static_cast<size_t>(colour)].name;
    colourIndex = KpiIndexOf(kept, layout.colourKpi);
    if (colourIndex < 0) {
      kept.push_back(logKpis[static_cast<size_t>(colour)]);
      colourIndex = static_cast<int>(kept.size() - 1);
    }
  }
  for (const DriveKpi& kpi : attributes) layout.attributes.push_back(kpi.name);
  layout.cells = reader.cells();
  reader.KeepOnly(kept);
  MapFeed feed(&reader, attributes.size(), colourIndex, options.minDistance);
  const bool written = driver == "GPKG"
                           ? WriteGeoPackageFile(mapModule, layout, &feed, options.output, error)
                           : WriteStreamedFile(mapModule, layout, &feed, options.output, input, driver, error);
  return written ? 0 : kExitUsage;
}

int RunReport(const ViewOptions& options, int moduleType, std::string* error) {
#if !WENDRAKE_WITH_REPORT
  (void)options, (void)moduleType;
  *error = "this build has no report page: Leaflet (libjs-leaflet) was not found when it was configured";
  return kExitUsage;
#else
  RouteColouring colouring;
  if (!ColouringOf(options, &colouring, error)) return kExitUsage;
  colouring.kpi = options.kpi;
  DriveReader reader;
  ReportBuilder builder;
  if (!reader.Open(options.log, moduleType, error)) return kExitUsage;
  while (reader.Next(error)) builder.Add(reader);
  if (!error->empty()) return kExitUsage;
  // Serving cells need every cell the log describes: when the network
  // advertised cell positions, a second pass draws them and the distances.
  if (reader.anyCellPositioned()) {
    builder = ReportBuilder();
    if (!reader.Rewind(error)) return kExitUsage;
    while (reader.Next(error)) builder.Add(reader);
    if (!error->empty()) return kExitUsage;
  }
  if (!options.kpi.empty() && KpiIndexOf(reader.kpis(), options.kpi) < 0) {
    *error = NoKpi(options);
    return kExitUsage;
  }
  if (builder.positioned() == 0) {
    Notice("no item of " + reader.name() + " has a position (" +
           fmt::format("{} GPS fixes kept, {} rejected", reader.fixesAccepted(), reader.fixesRejected()) +
           "): the report's map is empty");
  }
  const size_t slash = options.log.rfind('/');
  const std::string title = SafeText(slash == std::string::npos ? options.log : options.log.substr(slash + 1));
  const std::string page = ReportPage(builder.Json(reader, title, colouring));
  Output out;
  if (!out.Open(options.output, IdentityOf(options.log), error)) return kExitUsage;
  out.Write(page);
  return out.Close(error) ? 0 : kExitUsage;
#endif
}

}  // namespace wendrake_cli
