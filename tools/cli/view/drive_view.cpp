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

// Why a log yielded no item, as the stats command says it. A file is read
// again for it; standard input was kept.
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
void FillFixed(const WendrakeColumn& column, std::vector<DriveItem>* items) {
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

struct DriveReader::ServingLookup {
  explicit ServingLookup(const std::vector<DriveCell>& cells) : tracker(cells) {}
  ServingCellTracker tracker;
};

struct DriveReader::Input {
  LogBytes bytes;  // standard input, read whole
};

DriveReader::DriveReader() : input_(std::make_unique<Input>()), collector_(std::make_unique<CellCollector>()) {
  wendrake_evdo_tally_start(&evdo_);
}

bool DriveReader::anyCellPositioned() const {
  return std::any_of(cells_.begin(), cells_.end(), [](const DriveCell& cell) { return cell.positioned(); });
}

DriveReader::~DriveReader() { wendrake_table_reader_free(reader_); }

void DriveReader::KeepOnly(std::vector<DriveKpi> kpis) {
  fixed_ = true;
  kpis_ = std::move(kpis);
  kpiIndex_.clear();  // KPIs found before (a first pass) are no longer kept
  for (size_t k = 0; k < kpis_.size(); ++k) kpiIndex_[kpis_[k].id] = static_cast<int>(k);
}

bool DriveReader::Open(const std::string& path, int moduleType, std::string* error) {
  path_ = path;
  name_ = path == "-" ? "standard input" : path;
  moduleType_ = moduleType;
  if (path == "-") {
    LogReader reader;
    if (!reader.Open(path, false, error) || !input_->bytes.Load(reader, error)) return false;
  }
  return OpenReader(error);
}

bool DriveReader::OpenReader(std::string* error) {
  // The tool works on each piece while the library decodes the next; the
  // record fields give the items the PNs the handset reports, the messages
  // the cells, until they are known. Each costs decoding time.
  unsigned flags = WENDRAKE_TABLE_READ_AHEAD;
  if (itemsWanted_) flags |= WENDRAKE_TABLE_RECORD_FIELDS;
  if (!cellsKnown_) flags |= WENDRAKE_TABLE_MESSAGES;
  int status = WENDRAKE_OK;
  if (path_ != "-") {
    status = wendrake_table_reader_open(path_.c_str(), moduleType_, flags, kLinesPerPiece, &reader_);
  } else {
    const std::string_view bytes = input_->bytes.bytes();
    status = wendrake_table_reader_from_buffer(bytes.data(), bytes.size(), moduleType_, flags, kLinesPerPiece,
                                               &reader_);
  }
  if (status != WENDRAKE_OK) {
    *error = "cannot read " + name_ + ": " + wendrake_error_message(status);
    if (status == WENDRAKE_ERROR_OPEN || status == WENDRAKE_ERROR_READ) *error += std::string(" (") + std::strerror(errno) + ")";
    return false;
  }
  return true;
}

bool DriveReader::Rewind(std::string* error) {
  wendrake_table_reader_free(reader_);
  reader_ = nullptr;
  items_.clear();
  labels_.clear();
  lines_ = rows_ = fixesAccepted_ = fixesRejected_ = 0;
  wendrake_evdo_tally_start(&evdo_);
  done_ = false;
  servingPn_ = -1;
  return OpenReader(error);
}

bool DriveReader::Next(std::string* error) {
  error->clear();
  items_.clear();
  labels_.clear();
  if (reader_ == nullptr || done_) return false;
  const WendrakeTable* piece = nullptr;
  const int status = wendrake_table_reader_next(reader_, &piece);
  if (status != WENDRAKE_OK) {
    *error = "cannot read " + name_ + ": " + wendrake_error_message(status);
    if (status == WENDRAKE_ERROR_READ) *error += std::string(" (") + std::strerror(errno) + ")";
    return false;
  }
  if (piece == nullptr) {
    done_ = true;
    if (rows_ == 0) *error = WhyEmpty(path_, name_, &input_->bytes, lines_);
    if (!cellsKnown_) KnowCells();
    return false;
  }
  return Fill(piece, error);
}

// A parameter's column of numbers. The event parameter is the items'
// `event` already; as a KPI it would be written twice, under a second name.
bool DriveReader::IsKpiColumn(const WendrakeColumn& column) {
  return column.paramId != 0 && column.paramId != WENDRAKE_PARAM_EVENT && column.type == WENDRAKE_COLUMN_FLOAT64;
}

int DriveReader::KpiOf(uint32_t id, const char* name) {
  const auto found = kpiIndex_.find(id);
  if (found != kpiIndex_.end()) return found->second;
  if (fixed_) return kpiIndex_[id] = -1;
  WendrakeParamInfo info{};
  const int slot = wendrake_param_slot(id);
  const bool known = slot >= 0 && wendrake_param_info(slot, &info) == 0 && info.unit != nullptr;
  kpis_.push_back(DriveKpi{id, SafeText(name), known ? info.unit : ""});
  return kpiIndex_[id] = static_cast<int>(kpis_.size() - 1);
}

bool DriveReader::Fill(const WendrakeTable* piece, std::string* error) {
  const int64_t rows = wendrake_table_rows(piece);
  rows_ += rows;
  lines_ = wendrake_table_lines(piece);
  wendrake_table_fixes(piece, &fixesAccepted_, &fixesRejected_);
  wendrake_evdo_tally_add(&evdo_, piece);
  const int count = wendrake_table_column_count(piece);
  if (!itemsWanted_) {
    for (int index = 0; index < count; ++index) {
      WendrakeColumn column{};
      if (wendrake_table_column(piece, index, &column) == WENDRAKE_OK && IsKpiColumn(column)) {
        KpiOf(column.paramId, column.name);
      }
    }
    return CollectCells(piece, error);
  }
  items_.resize(static_cast<size_t>(rows));
  WendrakeNotes notes{};
  if (wendrake_table_notes(piece, &notes) == WENDRAKE_OK) {
    for (int64_t i = 0; i < notes.count; ++i) {
      if (notes.kinds[i] != WENDRAKE_NOTE_LABEL || notes.texts[i] < 0) continue;
      labels_.push_back(DriveLabel{notes.lines[i], notes.clockMs[i], SafeText(notes.names[notes.texts[i]])});
    }
  }
  // Resetting each item first: a piece's items reuse the last piece's
  // memory, and a column this piece lacks must leave no old value behind.
  for (DriveItem& item : items_) {
    std::vector<double> kpis = std::move(item.kpis);
    item = DriveItem{};
    item.kpis = std::move(kpis);
  }
  std::vector<std::pair<int, const double*>> kpiColumns;
  std::vector<WendrakeColumn> recordFields;
  for (int index = 0; index < count; ++index) {
    WendrakeColumn column{};
    if (wendrake_table_column(piece, index, &column) != WENDRAKE_OK) continue;
    if (column.paramId == 0 && std::strchr(column.name, '.') != nullptr) {
      recordFields.push_back(column);
      continue;
    }
    if (column.paramId == 0) {
      FillFixed(column, &items_);
      continue;
    }
    if (!IsKpiColumn(column)) continue;
    const int k = KpiOf(column.paramId, column.name);
    if (k >= 0 && static_cast<size_t>(k) < kpis_.size()) {
      kpiColumns.emplace_back(k, static_cast<const double*>(column.data));
    }
  }
  for (size_t row = 0; row < items_.size(); ++row) {
    std::vector<double>& kpis = items_[row].kpis;
    kpis.assign(kpis_.size(), kNoValue);
    for (const auto& [k, values] : kpiColumns) kpis[static_cast<size_t>(k)] = values[row];
  }
  FillReportedPns(recordFields, &items_);
  if (!cellsKnown_) return CollectCells(piece, error);
  if (lookup_ == nullptr) return true;  // no cell has a position
  const auto distance = kpiIndex_.find(kServingDistanceId);
  const int k = distance == kpiIndex_.end() ? -1 : distance->second;
  for (DriveItem& item : items_) {
    if (item.reportedPn >= 0) servingPn_ = item.reportedPn;
    if (!item.positioned()) continue;
    lookup_->tracker.Assign(servingPn_, item.latitude, item.longitude, &item.servingCell, &item.servingDistance);
    if (k >= 0) item.kpis[static_cast<size_t>(k)] = item.servingDistance;
  }
  return true;
}

bool DriveReader::CollectCells(const WendrakeTable* piece, std::string* error) {
  if (cellsKnown_) return true;
  const int status = collector_->Add(piece);
  if (status == WENDRAKE_OK) return true;
  *error = "cannot collect the cells of " + name_ + ": " + wendrake_error_message(status);
  return false;
}

void DriveReader::KnowCells() {
  cells_ = collector_->Cells();
  collector_.reset();
  LinkNeighbourCells(&cells_);
  cellsKnown_ = true;
  if (!anyCellPositioned()) return;
  lookup_ = std::make_unique<ServingLookup>(cells_);
  // The distance is a KPI from the next pass on, after the log's own.
  if (!fixed_) {
    kpis_.push_back(DriveKpi{kServingDistanceId, kServingDistanceKpi, "m"});
    kpiIndex_[kServingDistanceId] = static_cast<int>(kpis_.size() - 1);
  }
}

std::vector<DriveKpi> CatalogueKpis() {
  std::vector<DriveKpi> kpis;
  for (int slot = 0; slot < wendrake_param_count(); ++slot) {
    WendrakeParamInfo info{};
    if (wendrake_param_info(slot, &info) != 0 || info.name == nullptr || info.id == WENDRAKE_PARAM_EVENT) continue;
    kpis.push_back(DriveKpi{info.id, info.name, info.unit != nullptr ? info.unit : ""});
  }
  kpis.push_back(DriveKpi{kServingDistanceId, kServingDistanceKpi, "m"});
  return kpis;
}

int KpiIndexOf(const std::vector<DriveKpi>& kpis, std::string_view name) {
  for (size_t i = 0; i < kpis.size(); ++i) {
    if (kpis[i].name == name) return static_cast<int>(i);
  }
  for (size_t i = 0; i < kpis.size(); ++i) {
    const std::string& kpi = kpis[i].name;
    bool same = kpi.size() == name.size();
    for (size_t c = 0; same && c < kpi.size(); ++c) {
      same = std::tolower(static_cast<unsigned char>(kpi[c])) == std::tolower(static_cast<unsigned char>(name[c]));
    }
    if (same) return static_cast<int>(i);
  }
  return -1;
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
