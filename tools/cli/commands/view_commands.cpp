#include "commands/view_commands.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "format/ascii_case.h"
#include "io/log_reader.h"
#include "io/output.h"
#include "io/signal_cleanup.h"
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

// A temporary file name beside `path` ending in the same extension, so that
// drivers which go by the extension write the same format; the file is
// created (reserving the name) and removed again for the driver to create.
bool ReserveTemporary(const std::string& path, std::string* temporary, std::string* error) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = base.rfind('.');
  const std::string extension = dot == std::string::npos ? "" : base.substr(dot);
  std::string pattern = folder + "/." + base + ".XXXXXX" + extension;
  const int fd = mkstemps(pattern.data(), static_cast<int>(extension.size()));
  if (fd < 0) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  close(fd);
  unlink(pattern.c_str());
  *temporary = pattern;
  return true;
}

// The file a write to `path` replaces: through a symbolic link, the file it points to.
std::string FinalName(const std::string& path) {
  std::unique_ptr<char, decltype(&free)> resolved(realpath(path.c_str(), nullptr), &free);
  struct stat link {};
  if (lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode) && resolved != nullptr) return resolved.get();
  return path;
}

}  // namespace

CLI::App* AddMapCommand(CLI::App& app, ViewOptions* options) {
  CLI::App* map = app.add_subcommand("map", "write the route, the items and the events as GeoPackage, GeoJSON or KML");
  AddCommon(map, options);
  map->add_option("-f,--format", options->format, "gpkg, geojson or kml (default: by the output's extension)");
  map->footer(
      "Layers: items (a point per item with a position: line, time, record, code, message, event,\n"
      "the fix and every KPI), route (the track as a line; in KML coloured by --kpi in five bins,\n"
      "the legend in the layer's description) and events (named points). GeoJSON holds them in one\n"
      "collection with a \"feature\" attribute (item, route or event).");
  return map;
}

CLI::App* AddReportCommand(CLI::App& app, ViewOptions* options) {
  CLI::App* report = app.add_subcommand("report", "write a self-contained HTML page: map, KPIs, events, signalling");
  AddCommon(report, options);
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
  if (options.output == "-") {
    *error = "map writes a file, not standard output";
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
  int kpi = -1;
  if (int status = Load(options, moduleType, &view, &kpi, error)) return status;
  const std::string final = FinalName(options.output);
  std::string temporary;
  if (!ReserveTemporary(final, &temporary, error)) return kExitUsage;
  SetSignalCleanupFile(temporary.c_str());
  bool ok = mapModule.Write(view, temporary, driver, kpi, error);
  if (ok && rename(temporary.c_str(), final.c_str()) != 0) {
    *error = "cannot write " + options.output + ": " + std::strerror(errno);
    ok = false;
  }
  if (!ok) unlink(temporary.c_str());
  SetSignalCleanupFile(nullptr);
  return ok ? 0 : kExitUsage;
}

int RunReport(const ViewOptions& options, int moduleType, std::string* error) {
#if !WENDRAKE_WITH_REPORT
  (void)options, (void)moduleType;
  *error = "this build has no report page: Leaflet (libjs-leaflet) was not found when it was configured";
  return kExitUsage;
#else
  DriveView view;
  int kpi = -1;
  if (int status = Load(options, moduleType, &view, &kpi, error)) return status;
  Output out;
  if (!out.Open(options.output, IdentityOf(options.log), error)) return kExitUsage;
  const size_t slash = options.log.rfind('/');
  const std::string title = SafeText(slash == std::string::npos ? options.log : options.log.substr(slash + 1));
  out.Write(ReportPage(view, title, kpi));
  return out.Close(error) ? 0 : kExitUsage;
#endif
}

}  // namespace wendrake_cli
