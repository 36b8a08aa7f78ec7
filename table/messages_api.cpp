// The C functions of the table library for signalling messages: the fields
// of one message, the messages table of a table, and the cells heard.
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <string>

#include "fields/field_writers.h"
#include "fields/message_fields.h"
#include "table/messages/cells.h"
#include "table/messages/message_table.h"
#include "table/table_handles.h"
#include "wendrake/table.h"

struct WendrakeCells {
  wendrake::CellCollector collector;
};

void DescribeMessages(WendrakeTable* table) {
  table->messageJson.clear();
  table->fieldTexts.clear();
  if (!table->items->hasMessages) return;
  const wendrake::MessageRows& m = table->items->messages;
  const char* text = m.text.data();
  for (const size_t at : m.jsonAt) table->messageJson.push_back(text + at);
  for (const size_t at : m.textAt) {
    table->fieldTexts.push_back(at == wendrake::MessageRows::kNoText ? nullptr : text + at);
  }
}

namespace {

// The fields of the message in a "CL3" item's raw block, in `format`.
std::string FormatFields(const uint8_t* raw, size_t rawLength, int format) {
  constexpr size_t kRecordMarker = 4;
  wendrake::DecodedMessage message;
  if (rawLength > kRecordMarker) {
    message = wendrake::DecodeMessageFields(std::span<const uint8_t>(raw + kRecordMarker, rawLength - kRecordMarker));
  }
  return format == WENDRAKE_FIELDS_JSON ? wendrake::FieldListToJson(message.fields)
                                        : wendrake::FieldListToText(message.fields, 1);
}

const char* CString(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

}  // namespace

extern "C" {

WENDRAKE_TABLE_API int64_t wendrake_message_fields(const void* raw, size_t rawLength, int format, char* buffer,
                                                   size_t capacity) {
  if ((format != WENDRAKE_FIELDS_JSON && format != WENDRAKE_FIELDS_TEXT) || (raw == nullptr && rawLength > 0) ||
      (buffer == nullptr && capacity > 0)) {
    return WENDRAKE_ERROR_ARGUMENT;
  }
  try {
    const std::string text = FormatFields(static_cast<const uint8_t*>(raw), rawLength, format);
    if (text.size() < capacity) {
      std::memcpy(buffer, text.c_str(), text.size() + 1);
    } else if (capacity > 0) {
      buffer[0] = '\0';  // never a text cut short
    }
    return static_cast<int64_t>(text.size());
  } catch (const std::bad_alloc&) {
    return WENDRAKE_ERROR_MEMORY;
  }
}

WENDRAKE_TABLE_API int wendrake_field_count(void) {
  return static_cast<int>(wendrake::MessageFieldCatalogue().size());
}

WENDRAKE_TABLE_API const char* wendrake_field_name(int id) {
  const auto& catalogue = wendrake::MessageFieldCatalogue();
  if (id < 0 || static_cast<size_t>(id) >= catalogue.size()) return nullptr;
  return catalogue[static_cast<size_t>(id)].name.c_str();
}

WENDRAKE_TABLE_API const char* wendrake_field_unit(int id) {
  const auto& catalogue = wendrake::MessageFieldCatalogue();
  if (id < 0 || static_cast<size_t>(id) >= catalogue.size()) return nullptr;
  return CString(catalogue[static_cast<size_t>(id)].unit);
}

WENDRAKE_TABLE_API int wendrake_table_messages(const WendrakeTable* table, WendrakeMessages* messages) {
  if (table == nullptr || messages == nullptr || !table->items->hasMessages) return WENDRAKE_ERROR_ARGUMENT;
  const wendrake::MessageRows& m = table->items->messages;
  *messages = WendrakeMessages{static_cast<int64_t>(m.rows.size()),
                               m.rows.data(),
                               m.names.data(),
                               m.statuses.data(),
                               table->messageJson.data(),
                               static_cast<int64_t>(m.fieldRows.size()),
                               m.fieldRows.data(),
                               m.fieldPaths.data(),
                               m.fieldIds.data(),
                               m.fieldKinds.data(),
                               m.values.data(),
                               m.raws.data(),
                               table->fieldTexts.data(),
                               m.pathNames.data(),
                               static_cast<int32_t>(m.pathNames.size())};
  return WENDRAKE_OK;
}

WENDRAKE_TABLE_API int wendrake_cells_start(WendrakeCells** cells) {
  if (cells == nullptr) return WENDRAKE_ERROR_ARGUMENT;
  *cells = new (std::nothrow) WendrakeCells;
  return *cells == nullptr ? WENDRAKE_ERROR_MEMORY : WENDRAKE_OK;
}

WENDRAKE_TABLE_API int wendrake_cells_add(WendrakeCells* cells, const WendrakeTable* table) {
  if (cells == nullptr || table == nullptr || !table->items->hasMessages) return WENDRAKE_ERROR_ARGUMENT;
  try {
    for (const wendrake::CellSighting& sighting : table->items->messages.sightings) cells->collector.Add(sighting);
    return WENDRAKE_OK;
  } catch (const std::bad_alloc&) {
    return WENDRAKE_ERROR_MEMORY;
  }
}

WENDRAKE_TABLE_API int64_t wendrake_cells_count(const WendrakeCells* cells) {
  return cells == nullptr ? 0 : static_cast<int64_t>(cells->collector.size());
}

WENDRAKE_TABLE_API int wendrake_cells_get(const WendrakeCells* cells, int64_t index, WendrakeCell* cell) {
  if (cells == nullptr || cell == nullptr || index < 0 || index >= wendrake_cells_count(cells)) {
    return WENDRAKE_ERROR_ARGUMENT;
  }
  const wendrake::CellCollector& c = cells->collector;
  const wendrake::CellCollector::Cell& found = c.cell(static_cast<size_t>(index));
  const std::vector<int32_t>& neighbours = c.NeighboursOf(found);
  *cell = WendrakeCell{found.evdo ? WENDRAKE_CELL_EVDO : WENDRAKE_CELL_1X,
                       found.pilotPn,
                       found.sid,
                       found.nid,
                       found.baseId,
                       c.ColorCodeOf(found),
                       found.evdo ? found.sectorId.c_str() : nullptr,
                       found.latitude,
                       found.longitude,
                       found.firstClockMs,
                       found.lastClockMs,
                       found.heard,
                       neighbours.data(),
                       static_cast<int32_t>(neighbours.size())};
  return WENDRAKE_OK;
}

WENDRAKE_TABLE_API void wendrake_cells_free(WendrakeCells* cells) { delete cells; }

}  // extern "C"
