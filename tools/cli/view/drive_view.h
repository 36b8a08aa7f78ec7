// A decoded drive test as the map and report commands show it, read piece by
// piece so that their memory stays the same whatever the log's size: every
// item with its time, position and KPI values, the events, the signalling
// messages by name, and the drive script's labels. Built from the table
// library's reader; every text taken from the log is valid UTF-8 here (see
// SafeText).
#pragma once

#include <cstdint>
#include <limits>
#include <map>
#include <memory>
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
  int servingCell = -1;        // index into DriveReader::cells(); -1: none known
  double servingDistance = kNoValue;  // metres to that cell
  std::vector<double> kpis;    // one per DriveReader::kpiNames so far, NaN where none

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

// A parameter the tools show as a KPI.
struct DriveKpi {
  uint32_t id = 0;
  std::string name;  // as the catalogue names it ("Rxagc")
  std::string unit;  // "dBm", "" where none
};

// The log's pieces one after the other. Memory is that of one piece (the
// items of kLinesPerPiece lines), except for standard input, which is read
// whole first so that an input without items can be told apart (gzip,
// UTF-16 and so on).
class DriveReader {
 public:
  static constexpr int64_t kLinesPerPiece = 8192;

  DriveReader();
  ~DriveReader();
  DriveReader(const DriveReader&) = delete;
  DriveReader& operator=(const DriveReader&) = delete;

  // Only these KPIs, in this order, instead of every one the log has in the
  // order they first come; for the pieces read after the call.
  void KeepOnly(std::vector<DriveKpi> kpis);

  // With true, Next() reads each piece for its KPIs, cells and counts
  // only, leaving items() and labels() empty: a first pass that needs
  // nothing else costs less. With false (the default), items again. Called
  // before Open() or Rewind(), which decode no more than it needs.
  void SkipItems(bool skip) { itemsWanted_ = !skip; }

  // Opens the log at `path` ("-": standard input) for `moduleType`. False
  // with a one-line `error` when it cannot be read.
  bool Open(const std::string& path, int moduleType, std::string* error);

  // Starts over at the log's first line, KPIs and cells found so far kept
  // (standard input from the copy kept of it). False with a one-line `error`.
  bool Rewind(std::string* error);

  // The next piece into items() and labels(). False after the last one with
  // `error` empty, or with a one-line `error` when decoding fails or, after
  // the last piece, when the log yielded no item at all (then saying why:
  // compressed, UTF-16, no newline and so on).
  bool Next(std::string* error);

  const std::vector<DriveItem>& items() const { return items_; }
  // Swaps the items out into `into`, whose items the next piece reuses: a
  // caller keeps a piece's items while the next one is read.
  void TakeItems(std::vector<DriveItem>* into) { items_.swap(*into); }
  const std::vector<DriveLabel>& labels() const { return labels_; }
  // The KPIs so far; an item's kpis[k] is KPI k's value. A later piece may
  // add KPIs at the end (unless KeepOnly fixed them), never reorders them.
  const std::vector<DriveKpi>& kpis() const { return kpis_; }

  // Of the pieces so far.
  int64_t lines() const { return lines_; }
  int64_t rows() const { return rows_; }
  int64_t fixesAccepted() const { return fixesAccepted_; }
  int64_t fixesRejected() const { return fixesRejected_; }
  const WendrakeEvdoTally& evdo() const { return evdo_; }

  // The cells the log's overhead messages describe, each neighbour PN linked
  // to a cell: known once a first pass has read the whole log. From then
  // on, each item of a piece has its serving cell (serving_cell.h), and when
  // some cell has a position the KPIs end with the distance to it
  // (kServingDistanceKpi).
  bool cellsKnown() const { return cellsKnown_; }
  const std::vector<DriveCell>& cells() const { return cells_; }
  bool anyCellPositioned() const;
  const std::string& name() const { return name_; }

 private:
  struct Input;
  bool Fill(const WendrakeTable* piece, std::string* error);
  bool CollectCells(const WendrakeTable* piece, std::string* error);
  static bool IsKpiColumn(const WendrakeColumn& column);
  bool OpenReader(std::string* error);
  void KnowCells();
  int KpiOf(uint32_t id, const char* name);

  std::unique_ptr<Input> input_;
  WendrakeTableReader* reader_ = nullptr;
  std::string path_, name_;
  int moduleType_ = 0;
  bool fixed_ = false;
  std::vector<DriveKpi> kpis_;
  std::map<uint32_t, int> kpiIndex_;  // parameter id -> index into kpis_, -1: not shown
  std::vector<DriveItem> items_;
  std::vector<DriveLabel> labels_;
  int64_t lines_ = 0, rows_ = 0, fixesAccepted_ = 0, fixesRejected_ = 0;
  WendrakeEvdoTally evdo_{};
  bool done_ = false;
  bool itemsWanted_ = true;
  std::unique_ptr<CellCollector> collector_;  // during the first pass
  std::vector<DriveCell> cells_;
  bool cellsKnown_ = false;
  int servingPn_ = -1;  // the last PN reported, carried from piece to piece
  struct ServingLookup;
  std::unique_ptr<ServingLookup> lookup_;
};

// Every parameter of the catalogue, as the tools name them, with its unit,
// then the tool's own KPI, the distance to the serving cell.
std::vector<DriveKpi> CatalogueKpis();

// Index in `kpis` of a KPI by name (exact, then any case), or -1.
int KpiIndexOf(const std::vector<DriveKpi>& kpis, std::string_view name);

// `bytes` as valid UTF-8 without control characters: a byte outside
// well-formed UTF-8 and a C0 control (tab included) or DEL become U+FFFD, so
// that no output format (XML, JSON, SQLite text) is broken by log text.
std::string SafeText(std::string_view bytes);

// The channel a layer-3 log code carries ("Paging Channel"), or
// "0xNNNN" when it has no name.
std::string ChannelName(int logCode);

// "2011-10-19T07:42:07.137Z", or "" without a clock.
std::string IsoTime(int64_t clockMs);

}  // namespace wendrake_cli
