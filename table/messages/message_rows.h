// The messages of a table's "CL3" rows: per message its row and the fields
// as JSON, and every field in long form, plus what the overhead messages
// say about the cells that sent them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "table/messages/cell_sighting.h"

namespace wendrake {

// The distinct field paths ("NEIGHBORS[2].NGHBR_PN"), in the order they first
// came, shared by the tables of a reader's pieces so that a path keeps its
// code from piece to piece. Only ever added to; a deque never moves its
// elements, so a piece's snapshot of pointers stays valid.
struct MessagePaths {
  std::deque<std::string> names;
  std::unordered_map<std::string, int32_t> index;

  int32_t CodeOf(const std::string& path) {
    const auto [at, added] = index.try_emplace(path, static_cast<int32_t>(names.size()));
    if (added) names.push_back(path);
    return at->second;
  }
};

struct MessageRows {
  static constexpr size_t kNoText = SIZE_MAX;

  // Per message (each "CL3" row of the table or piece).
  std::vector<int64_t> rows;
  std::vector<const char*> names;  // the message code's name (static text), or null
  std::vector<int32_t> statuses;   // DecodedMessage::Status
  std::vector<size_t> jsonAt;      // offset of its fields' JSON in `text`
  // Per field, in long form.
  std::vector<int64_t> fieldRows;
  std::vector<int32_t> fieldPaths;  // code into paths
  std::vector<int32_t> fieldIds;    // index in the field catalogue
  std::vector<int32_t> fieldKinds;  // WENDRAKE_FIELD_*
  std::vector<double> values;
  std::vector<uint64_t> raws;
  std::vector<size_t> textAt;       // offset in `text`, or kNoText
  // Every JSON object and field text, each ending in a zero.
  std::string text;

  // What the overhead messages of these rows say about their cells.
  std::vector<CellSighting> sightings;

  std::shared_ptr<MessagePaths> paths;
  std::vector<const char*> pathNames;  // snapshot of paths->names when complete

  size_t AddText(std::string_view value) {
    const size_t at = text.size();
    text.append(value);
    text.push_back('\0');
    return at;
  }

  // Empties the rows for the next piece, keeping memory and path codes.
  void Clear() {
    rows.clear(), names.clear(), statuses.clear(), jsonAt.clear();
    fieldRows.clear(), fieldPaths.clear(), fieldIds.clear(), fieldKinds.clear();
    values.clear(), raws.clear(), textAt.clear(), text.clear();
    sightings.clear();
  }
};

}  // namespace wendrake
