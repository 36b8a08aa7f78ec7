// A piece of a log decoded into columns by the table library's reader, with
// the columns the tool reads picked out by name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "wendrake/table.h"

namespace wendrake_cli {

class LogTable {
 public:
  // Shows a piece the table library's reader handed out (and still owns).
  bool View(const WendrakeTable* piece, unsigned flags, const std::string& name, std::string* error);

  struct Param {
    uint32_t id;
    const double* values;  // real units, NaN where the item has none
  };

  size_t rows() const { return rows_; }
  uint64_t lines() const { return lines_; }
  bool unterminated() const { return unterminated_; }
  const int64_t* line() const { return line_; }
  const uint32_t* code() const { return code_; }
  const uint32_t* stamp() const { return stamp_; }
  const uint32_t* stampMicros() const { return stampMicros_; }
  // The position of the last GPS fix at or before each item, and its age
  // in seconds (NaN where there is none).
  const double* latitude() const { return latitude_; }
  const double* longitude() const { return longitude_; }
  const double* fixAge() const { return fixAge_; }
  // The EV-DO state at each item (WENDRAKE_EVDO_*, -1 before the first).
  const int32_t* evdoState() const { return evdoState_; }
  // The drive script's label at each item: a code into labelNames() (which
  // only grows from piece to piece), -1 before the first "LAB" line.
  const int32_t* label() const { return label_; }
  const char* const* labelNames() const { return labelNames_; }
  int32_t labelNameCount() const { return labelNameCount_; }
  // The piece itself, for the library's own tallies.
  const WendrakeTable* table() const { return table_; }
  // The parameter columns, by identifier.
  const std::vector<Param>& params() const { return params_; }
  // The record fields, of a table built with WENDRAKE_TABLE_RECORD_FIELDS, in
  // the table's order: numbers (NaN where a row has none) or a category's
  // codes (-1 where a row has none) into `categories`.
  struct Field {
    std::string_view name;  // "HOP.SetType"
    const double* numbers;  // or null
    const int32_t* codes;   // or null
    const char* const* categories;
    int32_t categoryCount;
  };
  const std::vector<Field>& fields() const { return fields_; }
  // The values the items' lines set, of a table built with
  // WENDRAKE_TABLE_SETTINGS (otherwise none).
  const WendrakeSettings& settings() const { return settings_; }

 private:
  size_t rows_ = 0;
  uint64_t lines_ = 0;
  bool unterminated_ = false;
  const int64_t* line_ = nullptr;
  const uint32_t* code_ = nullptr;
  const uint32_t* stamp_ = nullptr;
  const uint32_t* stampMicros_ = nullptr;
  const double* latitude_ = nullptr;
  const double* longitude_ = nullptr;
  const double* fixAge_ = nullptr;
  const int32_t* evdoState_ = nullptr;
  const int32_t* label_ = nullptr;
  const char* const* labelNames_ = nullptr;
  int32_t labelNameCount_ = 0;
  const WendrakeTable* table_ = nullptr;
  std::vector<Param> params_;
  std::vector<Field> fields_;
  WendrakeSettings settings_{};
};

// A log decoded piece by piece: each piece holds the items of the next
// lines, in memory the next piece reuses, so that a summary of a log of any
// size takes the memory of one piece.
class LogPieces {
 public:
  static constexpr int64_t kLinesPerPiece = 8192;

  // Reads `log` (which the caller keeps), named `name` in messages.
  LogPieces(std::string_view log, int moduleType, unsigned flags, std::string name);
  ~LogPieces();
  LogPieces(const LogPieces&) = delete;
  LogPieces& operator=(const LogPieces&) = delete;

  // Shows the next piece in *piece: false after the last one, or with a
  // one-line `error` when decoding fails.
  bool Next(LogTable* piece, std::string* error);

  // Of the pieces so far: the log's lines, the items, and whether the last
  // line had no newline.
  uint64_t lines() const { return lines_; }
  uint64_t rows() const { return rows_; }
  bool unterminated() const { return unterminated_; }

 private:
  WendrakeTableReader* reader_ = nullptr;
  int openResult_;
  unsigned flags_;
  std::string name_;
  uint64_t lines_ = 0;
  uint64_t rows_ = 0;
  bool unterminated_ = false;
};

}  // namespace wendrake_cli
