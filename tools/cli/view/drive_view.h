// A decoded drive test as the map and report commands show it: every item
// with its time, position and KPI values, the events, the signalling
// messages by name, and the route. Built from the table library's columns;
// every text taken from the log is valid UTF-8 here (see SafeText).
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "view/drive_cells.h"
#include "wendrake/table.h"

namespace wendrake_cli {

constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();
constexpr int64_t kNoClock = std::numeric_limits<int64_t>::min();

struct DriveItem {
  int64_t line = 0;
  int64_t clockMs = kNoClock;  // the log's clock as UTC milliseconds
  std::string record;          // "DM", "CL3", "EVT", ...
  uint32_t code = 0;
  int direction = 2;           // WENDRAKE_DIRECTION_*
  int logCode = -1;            // CL3 items only
  std::string message;         // CL3: the message name ("" when unknown)
  std::string eventName;       // EVT: the "EventName" column
  double event = kNoValue;     // EVT: the event value
  double latitude = kNoValue, longitude = kNoValue, altitude = kNoValue;
  double speed = kNoValue, heading = kNoValue, satellites = kNoValue, fixAge = kNoValue;
  int evdoState = -1;          // WENDRAKE_EVDO_*, -1 before the first state
  int reportedPn = -1;         // the serving pilot's PN its own line reports (serving_cell.h); -1: none
  int servingCell = -1;        // index into DriveView::cells; -1: none known
  std::vector<double> kpis;    // one per DriveView::kpiNames, NaN where none

  bool positioned() const { return latitude == latitude && longitude == longitude; }
  bool isEvent() const { return record == "EVT"; }
  bool isSignalling() const { return record == "CL3"; }
};

// A "LAB" line: the drive script's label for what follows it.
struct DriveLabel {
  int64_t line = 0;
  int64_t clockMs = kNoClock;
  std::string text;
};

struct DriveView {
  std::vector<std::string> kpiNames;  // parameter columns, in the table's order (the event is DriveItem::event)
  std::vector<std::string> kpiUnits;  // their units ("dBm"), "" where none
  std::vector<DriveItem> items;       // in log order
  std::vector<DriveLabel> labels;     // in log order
  std::vector<DriveCell> cells;       // the cells heard, in the order first heard
  int64_t lines = 0;
  int64_t fixesAccepted = 0, fixesRejected = 0;
  WendrakeEvdoTally evdo{};           // EV-DO state changes and time in each state

  // Index of a KPI by name (exact, then any case), or -1.
  int KpiIndex(std::string_view name) const;
};

// Decodes the log at `path` ("-": standard input) for `moduleType`, with
// the cells it heard and each item's serving cell (serving_cell.h). False
// with a one-line `error` when it cannot be read or yields no item (then
// saying why: compressed, UTF-16, no newline and so on).
bool LoadDriveView(const std::string& path, int moduleType, DriveView* view, std::string* error);

// `bytes` as valid UTF-8 without control characters: a byte outside
// well-formed UTF-8 and a C0 control (tab included) or DEL become U+FFFD, so
// that no output format (XML, JSON, SQLite text) is broken by log text.
std::string SafeText(std::string_view bytes);

// The route: indices of positioned items, consecutive items at the same
// coordinates collapsed into the last of them (they share one fix).
std::vector<size_t> RouteVertices(const DriveView& view);

// Rows for a chart or a drawn route, at most `limit` (at least 2), that
// never hide an extreme: `groups` split `rows` (indices of items) into
// consecutive runs, given by where each ends, such as the items of one fix.
// Each run becomes its first and last row (or its one row), with each KPI's
// smallest and largest value in it there, in the order they came (the one
// value in both when there is one). When that gives more than `limit` rows,
// runs merge evenly into limit / 2 buckets treated the same way.
struct ThinRows {
  std::vector<size_t> items;              // the item giving each row's time, line and position
  std::vector<std::vector<double>> kpis;  // kpis[k][row]: the values of KPI kpiIndices[k]
  bool thinned = false;                   // runs were merged
};
ThinRows ThinKeepingExtremes(const DriveView& view, const std::vector<size_t>& rows,
                             const std::vector<size_t>& groupEnds, const std::vector<size_t>& kpiIndices,
                             size_t limit);

// The positioned items, and where each run of them at the same coordinates
// ends (the runs RouteVertices collapses).
void RouteRuns(const DriveView& view, std::vector<size_t>* rows, std::vector<size_t>* runEnds);

// The channel a layer-3 log code carries ("Paging Channel"), or
// "0xNNNN" when it has no name.
std::string ChannelName(int logCode);

// "2011-10-19T07:42:07.137Z", or "" without a clock.
std::string IsoTime(int64_t clockMs);

}  // namespace wendrake_cli
