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
  std::vector<std::string> kpiNames;  // parameter columns, in the table's order
  std::vector<DriveItem> items;       // in log order
  std::vector<DriveLabel> labels;     // in log order
  int64_t lines = 0;
  int64_t fixesAccepted = 0, fixesRejected = 0;

  // Index of a KPI by name (exact, then any case), or -1.
  int KpiIndex(std::string_view name) const;
};

// Decodes the log at `path` ("-": standard input) for `moduleType`. False
// with a one-line `error` when it cannot be read.
bool LoadDriveView(const std::string& path, int moduleType, DriveView* view, std::string* error);

// `bytes` as valid UTF-8 without control characters: a byte outside
// well-formed UTF-8 and a C0 control (tab included) or DEL become U+FFFD, so
// that no output format (XML, JSON, SQLite text) is broken by log text.
std::string SafeText(std::string_view bytes);

// The route: indices of positioned items, consecutive items at the same
// coordinates collapsed into the last of them (they share one fix).
std::vector<size_t> RouteVertices(const DriveView& view);

// Keeps at most `limit` (at least 2) of the n `indices`, in order: every
// k-th one from the first, k = ceil((n - 1) / (limit - 1)), and the last.
std::vector<size_t> Thin(const std::vector<size_t>& indices, size_t limit);

// The channel a layer-3 log code carries ("Paging Channel"), or
// "0xNNNN" when it has no name.
std::string ChannelName(int logCode);

// "2011-10-19T07:42:07.137Z", or "" without a clock.
std::string IsoTime(int64_t clockMs);

}  // namespace wendrake_cli
