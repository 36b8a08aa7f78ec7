// The "map" and "report" subcommands: geodata files (written by the map
// module, map_module.h) and the report page of a drive (report_page.h).
#pragma once

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace wendrake_cli {

struct ViewOptions {
  std::string log;
  std::string module = "B101";
  std::string output;
  std::string format;  // map: gpkg, geojson or kml; empty: by the output's extension
  std::string kpi;     // the KPI that colours the route; empty: the usual first
  bool force = false;  // map: --format wins over a disagreeing extension
  std::string bins;    // thresholds, range or equal-count; empty: thresholds
  std::vector<double> thresholds;  // four edges overriding the KPI's thresholds
  std::vector<std::string> attributes;  // map: the KPIs written; empty: every one the log has
  double minDistance = 0;               // map: metres that thin the items' points; 0: none
};

CLI::App* AddMapCommand(CLI::App& app, ViewOptions* options);
CLI::App* AddReportCommand(CLI::App& app, ViewOptions* options);

// Run a command for the log's module type; 0, or 2 with a one-line `error`.
int RunMap(const ViewOptions& options, int moduleType, std::string* error);
int RunReport(const ViewOptions& options, int moduleType, std::string* error);

}  // namespace wendrake_cli
