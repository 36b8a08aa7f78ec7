// The drive report: one self-contained HTML page that works offline. The
// template, its script and style sheet and Leaflet are built into the tool;
// the drive goes into the page as JSON in a <script type="application/json">
// block, escaped so that no log text can end the block or the page.
//
// Thinning: the route draws a run of positioned items at the same
// coordinates (items between two fixes share the first one's position) as
// one or two vertices, at most kMaxRoutePoints of them; the time series holds
// at most kMaxSeriesPoints rows. Thinned rows keep each KPI's smallest and
// largest value (ThinKeepingExtremes), so the legend, the colours and the
// chart still show every dip and peak.
// The event and signalling tables hold every item and show them in pages.
#pragma once

#include <string>
#include <string_view>

#include "view/drive_view.h"
#include "view/kpi_bins.h"

namespace wendrake_cli {

constexpr size_t kMaxRoutePoints = 5000;
constexpr size_t kMaxSeriesPoints = 5000;

// The drive as the page's JSON (safe inside a script element), coloured by
// KPI colouring.kpi first (-1: the first of the usual radio KPIs the log
// has), every KPI's bins of colouring.mode (colouring.edges for that KPI).
std::string ReportJson(const DriveView& view, const std::string& title, const RouteColouring& colouring);

// The whole page.
std::string ReportPage(const DriveView& view, const std::string& title, const RouteColouring& colouring);

// `json` made safe to place in an HTML script element: "<", ">" and "&"
// become \u003c, \u003e and \u0026, and U+2028 and U+2029 \u2028 and \u2029
// (all only ever occur inside JSON strings, where they mean the same).
std::string ScriptSafeJson(std::string_view json);

// Replaces each "@NAME@" of `page` that `values` names by its value, in one
// pass, so that no value is searched for placeholders in turn.
std::string FillTemplate(std::string_view page, const std::vector<std::pair<std::string, std::string_view>>& values);

}  // namespace wendrake_cli
