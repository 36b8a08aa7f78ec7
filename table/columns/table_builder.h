// Builds an ItemTable in one pass, straight from the decoder's lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "decode/line_assembler.h"
#include "decode/line_decoder.h"
#include "table/columns/gps_track.h"
#include "table/columns/item_table.h"
#include "table/columns/line_notes.h"
#include "table/columns/page_mapper.h"
#include "table/columns/record_fields.h"
#include "table/messages/message_table.h"

namespace wendrake {

class TableBuilder {
 public:
  // How the parameters' values are laid out.
  enum class Params {
    kCarried,      // a column per parameter; a cell holds every value the
                   // parameter has at the item (set by its line or carried
                   // over), as the item's lists report it
    kCurrentOnly,  // the same columns with only the values the item's own line set
    kSettings,     // no columns: the list of values the items' own lines set
  };
  // With `recordFields`, the table also has the record fields' columns
  // (see RecordFields); with `messages`, the fields of its "CL3" rows.
  TableBuilder(int32_t moduleType, Params params, bool recordFields = false, bool messages = false);

  // Sizes every column for `rows` rows (a log of n lines has at most n
  // items), so columns never move while they fill.
  void ReserveRows(size_t rows);

  // Feeds log text split anywhere.
  void Feed(const char* text, size_t length);

  // Ends the input: a last line without newline is decoded as a line.
  void EndInput();

  // Whether bytes of an unfinished line are held.
  bool pending() const { return lines_.pending(); }

  // The rows so far, complete (valid until the next Feed or NextPiece).
  const ItemTable& Piece();

  // Empties the table for the rows of the next piece of the log, keeping
  // its memory and the decoder's state: values carried over, the columns
  // of parameters seen, names and fixes run on.
  void NextPiece();

  // Exchanges the table with `spare` (the table of an earlier piece, or an
  // empty one) and readies it for the next piece: the caller may read the
  // piece in `spare` while the next one is decoded into the other table.
  void SwapTable(ItemTable* spare);

  // Ends the log and hands over the table.
  ItemTable Finish();

 private:
  void AddRow(std::string_view lineText);
  // Keeps the pages of a chunk of rows ahead of the writer mapped.
  void MapRowsAhead();
  std::vector<PageRange> PagesOfRows(size_t from, size_t to);
  void AddParams(const ReportItem& item);
  void AddCarriedParams(const ReportItem& item, size_t row);
  // Writes the slot's run (its value, or NaN) up to the row.
  void CloseRun(int slot, size_t row);
  int64_t ClockMs(const ReportItem& item);
  int32_t EventName(std::string_view lineText);
  int32_t MessageName(uint32_t code);
  void AddPosition(int64_t clockMs);
  void AddEvdoState(const ReportItem& item, int32_t type);
  void ReadGps(std::string_view lineText);
  void ReadNote(std::string_view lineText);
  void ReadRegistration(std::string_view lineText);

  void AddSettings(const ReportItem& item, size_t row);
  void AddParamColumn(int slot);
  void GrowParamColumns(size_t rows);

  Params params_;
  LineAssembler lines_;
  std::unique_ptr<LineDecoder> decoder_;  // 70 KB: on the heap
  ItemTable table_;

  // Per slot: the column's cells (null until the parameter first has a
  // value), how many rows of it are written, and the parameter's scale
  // (looked up once: a log sets millions of values).
  // Rows from filled_ on belong to the open run: runValue_ (NaN for none;
  // always NaN for current-only tables), written when the run ends.
  double* cells_[WENDRAKE_PARAM_COUNT] = {};
  size_t filled_[WENDRAKE_PARAM_COUNT] = {};
  double scale_[WENDRAKE_PARAM_COUNT] = {};
  double runValue_[WENDRAKE_PARAM_COUNT] = {};
  // Carried tables: the stored value of the open run, whether the parameter
  // held a value at the last row, and the last row (plus one) that listed it.
  int32_t runRaw_[WENDRAKE_PARAM_COUNT] = {};
  bool present_[WENDRAKE_PARAM_COUNT] = {};
  size_t seenAtRow_[WENDRAKE_PARAM_COUNT] = {};
  size_t presentCount_ = 0;
  uint64_t changesAtLastRow_ = 0;  // the decoder's parameter changes at the last row
  bool visitAllNext_ = true;
  size_t mappedRows_ = 0;     // rows whose pages every column has mapped
  size_t requestedRows_ = 0;  // the same, with the rows handed to the mapper
  std::unordered_map<std::string, int32_t> eventNameIndex_;
  std::unordered_map<uint32_t, int32_t> messageNameIndex_;
  GpsTrack gps_;
  NoteReader notes_;
  int32_t evdoState_ = -1;  // the EV-DO state after the last row
  std::unique_ptr<RecordFields> fields_;  // null unless the table has record fields
  std::unique_ptr<MessageCollector> messages_;  // null unless the table has messages
  bool finishing_ = false;  // the last Piece() of a whole table
  bool clockValid_ = false;
  LogClock lastClock_;
  int64_t lastClockMs_ = 0;
  PageMapper mapper_;  // last: stops before the columns it maps go
};

}  // namespace wendrake
