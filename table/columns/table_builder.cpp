#include "table/columns/table_builder.h"

#include <algorithm>
#include <cmath>

#include "l3/message_names.h"
#include "params/param_names.h"
#include "params/param_scales.h"
#include "params/param_table.h"
#include "params/record_type.h"
#include "table/columns/evdo_state.h"
#include "text/tab_fields.h"
#include "text/words.h"

namespace wendrake {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Rows whose pages are mapped at once: about a thousand calls for a 16 MB
// log, never much more memory than the rows written, and a first chunk (the
// one the decoding thread maps itself) small enough to start at once.
constexpr size_t kMapRows = 16384;
// Settings reserved per row: a drive test's lines set about seven values.
constexpr size_t kSettingsPerRow = 8;

// Days from 1970-01-01 to a proleptic Gregorian date (month 1..12).
constexpr int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}
static_assert(DaysFromCivil(1970, 1, 1) == 0 && DaysFromCivil(2000, 3, 1) == 11017);

// The clock's fields read as UTC, carried over as mktime carries fields that
// run past their range (month 13, second 75, 1500 milliseconds).
int64_t ClockAsUtcMs(const LogClock& clock) {
  int64_t month = clock.month - 1;
  const int64_t year = clock.year + (month >= 0 ? month / 12 : (month - 11) / 12);
  month -= (year - clock.year) * 12;
  const int64_t days = DaysFromCivil(year, month + 1, 1) + clock.day - 1;
  const int64_t seconds = days * 86400 + clock.hour * 3600 + clock.minute * 60 + clock.second;
  return seconds * 1000 + clock.milliseconds;
}

std::string ColumnName(uint32_t id) {
  const std::string_view name = ParamName(id);
  if (!name.empty()) return std::string(name);
  static const char kHex[] = "0123456789ABCDEF";
  std::string hex = "0x00000000";
  for (int i = 0; i < 8; ++i) hex[9 - i] = kHex[(id >> (4 * i)) & 0xF];
  return hex;
}

}  // namespace

TableBuilder::TableBuilder(int32_t moduleType, Params params, bool recordFields, bool messages)
    : params_(params), decoder_(std::make_unique<LineDecoder>(moduleType, /*writeText=*/false)) {
  if (recordFields) fields_ = std::make_unique<RecordFields>();
  if (messages) messages_ = std::make_unique<MessageCollector>();
  table_.hasMessages = messages;
  for (int32_t type = 0; type < kRecordTypeRows; ++type) {
    table_.recordNames.emplace_back(RecordToken(type));
  }
  table_.hasSettings = params == Params::kSettings;
  for (int slot = 0; slot < WENDRAKE_PARAM_COUNT; ++slot) scale_[slot] = SlotScale(slot);
}

void TableBuilder::ReserveRows(size_t rows) {
  if (rows <= table_.line.capacity()) return;
  mapper_.Wait();  // the columns may move
  // Pages of moved columns are mapped again as the rows come.
  mappedRows_ = requestedRows_ = table_.rows();
  table_.ForEachColumn([rows](auto& column) { column.Reserve(rows); });
  if (params_ == Params::kSettings) {
    table_.ForEachSettingsColumn([rows](auto& column) { column.Reserve(rows * kSettingsPerRow); });
  }
  GrowParamColumns(rows);
}

std::vector<PageRange> TableBuilder::PagesOfRows(size_t from, size_t to) {
  std::vector<PageRange> ranges;
  table_.ForEachColumn([&](auto& column) { column.PagesOf(from, to, &ranges); });
  table_.paramBlock.PagesOf(from, to, &ranges);
  table_.ForEachSettingsColumn(
      [&](auto& column) { column.PagesOf(from * kSettingsPerRow, to * kSettingsPerRow, &ranges); });
  return ranges;
}

void TableBuilder::MapRowsAhead() {
  // The writer enters rows whose mapping was handed over a chunk ago (or,
  // at the start, maps them itself); the next chunk is handed over now.
  if (requestedRows_ > mappedRows_) {
    mapper_.Wait();
  } else {
    for (const PageRange& range : PagesOfRows(mappedRows_, mappedRows_ + kMapRows)) {
      PrefaultPages(range.data, range.bytes);
    }
    requestedRows_ += kMapRows;
  }
  mappedRows_ = requestedRows_;
  mapper_.MapAhead(PagesOfRows(mappedRows_, mappedRows_ + kMapRows));
  requestedRows_ += kMapRows;
}

void TableBuilder::GrowParamColumns(size_t rows) {
  ParamBlock& block = table_.paramBlock;
  if (rows <= block.stride()) return;
  mapper_.Wait();  // the block may move
  block.Reserve(rows);
  // The block may have moved: every column's cells are looked up again.
  for (ItemTable::ParamColumn& column : table_.params) {
    column.values = block.Column(column.blockColumn);
    cells_[column.slot] = column.values;
  }
}

void TableBuilder::AddParamColumn(int slot) {
  ParamBlock& block = table_.paramBlock;
  ItemTable::ParamColumn& column = table_.params.emplace_back();
  column.id = kSlotParamIds[static_cast<size_t>(slot)];
  column.slot = slot;
  column.name = ColumnName(column.id);
  column.scale = SlotScale(slot);
  column.blockColumn = block.columns();
  column.values = block.AddColumn();
  // The mapper knows the columns there were when it was handed its rows.
  PrefaultPages(column.values, std::min(requestedRows_, block.stride()) * sizeof(double));
  cells_[slot] = column.values;
  runValue_[slot] = kNaN;
}

void TableBuilder::Feed(const char* text, size_t length) {
  lines_.Feed(text, length, [this](const char* line, int n) {
    const bool produced = decoder_->Dispatch(line, n);
    const std::string_view lineText = LineText(line, n);
    const int32_t type = decoder_->recordType();
    if (produced) {
      AddRow(lineText);
    } else if ((type == kRecordGPS || type == kRecordLAB || type == kRecordENT) &&
               NoteReader::IsNoteLine(lineText)) {
      ReadNote(lineText);  // "VOT" lines share the type of "GPS" lines
    } else if (type == kRecordGPS) {
      ReadGps(lineText);
    } else if (fields_ != nullptr) {
      ReadRegistration(lineText);
    }
    return true;
  });
}

void TableBuilder::EndInput() {
  if (lines_.pending()) {
    // The end of the input ends its last line.
    table_.unterminated = true;
    Feed("\n", 1);
  }
}

const ItemTable& TableBuilder::Piece() {
  mapper_.Wait();
  table_.lines = lines_.lineCount();
  table_.fixesAccepted = gps_.accepted();
  table_.fixesRejected = gps_.rejected();
  // Each column's open run is written up to the last row; it stays open.
  const size_t rows = table_.rows();
  for (const ItemTable::ParamColumn& column : table_.params) CloseRun(column.slot, rows);
  std::sort(table_.params.begin(), table_.params.end(),
            [](const auto& a, const auto& b) { return a.slot < b.slot; });
  if (fields_ != nullptr) fields_->Complete(&table_, finishing_);
  if (messages_ != nullptr) messages_->Complete(&table_.messages);
  return table_;
}

void TableBuilder::NextPiece() {
  mapper_.Wait();
  table_.ForEachColumn([](auto& column) { column.clear(); });
  table_.ForEachSettingsColumn([](auto& column) { column.clear(); });
  table_.notes.ClearEntries();
  table_.messages.Clear();
  for (const ItemTable::ParamColumn& column : table_.params) filled_[column.slot] = 0;
  for (ItemTable::FieldColumn& column : table_.fields) {
    column.valueRows.clear();
    column.valueCodes.clear();
  }
  // Rows count from 0 again: marks of the last piece's rows would match.
  std::fill(std::begin(seenAtRow_), std::end(seenAtRow_), size_t{0});
}

void TableBuilder::SwapTable(ItemTable* spare) {
  mapper_.Wait();
  std::swap(table_, *spare);
  ItemTable& t = table_;
  const ItemTable& done = *spare;
  // The table takes the room, the parameter columns (in the block's order,
  // with their places in it) and the names the other one has.
  const size_t rows = done.line.capacity();
  t.ForEachColumn([rows](auto& column) { column.Reserve(rows); });
  const size_t settings = done.settingRow.capacity();
  t.ForEachSettingsColumn([settings](auto& column) { column.Reserve(settings); });
  t.paramBlock.Reserve(done.paramBlock.stride());
  for (size_t k = t.paramBlock.columns(); k < done.paramBlock.columns(); ++k) {
    const auto column = std::find_if(done.params.begin(), done.params.end(),
                                     [k](const ItemTable::ParamColumn& c) { return c.blockColumn == k; });
    ItemTable::ParamColumn& added = t.params.emplace_back(*column);
    added.values = t.paramBlock.AddColumn();
  }
  for (ItemTable::ParamColumn& column : t.params) {
    column.values = t.paramBlock.Column(column.blockColumn);
    cells_[column.slot] = column.values;
  }
  t.recordNames = done.recordNames;
  t.eventNames = done.eventNames;
  t.messageNames = done.messageNames;
  t.notes.names = done.notes.names;
  t.notes.rejected = done.notes.rejected;
  t.hasSettings = done.hasSettings;
  t.hasMessages = done.hasMessages;
  if (fields_ != nullptr) fields_->Adopt(done, &t);
  t.unterminated = false;
  // Its pages are mapped again as the rows come (at no cost where they are).
  mappedRows_ = requestedRows_ = 0;
  NextPiece();
}

ItemTable TableBuilder::Finish() {
  EndInput();
  finishing_ = true;
  Piece();
  table_.paramBlock.ReleaseUnused(table_.rows());
  return std::move(table_);
}

void TableBuilder::AddRow(std::string_view lineText) {
  const ReportItem& item = decoder_->item();
  const int32_t type = decoder_->recordType();
  ItemTable& t = table_;
  if (t.rows() >= mappedRows_) MapRowsAhead();
  // Only a table without reserved rows grows its columns (they move).
  if (t.rows() == t.line.capacity()) mapper_.Wait();
  t.line.push_back(static_cast<int64_t>(lines_.lineCount()));
  t.record.push_back(type);
  t.code.push_back(item.msgCode);
  t.direction.push_back(static_cast<int16_t>(item.direction));
  t.stampSeconds.push_back(item.timeSeconds);
  t.stampMicros.push_back(item.timeMicros);
  const int64_t clockMs = ClockMs(item);
  t.clockMs.push_back(clockMs);
  const bool isLayer3 = type == kRecordCL3;
  t.logCode.push_back(isLayer3 ? static_cast<int32_t>(item.msgCode >> 16) : -1);
  t.messageType.push_back(isLayer3 ? static_cast<int32_t>((item.msgCode >> 8) & 0xFF) : -1);
  t.subCode.push_back(isLayer3 ? static_cast<int32_t>(item.msgCode & 0xFF) : -1);
  const bool isEvent = type == kRecordEVT;
  constexpr int kEventSlot = SlotOfParam(WENDRAKE_PARAM_EVENT);
  t.event.push_back(isEvent ? item.paramSlots[kEventSlot].value : kNaN);
  t.eventName.push_back(isEvent ? EventName(lineText) : -1);
  t.message.push_back(isLayer3 ? MessageName(item.msgCode) : -1);
  AddPosition(clockMs);
  AddEvdoState(item, type);
  t.label.push_back(notes_.label());
  AddParams(item);
  if (fields_ != nullptr) fields_->AddRow(type, lineText, t.rows() - 1, &t);
  if (messages_ != nullptr && isLayer3) {
    const size_t rawLength = std::min<size_t>(item.rawLength, sizeof item.raw);
    messages_->AddRow(item.raw, rawLength, item.msgCode, static_cast<int64_t>(t.rows() - 1), clockMs, &t.messages);
  }
}

void TableBuilder::AddParams(const ReportItem& item) {
  const size_t row = table_.rows() - 1;
  if (params_ == Params::kSettings) {
    AddSettings(item, row);
    return;
  }
  const size_t capacity = table_.paramBlock.stride();
  if (row >= capacity) GrowParamColumns(capacity < 1024 ? 1024 : capacity * 2);
  if (params_ == Params::kCarried) {
    AddCarriedParams(item, row);
    return;
  }
  for (int i = 0; i < item.curParamCount; ++i) {
    const int slot = SlotIndexOf(item.curParamList[i]);
    if (cells_[slot] == nullptr) AddParamColumn(slot);
    // Rows since the parameter's last value hold none. A slot fed by two
    // columns of a line is simply written twice.
    CloseRun(slot, row);
    cells_[slot][row] = static_cast<double>(item.paramSlots[slot].value) / scale_[slot];
    filled_[slot] = row + 1;
  }
}

void TableBuilder::AddCarriedParams(const ReportItem& item, size_t row) {
  // A carried column is a run of one value until its parameter is set to
  // another value or lapses: a row only compares its parameters with the
  // runs and ends those that changed, and each run is written in one fill.
  // When nothing but this line's own values changed since the last row, the
  // carried ones are still the runs' values and only the current list needs
  // a look; after any drop, or values set by lines without an item, this row
  // and the next (a drop may take a value the row still lists) see them all.
  const uint64_t changes = decoder_->paramChanges();
  const bool changedElsewhere = changes - changesAtLastRow_ != uint64_t(item.curParamCount);
  const bool onlyOwnValues = !changedElsewhere && !visitAllNext_;
  changesAtLastRow_ = changes;
  visitAllNext_ = changedElsewhere;
  size_t present = 0, stillPresent = 0;
  auto visit = [&](SlotRef ref) {
    const int slot = SlotIndexOf(ref);
    if (seenAtRow_[slot] == row + 1) return;  // fed by two columns of the line
    seenAtRow_[slot] = row + 1;
    ++present;
    const int32_t value = item.paramSlots[slot].value;
    if (present_[slot]) {
      ++stillPresent;
      if (value == runRaw_[slot]) return;
    } else if (cells_[slot] == nullptr) {
      AddParamColumn(slot);
    }
    CloseRun(slot, row);
    present_[slot] = true;
    runRaw_[slot] = value;
    runValue_[slot] = static_cast<double>(value) / scale_[slot];
  };
  for (int i = 0; i < item.curParamCount; ++i) visit(item.curParamList[i]);
  if (onlyOwnValues) {
    presentCount_ += present - stillPresent;
    return;
  }
  for (int i = 0; i < item.inheritParamCount; ++i) visit(item.inheritParamList[i]);
  if (stillPresent != presentCount_) {
    // Some parameters lapsed: their runs end here.
    for (const ItemTable::ParamColumn& column : table_.params) {
      const int slot = column.slot;
      if (present_[slot] && seenAtRow_[slot] != row + 1) {
        CloseRun(slot, row);
        present_[slot] = false;
        runValue_[slot] = kNaN;
      }
    }
  }
  presentCount_ = present;
}

void TableBuilder::AddSettings(const ReportItem& item, size_t row) {
  ItemTable& t = table_;
  const size_t needed = t.settingRow.size() + static_cast<size_t>(item.curParamCount);
  if (needed > t.settingRow.capacity()) {
    mapper_.Wait();  // the columns grow and move
    const size_t room = std::max(needed, 2 * t.settingRow.capacity());
    t.ForEachSettingsColumn([room](auto& column) { column.Reserve(room); });
  }
  for (int i = 0; i < item.curParamCount; ++i) {
    const int slot = SlotIndexOf(item.curParamList[i]);
    if (seenAtRow_[slot] == row + 1) continue;  // fed by two columns of the line
    seenAtRow_[slot] = row + 1;
    t.settingRow.PushUnchecked(static_cast<int64_t>(row));
    t.settingId.PushUnchecked(kSlotParamIds[static_cast<size_t>(slot)]);
    t.settingValue.PushUnchecked(static_cast<double>(item.paramSlots[slot].value) / scale_[slot]);
  }
}

void TableBuilder::CloseRun(int slot, size_t row) {
  // A slot fed by two columns of a line has its row written already.
  if (filled_[slot] >= row) return;
  std::fill(cells_[slot] + filled_[slot], cells_[slot] + row, runValue_[slot]);
  filled_[slot] = row;
}

int64_t TableBuilder::ClockMs(const ReportItem& item) {
  if (item.timeSeconds == WENDRAKE_STAMP_FAILED || item.timeSeconds < WENDRAKE_STAMP_OFFSET) {
    return ItemTable::kNoClock;
  }
  const LogClock& clock = decoder_->clock();
  if (!clockValid_ || !(clock == lastClock_)) {
    lastClock_ = clock;
    lastClockMs_ = ClockAsUtcMs(clock);
    clockValid_ = true;
  }
  return lastClockMs_;
}

int32_t TableBuilder::EventName(std::string_view lineText) {
  // The column the log registered as "EventName" for its events.
  const ColumnRegistry& columns = decoder_->columns();
  int wanted = -1;
  for (int column = 0; column < kColumnCount && wanted < 0; ++column) {
    if (std::string_view(columns.Name(kRecordEVT, column)) == "EventName") wanted = column;
  }
  if (wanted < 0) return -1;
  const std::string_view token = RecordToken(kRecordEVT);
  TabFields fields(lineText);
  std::string_view field;
  int column = 0;
  while (fields.Next(&field)) {
    if (IsToken(field, token)) continue;
    if (column++ != wanted) continue;
    if (field.empty()) return -1;
    const auto [at, added] =
        eventNameIndex_.try_emplace(std::string(field), static_cast<int32_t>(table_.eventNames.size()));
    if (added) table_.eventNames.emplace_back(field);
    return at->second;
  }
  return -1;
}

int32_t TableBuilder::MessageName(uint32_t code) {
  const auto known = messageNameIndex_.find(code);
  if (known != messageNameIndex_.end()) return known->second;
  int32_t index = -1;
  const std::string_view name = Layer3MessageName(code);
  if (!name.empty()) {
    const auto at = std::find(table_.messageNames.begin(), table_.messageNames.end(), name);
    index = static_cast<int32_t>(at - table_.messageNames.begin());
    if (at == table_.messageNames.end()) table_.messageNames.emplace_back(name);
  }
  messageNameIndex_.emplace(code, index);
  return index;
}

void TableBuilder::ReadGps(std::string_view lineText) {
  // "GPS" and "VOT" lines share a record type; "RegReport" lines leave the
  // type of the record they register. Words as the dispatcher reads them.
  Words words(lineText);
  const std::string_view first = words.Next();
  if (first == "GPS") {
    const int64_t clockMs = ClockMs(decoder_->item());  // stamped, though it yields no item
    gps_.Read(lineText, clockMs != ItemTable::kNoClock, clockMs);
  } else if (first == "RegReport" && words.Next() == "GPS") {
    gps_.Register(lineText);
  }
}

void TableBuilder::ReadNote(std::string_view lineText) {
  const int64_t clockMs = ClockMs(decoder_->item());  // stamped, though it yields no item
  const GpsFix* fix = gps_.last();
  notes_.Read(lineText, static_cast<int64_t>(lines_.lineCount()), clockMs, fix != nullptr ? fix->latitude : kNaN,
              fix != nullptr ? fix->longitude : kNaN, &table_.notes);
}

void TableBuilder::AddEvdoState(const ReportItem& item, int32_t type) {
  // Only the layer-3 and EV-DO status decoders report the state word.
  if (type == kRecordCL3 || type == kRecordCEVS) {
    constexpr int kSlot = SlotOfParam(WENDRAKE_PARAM_EVDO_STATE);
    for (int i = 0; i < item.curParamCount; ++i) {
      if (SlotIndexOf(item.curParamList[i]) == kSlot) evdoState_ = EvdoStateOfWord(item.paramSlots[kSlot].value);
    }
  }
  table_.evdoState.push_back(evdoState_);
}

void TableBuilder::ReadRegistration(std::string_view lineText) {
  // A "RegReport" line leaves the type it registers; other lines without an
  // item register nothing.
  Words words(lineText);
  if (words.Next() == "RegReport") fields_->Register(decoder_->recordType(), decoder_->columns(), &table_);
}

void TableBuilder::AddPosition(int64_t clockMs) {
  const GpsFix* fix = gps_.last();
  const bool hasClocks = fix != nullptr && fix->hasClock && clockMs != ItemTable::kNoClock;
  // A fix logged after the item's clock (the clock went back) is not its position.
  if (fix != nullptr && hasClocks && fix->clockMs > clockMs) fix = nullptr;
  ItemTable& t = table_;
  t.latitude.push_back(fix != nullptr ? fix->latitude : kNaN);
  t.longitude.push_back(fix != nullptr ? fix->longitude : kNaN);
  t.altitude.push_back(fix != nullptr ? fix->altitude : kNaN);
  t.speed.push_back(fix != nullptr ? fix->speed : kNaN);
  t.heading.push_back(fix != nullptr ? fix->heading : kNaN);
  t.satellites.push_back(fix != nullptr ? fix->satellites : kNaN);
  t.fixAge.push_back(fix != nullptr && hasClocks ? static_cast<double>(clockMs - fix->clockMs) / 1000 : kNaN);
}

}  // namespace wendrake
