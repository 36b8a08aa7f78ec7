#include "view/drive_view.h"

#include <fmt/format.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

#include "format/text_escape.h"
#include "wendrake/table.h"

namespace wendrake_cli {
namespace {

using TablePtr = std::unique_ptr<WendrakeTable, decltype(&wendrake_table_free)>;

bool ReadAll(std::FILE* file, std::string* data) {
  char block[65536];
  size_t got = 0;
  while ((got = std::fread(block, 1, sizeof block, file)) > 0) data->append(block, got);
  return !std::ferror(file);
}

// Opens the table of `path`; "-" reads standard input whole first.
int OpenTable(const std::string& path, int moduleType, WendrakeTable** table) {
  if (path != "-") return wendrake_table_from_file(path.c_str(), moduleType, 0, table);
  std::string data;
  if (!ReadAll(stdin, &data)) return WENDRAKE_ERROR_READ;
  return wendrake_table_from_buffer(data.data(), data.size(), moduleType, 0, table);
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
  const int status = OpenTable(path, moduleType, &raw);
  TablePtr table(raw, &wendrake_table_free);
  if (status != WENDRAKE_OK) {
    const std::string name = path == "-" ? "standard input" : path;
    *error = "cannot read " + name + ": " + wendrake_error_message(status);
    if (status == WENDRAKE_ERROR_OPEN || status == WENDRAKE_ERROR_READ) *error += std::string(" (") + std::strerror(errno) + ")";
    return false;
  }
  const int64_t rows = wendrake_table_rows(table.get());
  view->items.assign(static_cast<size_t>(rows), DriveItem{});
  view->kpiNames.clear();
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
  for (int index = 0; index < wendrake_table_column_count(table.get()); ++index) {
    WendrakeColumn column{};
    if (wendrake_table_column(table.get(), index, &column) != WENDRAKE_OK) continue;
    if (column.paramId == 0) {
      Fill(column, &view->items);
      continue;
    }
    view->kpiNames.push_back(SafeText(column.name));
    for (int64_t row = 0; row < rows; ++row) view->items[static_cast<size_t>(row)].kpis.push_back(Float(column, row));
  }
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

std::vector<size_t> Thin(const std::vector<size_t>& indices, size_t limit) {
  if (limit < 2) limit = 2;
  if (indices.size() <= limit) return indices;
  // limit - 1 steps span the indices, so the last fits in as well.
  const size_t step = (indices.size() + limit - 2) / (limit - 1);
  std::vector<size_t> kept;
  for (size_t i = 0; i < indices.size(); i += step) kept.push_back(indices[i]);
  if (kept.back() != indices.back()) kept.push_back(indices.back());
  return kept;
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
