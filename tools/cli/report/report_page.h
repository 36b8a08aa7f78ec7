// The drive report: one self-contained HTML page that works offline. The
// template, its script and style sheet and Leaflet are built into the tool;
// the drive goes into the page as JSON in a <script type="application/json">
// block, escaped so that no log text can end the block or the page.
//
// The page has a bounded size whatever the log's: the drive is read piece
// by piece into a ReportBuilder, which keeps only what the page shows.
// Thinning: the route draws a run of positioned items at the same
// coordinates (items between two fixes share the first one's position) as
// one or two vertices, at most kMaxRoutePoints of them; the time series holds
// at most kMaxSeriesPoints rows. Thinned rows keep each KPI's smallest and
// largest value (ExtremeThinner), so the legend, the colours and the chart
// still show every dip and peak; the legends' bins come from every value.
// The event and signalling tables hold the first kMaxEvents and
// kMaxSignalling of them, and the page says how many there were in all.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "view/drive_view.h"
#include "view/event_kinds.h"
#include "view/extreme_thinner.h"
#include "view/kpi_bins.h"

namespace wendrake_cli {

constexpr size_t kMaxRoutePoints = 5000;
constexpr size_t kMaxSeriesPoints = 5000;
constexpr size_t kMaxEvents = 10000;
constexpr size_t kMaxSignalling = 50000;
constexpr size_t kMaxLabels = 5000;

class ReportBuilder {
 public:
  ReportBuilder();

  // Takes in the reader's current piece.
  void Add(const DriveReader& reader);

  // The drive as the page's JSON (safe inside a script element), coloured by
  // KPI colouring.kpi first ("": the first of the usual radio KPIs the log
  // has), every KPI's bins of colouring.mode (colouring.edges for that KPI).
  // The KPIs are the reader's, those with a value shown.
  std::string Json(const DriveReader& reader, const std::string& title, const RouteColouring& colouring) const;

  int64_t positioned() const { return positioned_; }

 private:
  struct Event {
    int64_t clockMs, line;
    double latitude, longitude;
    std::string name;
  };
  struct Message {
    int64_t clockMs, line;
    int direction;
    std::string channel, message;
  };

  ExtremeThinner route_, series_;
  std::vector<ValueSketch> routeValues_;  // per KPI, its values along the route
  std::vector<bool> hasValue_;            // per KPI
  bool lastPositioned_ = false;
  double lastLatitude_ = 0, lastLongitude_ = 0;
  int64_t positioned_ = 0, earliest_ = kNoClock, latest_ = kNoClock;
  std::vector<Event> events_;
  std::vector<Message> signalling_;
  std::vector<DriveLabel> labels_;
  int64_t eventCount_ = 0, signallingCount_ = 0, labelCount_ = 0;
  std::map<std::string, size_t> eventKinds_;  // every event's kind and how often it came
};

// The whole page around the JSON of ReportBuilder::Json.
std::string ReportPage(std::string_view json);

// `json` made safe to place in an HTML script element: "<", ">" and "&"
// become \u003c, \u003e and \u0026, and U+2028 and U+2029 \u2028 and \u2029
// (all only ever occur inside JSON strings, where they mean the same).
std::string ScriptSafeJson(std::string_view json);

// Replaces each "@NAME@" of `page` that `values` names by its value, in one
// pass, so that no value is searched for placeholders in turn.
std::string FillTemplate(std::string_view page, const std::vector<std::pair<std::string, std::string_view>>& values);

}  // namespace wendrake_cli
