#include "commands/view_commands.h"

#include <fmt/format.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>

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

// Loads the log and finds the KPI; 0, or the exit status with `error`.
int Load(const ViewOptions& options, int moduleType, DriveView* view, int* kpi, std::string* error) {
  if (!LoadDriveView(options.log, moduleType, view, error)) return kExitUsage;
  *kpi = -1;
  if (!options.kpi.empty()) {
    *kpi = view->KpiIndex(options.kpi);
    if (*kpi < 0) {
      *error = "no KPI '" + options.kpi + "' in " + options.log + " (wendrake params lists the columns)";
      return kExitUsage;
    }
  } else {
    *kpi = view->KpiIndex("Rxagc");
    if (*kpi < 0 && !view->kpiNames.empty()) *kpi = 0;
  }
  return 0;
}

// Says on standard error what the output alone would not show.
void Notice(const std::string& message) { std::fprintf(stderr, "wendrake: %s\n", OneLine(message).c_str()); }

// The drive's fixes in a few words, for the notices about positions.
std::string FixesOf(const DriveView& view) {
  return fmt::format("{} GPS fixes kept, {} rejected", view.fixesAccepted, view.fixesRejected);
}

bool AnyPositioned(const DriveView& view) {
  for (const DriveItem& item : view.items) {
    if (item.positioned()) return true;
  }
  return false;
}

}  // namespace

CLI::App* AddMapCommand(CLI::App& app, ViewOptions* options) {
  CLI::App* map = app.add_subcommand("map", "write the route, the items and the events as GeoPackage, GeoJSON or KML");
  AddCommon(map, options);
  map->add_option("-f,--format", options->format,
                  "gpkg, geojson or kml (default: by the output's extension; - needs geojson or kml)");
  map->add_flag("--force", options->force, "write --format even when the output's extension names another");
  map->footer(
      "Layers: items (a point per item with a position: line, time, record, code, message, event,\n"
      "the fix and every KPI), route (the track as a line; in KML and GeoPackage in pieces by the bin\n"
      "of --kpi, KML's coloured after a legend) and events (named points). A GeoPackage holds each\n"
      "layer's default QGIS style (layer_styles) coloured as the legends. GeoJSON holds them in one\n"
      "collection with a \"feature\" attribute (item, route or event).\n"
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
  RouteColouring colouring;
  if (!ColouringOf(options, &colouring, error)) return kExitUsage;
  if (options.output == "-" && driver == "GPKG") {
    *error = "a GeoPackage is written to a file, not standard output";
    return kExitUsage;
  }
  const FileIdentity input = IdentityOf(options.log);
  if (input.known && IdentityOf(options.output) == input) {
    *error = "output " + options.output + " is the input log; write elsewhere";
    return kExitUsage;
  }
  // The map module before the log: without it, decoding would be for nothing.
  MapModule mapModule;
  if (!mapModule.Load(error)) return kExitUsage;
  DriveView view;
  if (int status = Load(options, moduleType, &view, &colouring.kpi, error)) return status;
  if (!AnyPositioned(view)) {
    const std::string name = options.log == "-" ? "standard input" : options.log;
    *error = "nothing to map: no item of " + name + " has a position (" + FixesOf(view) + ")";
    return kExitUsage;
  }
  const bool written = driver == "GPKG"
                           ? WriteGeoPackageFile(mapModule, view, options.output, colouring, error)
                           : WriteStreamedFile(mapModule, view, options.output, IdentityOf(options.log), driver,
                                               colouring, error);
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
  DriveView view;
  if (int status = Load(options, moduleType, &view, &colouring.kpi, error)) return status;
  if (!AnyPositioned(view)) {
    const std::string name = options.log == "-" ? "standard input" : options.log;
    Notice("no item of " + name + " has a position (" + FixesOf(view) + "): the report's map is empty");
  }
  Output out;
  if (!out.Open(options.output, IdentityOf(options.log), error)) return kExitUsage;
  const size_t slash = options.log.rfind('/');
  const std::string title = SafeText(slash == std::string::npos ? options.log : options.log.substr(slash + 1));
  out.Write(ReportPage(view, title, colouring));
  return out.Close(error) ? 0 : kExitUsage;
#endif
}

}  // namespace wendrake_cli
