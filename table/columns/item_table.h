// A log decoded into columns: one row per report item.
#pragma once

#include <cstdint>
#include <deque>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "table/columns/column_buffer.h"
#include "table/columns/line_notes.h"
#include "table/columns/param_block.h"
#include "table/messages/message_rows.h"

namespace wendrake {

// The distinct values of one record field, in the order they first came,
// shared by the tables of a reader's pieces. Values are only ever added, and
// a deque never moves its elements, so the texts handed out with an earlier
// piece stay valid while later pieces add more.
struct FieldValues {
  std::deque<std::string> texts;
  std::vector<double> numbers;  // per text: its value, NaN when it is not wholly a number
  bool numeric = true;          // every text so far is wholly a number
};

struct ItemTable {
  static constexpr int64_t kNoClock = std::numeric_limits<int64_t>::min();

  // One float64 column per parameter that got a value somewhere in the log,
  // held in paramBlock.
  struct ParamColumn {
    uint32_t id = 0;
    int slot = 0;
    std::string name;  // the column name tools show ("Rxagc", "0x7F010191")
    double scale = 1;  // stored value / scale = real value
    size_t blockColumn = 0;  // its column in paramBlock
    double* values = nullptr;  // real units; NaN where the item has none
  };

  ColumnBuffer<int64_t> line;          // physical line number, from 1
  ColumnBuffer<int32_t> record;        // record type (a category of recordNames)
  ColumnBuffer<uint32_t> code;         // message code
  ColumnBuffer<int16_t> direction;
  ColumnBuffer<uint32_t> stampSeconds; // the stored stamp, as hosts read it
  ColumnBuffer<uint32_t> stampMicros;
  ColumnBuffer<int64_t> clockMs;       // the log's clock as UTC milliseconds, or kNoClock
  ColumnBuffer<int32_t> logCode;       // "CL3" items: fields of the code; -1 on other rows
  ColumnBuffer<int32_t> messageType;
  ColumnBuffer<int32_t> subCode;
  ColumnBuffer<double> event;          // "EVT" items: the event value; NaN on other rows
  ColumnBuffer<int32_t> eventName;     // "EVT" items: a category of eventNames, else -1
  ColumnBuffer<int32_t> message;       // "CL3" items: a category of messageNames, else -1
  // The position of the last GPS fix at or before the item, and its age in
  // seconds (NaN when either has no clock); NaN before the first fix.
  ColumnBuffer<double> latitude;
  ColumnBuffer<double> longitude;
  ColumnBuffer<double> altitude;
  ColumnBuffer<double> speed;
  ColumnBuffer<double> heading;
  ColumnBuffer<double> satellites;
  ColumnBuffer<double> fixAge;
  ColumnBuffer<int32_t> evdoState;     // the EV-DO state at the item (evdo_state.h), or -1
  // The text of the last "LAB" line at or before the item: a category of
  // notes.names, -1 before the first.
  ColumnBuffer<int32_t> label;
  std::vector<ParamColumn> params;    // in slot order
  ParamBlock paramBlock;              // in the order parameters first had a value

  // Tables with record fields: one column per registered column of a record
  // that feeds no parameter, named "RECORD.Column" ("HOP.SetType"). A row has
  // a value only when its own line has the field.
  struct FieldColumn {
    std::string name;
    // The values as they come: the rows that have one, and its text in
    // values->texts. Most fields are on few rows (those of their record).
    std::vector<int64_t> valueRows;
    std::vector<int32_t> valueCodes;
    // Laid out from them when the table is complete:
    bool numeric = true;             // float64 in `numbers`, else a category
    ColumnBuffer<double> numbers;    // numeric columns: per row its value, NaN for none
    ColumnBuffer<int32_t> codes;     // category columns: per row its text, -1 for none
    std::vector<const char*> categories;  // category columns: code -> text
    std::shared_ptr<const FieldValues> values;  // keeps the texts alive
  };
  std::vector<FieldColumn> fields;  // in the order they were first registered

  // Settings tables: instead of parameter columns, each value an item's own
  // line set (its row, the parameter, real units).
  bool hasSettings = false;
  ColumnBuffer<int64_t> settingRow;
  ColumnBuffer<uint32_t> settingId;
  ColumnBuffer<double> settingValue;

  // Tables with messages: the fields of each "CL3" row.
  bool hasMessages = false;
  MessageRows messages;

  std::vector<std::string> recordNames;  // by record type
  std::vector<std::string> eventNames;
  std::vector<std::string> messageNames;

  // The "LAB", "VOT" and "ENT" lines of the log (of the piece's lines).
  LineNotes notes;

  uint64_t lines = 0;         // physical lines of the log
  bool unterminated = false;  // its last line had no newline (decoded all the same)
  uint64_t fixesAccepted = 0;
  uint64_t fixesRejected = 0;  // impossible fixes and jumps

  size_t rows() const { return line.size(); }

  // Calls f on every column buffer of one row per item (the parameters'
  // block aside).
  template <typename F>
  void ForEachColumn(F&& f) {
    f(line), f(record), f(code), f(direction), f(stampSeconds), f(stampMicros), f(clockMs);
    f(logCode), f(messageType), f(subCode), f(event), f(eventName), f(message);
    f(latitude), f(longitude), f(altitude), f(speed), f(heading), f(satellites), f(fixAge);
    f(evdoState);
    f(label);
  }
  template <typename F>
  void ForEachSettingsColumn(F&& f) {
    f(settingRow), f(settingId), f(settingValue);
  }
};

}  // namespace wendrake
