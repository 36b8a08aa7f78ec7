#include "view/drive_view.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

#include "format/text_escape.h"
#include "io/empty_input.h"
#include "io/log_bytes.h"
#include "io/log_reader.h"
#include "view/serving_cell.h"
#include "wendrake/table.h"
#include "wendrake/wendrake.h"

namespace wendrake_cli {
namespace {

using TablePtr = std::unique_ptr<WendrakeTable, decltype(&wendrake_table_free)>;

// The record fields give the PNs the handset reports; the messages, the cells.
constexpr unsigned kTableFlags = WENDRAKE_TABLE_RECORD_FIELDS | WENDRAKE_TABLE_MESSAGES;

// Opens the table of `path`; "-" reads standard input whole first, into
// `input`, which keeps it for WhyNoItems.
int OpenTable(const std::string& path, int moduleType, LogBytes* input, WendrakeTable** table) {
  if (path != "-") return wendrake_table_from_file(path.c_str(), moduleType, kTableFlags, table);
  LogReader reader;
  std::string ignored;
  if (!reader.Open(path, false, &ignored) || !input->Load(reader, &ignored)) return WENDRAKE_ERROR_READ;
  return wendrake_table_from_buffer(input->bytes().data(), input->bytes().size(), moduleType, kTableFlags, table);
}

// Why a log yielded no item, as the stats command says it.
std::string WhyEmpty(const std::string& path, const std::string& name, LogBytes* input, int64_t lines) {
  if (path != "-") {
    LogReader reader;
    std::string error;
    if (!reader.Open(path, false, &error) || !input->Load(reader, &error)) return error;
  }
  const std::string why = WhyNoItems(input->Profile(), static_cast<uint64_t>(lines));
  return "no report item in " + name + ": " + (why.empty() ? "it is empty" : why);
}

std::string Category(const WendrakeColumn& column, int64_t row) {
  const int32_t code = static_cast<const int32_t*>(column.data)[row];
  if (code < 0 || code >= column.categoryCount) return "";
  return SafeText(column.categories[code]);
}

double Float(const WendrakeColumn& column, int64_t row) { return static_cast<const double*>(column.data)[row]; }

template <typename T>
T Value(const WendrakeColumn& column, int64_t row) {
  return static_cast<const T*>(column.data)[row];
}

// Copies one of the table's fixed columns into the items.
void Fill(const WendrakeColumn& column, std::vector<DriveItem>* items) {
  const std::string_view name = column.name;
  for (int64_t row = 0; row < column.length; ++row) {
    DriveItem& item = (*items)[static_cast<size_t>(row)];
    if (name == "line") item.line = Value<int64_t>(column, row);
    else if (name == "record") item.record = Category(column, row);
    else if (name == "code") item.code = Value<uint32_t>(column, row);
    else if (name == "direction") item.direction = Value<int16_t>(column, row);
    else if (name == "clock_ms") item.clockMs = Value<int64_t>(column, row);
    else if (name == "log_code") item.logCode = Value<int32_t>(column, row);
    else if (name == "event") item.event = Float(column, row);
    else if (name == "event_name") item.eventName = Category(column, row);
    else if (name == "message") item.message = Category(column, row);
    else if (name == "latitude") item.latitude = Float(column, row);
    else if (name == "longitude") item.longitude = Float(column, row);
    else if (name == "altitude") item.altitude = Float(column, row);
    else if (name == "speed") item.speed = Float(column, row);
    else if (name == "heading") item.heading = Float(column, row);
    else if (name == "satellites") item.satellites = Float(column, row);
    else if (name == "fix_age") item.fixAge = Float(column, row);
    else if (name == "evdo_state") item.evdoState = Value<int32_t>(column, row);
  }
}

bool IsActive(std::string_view text) {
  constexpr std::string_view kActive = "active";
  if (text.size() != kActive.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != kActive[i]) return false;
  }
  return true;
}

// A PN as a record field holds it: a whole number 0..511 (the PN offsets of
// a CDMA system), else -1.
int PnAt(const WendrakeColumn& column, int64_t row) {
  if (column.type != WENDRAKE_COLUMN_FLOAT64) return -1;
  const double value = Float(column, row);
  return value >= 0 && value <= 511 && value == std::floor(value) ? static_cast<int>(value) : -1;
}

// The serving PN each item's own line reports, from the record fields that
// kServingPnSources names.
void FillReportedPns(const std::vector<WendrakeColumn>& fields, std::vector<DriveItem>* items) {
  auto find = [&](const char* name) -> const WendrakeColumn* {
    if (name == nullptr) return nullptr;
    for (const WendrakeColumn& column : fields) {
      if (std::string_view(column.name) == name) return &column;
    }
    return nullptr;
  };
  for (const ServingPnSource& source : kServingPnSources) {
    const WendrakeColumn* pn = find(source.pnColumn);
    const WendrakeColumn* setType = find(source.setTypeColumn);
    if (pn == nullptr || (source.setTypeColumn != nullptr && setType == nullptr)) continue;
    for (int64_t row = 0; row < pn->length; ++row) {
      DriveItem& item = (*items)[static_cast<size_t>(row)];
      if (item.record != source.record) continue;
      if (setType != nullptr && !(setType->type == WENDRAKE_COLUMN_CATEGORY && IsActive(Category(*setType, row)))) continue;
      const int value = PnAt(*pn, row);
      if (value >= 0) item.reportedPn = value;
    }
  }
}

}  // namespace

int DriveView::KpiIndex(std::string_view name) const {
  for (size_t i = 0; i < kpiNames.size(); ++i) {
    if (kpiNames[i] == name) return static_cast<int>(i);
  }
  for (size_t i = 0; i < kpiNames.size(); ++i) {
    const std::string& kpi = kpiNames[i];
    bool same = kpi.size() == name.size();
    for (size_t c = 0; same && c < kpi.size(); ++c) {
      same = std::tolower(static_cast<unsigned char>(kpi[c])) == std::tolower(static_cast<unsigned char>(name[c]));
    }
    if (same) return static_cast<int>(i);
  }
  return -1;
}

bool LoadDriveView(const std::string& path, int moduleType, DriveView* view, std::string* error) {
  WendrakeTable* raw = nullptr;
  LogBytes input;
  const int status = OpenTable(path, moduleType, &input, &raw);
  TablePtr table(raw, &wendrake_table_free);
  const std::string name = path == "-" ? "standard input" : path;
  if (status != WENDRAKE_OK) {
    *error = "cannot read " + name + ": " + wendrake_error_message(status);
    if (status == WENDRAKE_ERROR_OPEN || status == WENDRAKE_ERROR_READ) *error += std::string(" (") + std::strerror(errno) + ")";
    return false;
  }
  const int64_t rows = wendrake_table_rows(table.get());
  if (rows == 0) {
    *error = WhyEmpty(path, name, &input, wendrake_table_lines(table.get()));
    return false;
  }
  view->items.assign(static_cast<size_t>(rows), DriveItem{});
  view->kpiNames.clear();
  view->kpiUnits.clear();
  wendrake_evdo_tally_start(&view->evdo);
  wendrake_evdo_tally_add(&view->evdo, table.get());
  view->lines = wendrake_table_lines(table.get());
  wendrake_table_fixes(table.get(), &view->fixesAccepted, &view->fixesRejected);
  view->labels.clear();
  WendrakeNotes notes{};
  if (wendrake_table_notes(table.get(), &notes) == WENDRAKE_OK) {
    for (int64_t i = 0; i < notes.count; ++i) {
      if (notes.kinds[i] != WENDRAKE_NOTE_LABEL || notes.texts[i] < 0) continue;
      view->labels.push_back(DriveLabel{notes.lines[i], notes.clockMs[i], SafeText(notes.names[notes.texts[i]])});
    }
  }
  std::vector<WendrakeColumn> recordFields;
  for (int index = 0; index < wendrake_table_column_count(table.get()); ++index) {
    WendrakeColumn column{};
    if (wendrake_table_column(table.get(), index, &column) != WENDRAKE_OK) continue;
    if (column.paramId == 0 && std::strchr(column.name, '.') != nullptr) {
      recordFields.push_back(column);
      continue;
    }
    if (column.paramId == 0) {
      Fill(column, &view->items);
      continue;
    }
    // The event parameter is the items' `event` already; as a KPI it would
    // be written twice, under a second name.
    if (column.paramId == WENDRAKE_PARAM_EVENT) continue;
    view->kpiNames.push_back(SafeText(column.name));
    WendrakeParamInfo info{};
    const int slot = wendrake_param_slot(column.paramId);
    view->kpiUnits.push_back(slot >= 0 && wendrake_param_info(slot, &info) == 0 && info.unit != nullptr ? info.unit : "");
    for (int64_t row = 0; row < rows; ++row) view->items[static_cast<size_t>(row)].kpis.push_back(Float(column, row));
  }
  FillReportedPns(recordFields, &view->items);
  CellCollector cells;
  if (!cells.Add(table.get())) {
    *error = "cannot collect the cells of " + name + ": out of memory";
    return false;
  }
  view->cells = cells.Cells();
  AssignServingCells(view);
  return true;
}

std::string SafeText(std::string_view bytes) {
  static constexpr char kReplacement[] = "\xEF\xBF\xBD";
  std::string out;
  out.reserve(bytes.size());
  while (!bytes.empty()) {
    const unsigned char first = static_cast<unsigned char>(bytes[0]);
    const size_t length = Utf8SequenceLength(bytes);
    if (length == 0 || first < 0x20 || first == 0x7F) {
      out += kReplacement;
      bytes.remove_prefix(1);
    } else {
      out.append(bytes.substr(0, length));
      bytes.remove_prefix(length);
    }
  }
  return out;
}

std::vector<size_t> RouteVertices(const DriveView& view) {
  std::vector<size_t> vertices;
  for (size_t i = 0; i < view.items.size(); ++i) {
    const DriveItem& item = view.items[i];
    if (!item.positioned()) continue;
    if (!vertices.empty()) {
      const DriveItem& last = view.items[vertices.back()];
      if (last.latitude == item.latitude && last.longitude == item.longitude) {
        vertices.back() = i;
        continue;
      }
    }
    vertices.push_back(i);
  }
  return vertices;
}

void RouteRuns(const DriveView& view, std::vector<size_t>* rows, std::vector<size_t>* runEnds) {
  rows->clear();
  runEnds->clear();
  for (size_t i = 0; i < view.items.size(); ++i) {
    const DriveItem& item = view.items[i];
    if (!item.positioned()) continue;
    if (!rows->empty()) {
      const DriveItem& last = view.items[rows->back()];
      if (last.latitude != item.latitude || last.longitude != item.longitude) runEnds->push_back(rows->size());
    }
    rows->push_back(i);
  }
  if (!rows->empty()) runEnds->push_back(rows->size());
}

ThinRows ThinKeepingExtremes(const DriveView& view, const std::vector<size_t>& rows,
                             const std::vector<size_t>& groupEnds, const std::vector<size_t>& kpiIndices,
                             size_t limit) {
  limit = std::max<size_t>(limit, 2);
  // Where each bucket ends in `rows`: the runs themselves when they fit.
  std::vector<size_t> ends;
  size_t needed = 0, begin = 0;
  for (size_t end : groupEnds) needed += std::min<size_t>(end - begin, 2), begin = end;
  ThinRows thin;
  if (needed <= limit) {
    ends = groupEnds;
  } else {
    thin.thinned = true;
    const size_t buckets = limit / 2, groups = groupEnds.size();
    for (size_t b = 1; b <= buckets; ++b) {
      const size_t last = groups * b / buckets;
      if (last > 0 && (ends.empty() || groupEnds[last - 1] != ends.back())) ends.push_back(groupEnds[last - 1]);
    }
  }
  thin.kpis.assign(kpiIndices.size(), {});
  begin = 0;
  for (size_t end : ends) {
    const bool single = end - begin == 1;
    thin.items.push_back(rows[begin]);
    if (!single) thin.items.push_back(rows[end - 1]);
    for (size_t k = 0; k < kpiIndices.size(); ++k) {
      size_t low = end, high = end;  // positions in `rows` of the extremes
      for (size_t r = begin; r < end; ++r) {
        const double value = view.items[rows[r]].kpis[kpiIndices[k]];
        if (std::isnan(value)) continue;
        if (low == end || value < view.items[rows[low]].kpis[kpiIndices[k]]) low = r;
        if (high == end || value > view.items[rows[high]].kpis[kpiIndices[k]]) high = r;
      }
      std::vector<double>& out = thin.kpis[k];
      if (low == end) {
        out.insert(out.end(), single ? 1 : 2, kNoValue);
        continue;
      }
      const double lowValue = view.items[rows[low]].kpis[kpiIndices[k]];
      const double highValue = view.items[rows[high]].kpis[kpiIndices[k]];
      if (single) {
        out.push_back(lowValue);
      } else {
        out.push_back(low <= high ? lowValue : highValue);
        out.push_back(low <= high ? highValue : lowValue);
      }
    }
    begin = end;
  }
  return thin;
}

std::string ChannelName(int logCode) {
  const char* name = logCode >= 0 && logCode <= 0xFFFF ? wendrake_channel_name(static_cast<uint16_t>(logCode)) : nullptr;
  return name != nullptr ? std::string(name) : fmt::format("0x{:04X}", logCode < 0 ? 0 : logCode);
}

std::string IsoTime(int64_t clockMs) {
  if (clockMs == kNoClock) return "";
  const int64_t seconds = clockMs >= 0 ? clockMs / 1000 : (clockMs - 999) / 1000;
  const std::time_t when = static_cast<std::time_t>(seconds);
  std::tm utc{};
  if (gmtime_r(&when, &utc) == nullptr) return "";
  return fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}.{:03}Z", utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday,
                     utc.tm_hour, utc.tm_min, utc.tm_sec, clockMs - seconds * 1000);
}

}  // namespace wendrake_cli
