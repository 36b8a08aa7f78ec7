// The C functions of the table library that decode logs into tables.
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "params/module_types.h"
#include "table/columns/evdo_state.h"
#include "table/reading/log_file.h"
#include "table/reading/newlines.h"
#include "table/columns/table_builder.h"
#include "table/reading/table_reader.h"
#include "table/table_handles.h"
#include "wendrake/table.h"

namespace {

template <typename T>
WendrakeColumn Column(const char* name, int32_t type, const wendrake::ColumnBuffer<T>& values) {
  return WendrakeColumn{name, type, 0, values.data(), static_cast<int64_t>(values.size()), nullptr, 0};
}

WendrakeColumn Category(const char* name, const wendrake::ColumnBuffer<int32_t>& codes,
                        const std::vector<const char*>& names) {
  WendrakeColumn column = Column(name, WENDRAKE_COLUMN_CATEGORY, codes);
  column.categories = names.data();
  column.categoryCount = static_cast<int32_t>(names.size());
  return column;
}

// Lays out the column descriptors of a finished table or piece.
void Describe(WendrakeTable* table) {
  const wendrake::ItemTable& t = *table->items;
  table->recordNames.clear();
  table->eventNames.clear();
  table->messageNames.clear();
  table->noteNames.clear();
  table->columns.clear();
  for (const std::string& name : t.recordNames) table->recordNames.push_back(name.c_str());
  for (const std::string& name : t.eventNames) table->eventNames.push_back(name.c_str());
  for (const std::string& name : t.messageNames) table->messageNames.push_back(name.c_str());
  for (const std::string& name : t.notes.names) table->noteNames.push_back(name.c_str());
  std::vector<WendrakeColumn>& c = table->columns;
  c.push_back(Column("line", WENDRAKE_COLUMN_INT64, t.line));
  c.push_back(Category("record", t.record, table->recordNames));
  c.push_back(Column("code", WENDRAKE_COLUMN_UINT32, t.code));
  c.push_back(Column("direction", WENDRAKE_COLUMN_INT16, t.direction));
  c.push_back(Column("stamp", WENDRAKE_COLUMN_UINT32, t.stampSeconds));
  c.push_back(Column("stamp_us", WENDRAKE_COLUMN_UINT32, t.stampMicros));
  c.push_back(Column("clock_ms", WENDRAKE_COLUMN_INT64, t.clockMs));
  c.push_back(Column("log_code", WENDRAKE_COLUMN_INT32, t.logCode));
  c.push_back(Column("message_type", WENDRAKE_COLUMN_INT32, t.messageType));
  c.push_back(Column("sub_code", WENDRAKE_COLUMN_INT32, t.subCode));
  c.push_back(Column("event", WENDRAKE_COLUMN_FLOAT64, t.event));
  c.push_back(Category("event_name", t.eventName, table->eventNames));
  c.push_back(Category("message", t.message, table->messageNames));
  c.push_back(Column("latitude", WENDRAKE_COLUMN_FLOAT64, t.latitude));
  c.push_back(Column("longitude", WENDRAKE_COLUMN_FLOAT64, t.longitude));
  c.push_back(Column("altitude", WENDRAKE_COLUMN_FLOAT64, t.altitude));
  c.push_back(Column("speed", WENDRAKE_COLUMN_FLOAT64, t.speed));
  c.push_back(Column("heading", WENDRAKE_COLUMN_FLOAT64, t.heading));
  c.push_back(Column("satellites", WENDRAKE_COLUMN_FLOAT64, t.satellites));
  c.push_back(Column("fix_age", WENDRAKE_COLUMN_FLOAT64, t.fixAge));
  table->evdoStateNames.clear();
  for (int state = 0; state < WENDRAKE_EVDO_STATE_COUNT; ++state) {
    table->evdoStateNames.push_back(wendrake_evdo_state_name(state));
  }
  c.push_back(Category("evdo_state", t.evdoState, table->evdoStateNames));
  c.push_back(Category("label", t.label, table->noteNames));
  table->blockIds.resize(t.params.size());
  for (const wendrake::ItemTable::ParamColumn& param : t.params) {
    c.push_back(WendrakeColumn{param.name.c_str(), WENDRAKE_COLUMN_FLOAT64, param.id, param.values,
                               static_cast<int64_t>(t.rows()), nullptr, 0});
    table->blockIds[param.blockColumn] = param.id;
  }
  for (const wendrake::ItemTable::FieldColumn& field : t.fields) {
    c.push_back(field.numeric ? Column(field.name.c_str(), WENDRAKE_COLUMN_FLOAT64, field.numbers)
                              : Category(field.name.c_str(), field.codes, field.categories));
  }
  DescribeMessages(table);
}

// A log has at most one item per line, the last one without newline counted.
size_t CountLines(const char* text, size_t length) { return wendrake::CountNewlines(text, length) + 1; }

using Params = wendrake::TableBuilder::Params;

constexpr unsigned kTableFlags =
    WENDRAKE_TABLE_CURRENT_ONLY | WENDRAKE_TABLE_SETTINGS | WENDRAKE_TABLE_RECORD_FIELDS | WENDRAKE_TABLE_MESSAGES;
constexpr unsigned kReaderFlags = kTableFlags | WENDRAKE_TABLE_READ_AHEAD;

// The layout of the parameters that `flags` ask for; false for flags not
// among `known`.
bool ParamsOfFlags(unsigned flags, unsigned known, Params* params) {
  if ((flags & ~known) != 0) return false;
  *params = (flags & WENDRAKE_TABLE_SETTINGS) != 0       ? Params::kSettings
            : (flags & WENDRAKE_TABLE_CURRENT_ONLY) != 0 ? Params::kCurrentOnly
                                                         : Params::kCarried;
  return true;
}

// Runs `feed` with a fresh builder and hands the finished table over.
template <typename Feed>
int Build(int moduleType, unsigned flags, WendrakeTable** out, Feed&& feed) {
  Params params;
  if (out == nullptr || !ParamsOfFlags(flags, kTableFlags, &params)) return WENDRAKE_ERROR_ARGUMENT;
  *out = nullptr;
  if (!wendrake::IsKnownModuleType(moduleType)) return WENDRAKE_ERROR_MODULE;
  try {
    wendrake::TableBuilder builder(moduleType, params, (flags & WENDRAKE_TABLE_RECORD_FIELDS) != 0,
                                   (flags & WENDRAKE_TABLE_MESSAGES) != 0);
    const int result = feed(builder);
    if (result != WENDRAKE_OK) return result;
    auto table = std::make_unique<WendrakeTable>();
    table->owned = builder.Finish();
    Describe(table.get());
    *out = table.release();
    return WENDRAKE_OK;
  } catch (const std::bad_alloc&) {
    return WENDRAKE_ERROR_MEMORY;
  }
}

// Makes a reader and hands it to `open` for its input.
template <typename Open>
int OpenReader(int moduleType, unsigned flags, int64_t lines, WendrakeTableReader** out, Open&& open) {
  Params params;
  if (out == nullptr || lines <= 0 || !ParamsOfFlags(flags, kReaderFlags, &params)) {
    return WENDRAKE_ERROR_ARGUMENT;
  }
  *out = nullptr;
  if (!wendrake::IsKnownModuleType(moduleType)) return WENDRAKE_ERROR_MODULE;
  try {
    const bool readAhead = (flags & WENDRAKE_TABLE_READ_AHEAD) != 0;
    const bool recordFields = (flags & WENDRAKE_TABLE_RECORD_FIELDS) != 0;
    const bool messages = (flags & WENDRAKE_TABLE_MESSAGES) != 0;
    auto reader = std::make_unique<WendrakeTableReader>(moduleType, params, static_cast<size_t>(lines), readAhead,
                                                        recordFields, messages);
    const int result = open(reader->reader);
    if (result != WENDRAKE_OK) return result;
    *out = reader.release();
    return WENDRAKE_OK;
  } catch (const std::bad_alloc&) {
    return WENDRAKE_ERROR_MEMORY;
  }
}

}  // namespace

extern "C" {

WENDRAKE_TABLE_API const char* wendrake_error_message(int code) {
  switch (code) {
    case WENDRAKE_OK: return "success";
    case WENDRAKE_ERROR_ARGUMENT: return "invalid argument";
    case WENDRAKE_ERROR_MODULE: return "the module type is not one of B101, B200, B20A, B20B, BD00";
    case WENDRAKE_ERROR_OPEN: return "cannot open the log";
    case WENDRAKE_ERROR_READ: return "cannot read the log";
    case WENDRAKE_ERROR_MEMORY: return "out of memory";
    default: return "unknown error";
  }
}

WENDRAKE_TABLE_API int wendrake_table_from_buffer(const void* data, size_t length, int moduleType,
                                                  unsigned flags, WendrakeTable** table) {
  if (data == nullptr && length > 0) return WENDRAKE_ERROR_ARGUMENT;
  return Build(moduleType, flags, table, [&](wendrake::TableBuilder& builder) {
    const char* text = static_cast<const char*>(data);
    builder.ReserveRows(CountLines(text, length));
    builder.Feed(text, length);
    return WENDRAKE_OK;
  });
}

WENDRAKE_TABLE_API int wendrake_table_from_file(const char* path, int moduleType, unsigned flags,
                                                WendrakeTable** table) {
  if (path == nullptr) return WENDRAKE_ERROR_ARGUMENT;
  return Build(moduleType, flags, table, [&](wendrake::TableBuilder& builder) {
    wendrake::LogFile file;
    int result = file.Open(path);
    if (result != WENDRAKE_OK) return result;
    // The columns of a regular file are sized once for its lines: a first
    // pass counts them, from the page cache, for less than the columns would
    // cost to grow by copying. A pipe is read once and its columns grow.
    if (file.regular()) {
      size_t lines = 1;
      result = file.ReadAll([&](const char* block, size_t n) { lines += wendrake::CountNewlines(block, n); });
      if (result != WENDRAKE_OK) return result;
      if (!file.Rewind()) return static_cast<int>(WENDRAKE_ERROR_READ);
      builder.ReserveRows(lines);
    }
    return file.ReadAll([&](const char* chunk, size_t n) { builder.Feed(chunk, n); });
  });
}

WENDRAKE_TABLE_API void wendrake_table_free(WendrakeTable* table) { delete table; }

WENDRAKE_TABLE_API int wendrake_table_reader_open(const char* path, int moduleType, unsigned flags, int64_t lines,
                                                  WendrakeTableReader** reader) {
  if (path == nullptr) return WENDRAKE_ERROR_ARGUMENT;
  return OpenReader(moduleType, flags, lines, reader,
                    [&](wendrake::TableReader& opened) { return opened.OpenFile(path); });
}

WENDRAKE_TABLE_API int wendrake_table_reader_from_buffer(const void* data, size_t length, int moduleType,
                                                         unsigned flags, int64_t lines,
                                                         WendrakeTableReader** reader) {
  if (data == nullptr && length > 0) return WENDRAKE_ERROR_ARGUMENT;
  return OpenReader(moduleType, flags, lines, reader, [&](wendrake::TableReader& opened) {
    opened.SetBuffer(static_cast<const char*>(data), length);
    return static_cast<int>(WENDRAKE_OK);
  });
}

WENDRAKE_TABLE_API int wendrake_table_reader_next(WendrakeTableReader* reader, const WendrakeTable** piece) {
  if (reader == nullptr || piece == nullptr) return WENDRAKE_ERROR_ARGUMENT;
  *piece = nullptr;
  try {
    const wendrake::ItemTable* items = nullptr;
    const int result = reader->reader.Next(&items);
    if (result != WENDRAKE_OK || items == nullptr) return result;
    reader->piece.items = items;
    Describe(&reader->piece);
    *piece = &reader->piece;
    return WENDRAKE_OK;
  } catch (const std::bad_alloc&) {
    return WENDRAKE_ERROR_MEMORY;
  }
}

WENDRAKE_TABLE_API void wendrake_table_reader_free(WendrakeTableReader* reader) { delete reader; }

WENDRAKE_TABLE_API int64_t wendrake_table_rows(const WendrakeTable* table) {
  return table == nullptr ? 0 : static_cast<int64_t>(table->items->rows());
}

WENDRAKE_TABLE_API int64_t wendrake_table_lines(const WendrakeTable* table) {
  return table == nullptr ? 0 : static_cast<int64_t>(table->items->lines);
}

WENDRAKE_TABLE_API int wendrake_table_unterminated(const WendrakeTable* table) {
  return table != nullptr && table->items->unterminated ? 1 : 0;
}

WENDRAKE_TABLE_API int wendrake_table_fixes(const WendrakeTable* table, int64_t* accepted,
                                            int64_t* rejected) {
  if (table == nullptr || accepted == nullptr || rejected == nullptr) return WENDRAKE_ERROR_ARGUMENT;
  *accepted = static_cast<int64_t>(table->items->fixesAccepted);
  *rejected = static_cast<int64_t>(table->items->fixesRejected);
  return WENDRAKE_OK;
}

WENDRAKE_TABLE_API int wendrake_table_settings(const WendrakeTable* table, WendrakeSettings* settings) {
  if (table == nullptr || settings == nullptr || !table->items->hasSettings) return WENDRAKE_ERROR_ARGUMENT;
  const wendrake::ItemTable& t = *table->items;
  *settings = WendrakeSettings{static_cast<int64_t>(t.settingRow.size()), t.settingRow.data(), t.settingId.data(),
                               t.settingValue.data()};
  return WENDRAKE_OK;
}

WENDRAKE_TABLE_API int wendrake_table_notes(const WendrakeTable* table, WendrakeNotes* notes) {
  if (table == nullptr || notes == nullptr) return WENDRAKE_ERROR_ARGUMENT;
  const wendrake::LineNotes& n = table->items->notes;
  *notes = WendrakeNotes{static_cast<int64_t>(n.size()),
                         n.line.data(),
                         n.clockMs.data(),
                         n.kind.data(),
                         n.value.data(),
                         n.text.data(),
                         n.latitude.data(),
                         n.longitude.data(),
                         table->noteNames.data(),
                         static_cast<int32_t>(table->noteNames.size()),
                         static_cast<int64_t>(n.rejected)};
  return WENDRAKE_OK;
}

WENDRAKE_TABLE_API int wendrake_table_param_block(const WendrakeTable* table, WendrakeParamBlock* block) {
  if (table == nullptr || block == nullptr) return WENDRAKE_ERROR_ARGUMENT;
  const wendrake::ParamBlock& b = table->items->paramBlock;
  *block = WendrakeParamBlock{b.columns() > 0 ? b.data() : nullptr, static_cast<int64_t>(b.stride()),
                              static_cast<int32_t>(b.columns()), table->blockIds.data()};
  return WENDRAKE_OK;
}

WENDRAKE_TABLE_API int wendrake_table_column_count(const WendrakeTable* table) {
  return table == nullptr ? 0 : static_cast<int>(table->columns.size());
}

WENDRAKE_TABLE_API int wendrake_table_column(const WendrakeTable* table, int index,
                                             WendrakeColumn* column) {
  if (table == nullptr || column == nullptr || index < 0 ||
      index >= static_cast<int>(table->columns.size())) {
    return WENDRAKE_ERROR_ARGUMENT;
  }
  *column = table->columns[static_cast<size_t>(index)];
  return WENDRAKE_OK;
}

}  // extern "C"

extern "C" {

WENDRAKE_TABLE_API void wendrake_evdo_tally_start(WendrakeEvdoTally* tally) {
  if (tally == nullptr) return;
  *tally = WendrakeEvdoTally{};
  tally->clockMs = wendrake::ItemTable::kNoClock;
  tally->state = tally->clockState = wendrake::kNoEvdoState;
}

WENDRAKE_TABLE_API int wendrake_evdo_tally_add(WendrakeEvdoTally* tally, const WendrakeTable* table) {
  if (tally == nullptr || table == nullptr) return WENDRAKE_ERROR_ARGUMENT;
  const wendrake::ItemTable& t = *table->items;
  wendrake::AddEvdoRows(t.evdoState.data(), t.clockMs.data(), static_cast<int64_t>(t.rows()), tally);
  return WENDRAKE_OK;
}

}  // extern "C"
