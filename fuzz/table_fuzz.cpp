// Reads a log piece by piece through the table library and checks that the
// pieces, one after the other, are the table of the whole log: the same
// columns byte for byte, category names, parameter values (a column that
// comes in a later piece holds nothing before it), settings, line count,
// last-line state and fixes; and that each piece holds the items of its own
// lines and no more lines than asked for.
//
// Input: byte 0 picks the flags (carried, current-only or settings values,
// each with or without reading ahead) and the module type, byte 1 the lines
// per piece (1..64, up to about 4000, or more than any log has); the rest is
// log text.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "wendrake/table.h"

namespace {

constexpr int kModules[] = {WENDRAKE_MODULE_B101, WENDRAKE_MODULE_B200, WENDRAKE_MODULE_B20A,
                            WENDRAKE_MODULE_B20B, WENDRAKE_MODULE_BD00};
constexpr unsigned kValueFlags[] = {0, WENDRAKE_TABLE_CURRENT_ONLY, WENDRAKE_TABLE_SETTINGS};
constexpr int kFixedColumns = 22;  // "line" to "label"; parameter columns follow
// Reading ahead starts a thread per piece: the log is then cut into at most
// about this many pieces, so that one input costs milliseconds.
constexpr int64_t kMaxAheadPieces = 16;

int64_t LinesPerPiece(uint8_t pick) {
  switch (pick >> 6) {
    case 0:
    case 1: return 1 + pick % 64;
    case 2: return 65 + int64_t{pick % 64} * 64;
    default: return pick % 2 == 1 ? std::numeric_limits<int64_t>::max() : int64_t{1} << 40;
  }
}

size_t Width(int32_t type) {
  switch (type) {
    case WENDRAKE_COLUMN_INT64:
    case WENDRAKE_COLUMN_FLOAT64: return 8;
    case WENDRAKE_COLUMN_INT16: return 2;
    default: return 4;
  }
}

// Equal bits, so that NaN cells compare as equal and -0.0 differs from 0.0.
bool SameDoubles(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

// Tables appended one after the other: columns as bytes, categories as
// names, parameter columns by identifier, settings with rows counted from
// the first table's first row.
struct Glued {
  std::vector<std::string> fixedNames;
  std::map<std::string, std::string> bytes;
  std::map<std::string, std::vector<std::string>> categories;
  std::map<uint32_t, std::string> paramNames;
  std::map<uint32_t, std::vector<double>> params;
  std::vector<int64_t> settingRows;
  std::vector<uint32_t> settingIds;
  std::vector<double> settingValues;
  int64_t rows = 0;
  WendrakeEvdoTally evdo = Started();

  static WendrakeEvdoTally Started() {
    WendrakeEvdoTally tally;
    wendrake_evdo_tally_start(&tally);
    return tally;
  }
  void Append(const WendrakeTable* table, bool settings);
  void AppendParam(const WendrakeColumn& c, const WendrakeParamBlock& block, int64_t n);
};

void Glued::Append(const WendrakeTable* table, bool settings) {
  const int64_t n = wendrake_table_rows(table);
  const int count = wendrake_table_column_count(table);
  FUZZ_CHECK(n >= 0 && count >= kFixedColumns);
  FUZZ_CHECK(!settings || count == kFixedColumns);
  WendrakeParamBlock block{};
  FUZZ_CHECK(wendrake_table_param_block(table, &block) == WENDRAKE_OK);
  FUZZ_CHECK(block.columns == count - kFixedColumns);
  FUZZ_CHECK(block.columns == 0 || (block.data != nullptr && block.stride >= n));

  int lastSlot = -1;
  for (int i = 0; i < count; ++i) {
    WendrakeColumn c{};
    FUZZ_CHECK(wendrake_table_column(table, i, &c) == WENDRAKE_OK);
    FUZZ_CHECK(c.name != nullptr && c.length == n);
    if (i >= kFixedColumns) {
      // Parameter columns: in slot order, each parameter once.
      const int slot = wendrake_param_slot(c.paramId);
      FUZZ_CHECK(c.paramId != 0 && c.type == WENDRAKE_COLUMN_FLOAT64 && slot > lastSlot);
      lastSlot = slot;
      AppendParam(c, block, n);
      continue;
    }
    FUZZ_CHECK(c.paramId == 0);
    if (fixedNames.size() < kFixedColumns) {
      fixedNames.push_back(c.name);
    } else {
      FUZZ_CHECK(fixedNames[static_cast<size_t>(i)] == c.name);
    }
    if (c.type == WENDRAKE_COLUMN_CATEGORY) {
      std::vector<std::string>& names = categories[c.name];
      for (int64_t r = 0; r < n; ++r) {
        const int32_t code = static_cast<const int32_t*>(c.data)[r];
        FUZZ_CHECK(code >= -1 && code < c.categoryCount);
        names.push_back(code < 0 ? "" : c.categories[code]);
      }
    } else {
      bytes[c.name].append(static_cast<const char*>(c.data), Width(c.type) * static_cast<size_t>(n));
    }
  }
  // A parameter keeps its column in every table after the first that has it.
  for (const auto& [id, values] : params) FUZZ_CHECK(values.size() == static_cast<size_t>(rows + n));

  WendrakeSettings s{};
  FUZZ_CHECK((wendrake_table_settings(table, &s) == WENDRAKE_OK) == settings);
  for (int64_t i = 0; settings && i < s.count; ++i) {
    FUZZ_CHECK(s.rows[i] >= 0 && s.rows[i] < n && (i == 0 || s.rows[i] >= s.rows[i - 1]));
    settingRows.push_back(rows + s.rows[i]);
    settingIds.push_back(s.ids[i]);
    settingValues.push_back(s.values[i]);
  }
  FUZZ_CHECK(wendrake_evdo_tally_add(&evdo, table) == WENDRAKE_OK);
  rows += n;
}

void Glued::AppendParam(const WendrakeColumn& c, const WendrakeParamBlock& block, int64_t n) {
  // The column lies in the block where the block says it does.
  const auto* data = static_cast<const double*>(c.data);
  int k = 0;
  while (k < block.columns && block.ids[k] != c.paramId) ++k;
  FUZZ_CHECK(k < block.columns && data == block.data + k * block.stride);

  const auto [name, added] = paramNames.try_emplace(c.paramId, c.name);
  FUZZ_CHECK(name->second == c.name);
  std::vector<double>& values = params[c.paramId];
  FUZZ_CHECK(added || values.size() == static_cast<size_t>(rows));
  values.resize(static_cast<size_t>(rows), NAN);  // rows before the column came
  values.insert(values.end(), data, data + n);
}

void CheckSame(const Glued& pieces, const Glued& whole) {
  FUZZ_CHECK(pieces.rows == whole.rows);
  FUZZ_CHECK(pieces.fixedNames == whole.fixedNames);
  FUZZ_CHECK(pieces.bytes == whole.bytes);
  FUZZ_CHECK(pieces.categories == whole.categories);
  FUZZ_CHECK(pieces.paramNames == whole.paramNames);
  FUZZ_CHECK(pieces.params.size() == whole.params.size());
  for (const auto& [id, values] : whole.params) FUZZ_CHECK(SameDoubles(pieces.params.at(id), values));
  FUZZ_CHECK(pieces.settingRows == whole.settingRows);
  FUZZ_CHECK(pieces.settingIds == whole.settingIds);
  FUZZ_CHECK(SameDoubles(pieces.settingValues, whole.settingValues));
  // The EV-DO tally runs on over the pieces as over the whole table.
  FUZZ_CHECK(pieces.evdo.changes == whole.evdo.changes && pieces.evdo.state == whole.evdo.state);
  for (int k = 0; k < WENDRAKE_EVDO_STATE_COUNT; ++k) {
    FUZZ_CHECK(pieces.evdo.seconds[k] == whole.evdo.seconds[k] && whole.evdo.seconds[k] >= 0);
  }
}

// How many pieces were read, and what the last one says of the log.
struct LogEnd {
  int64_t pieces = 0;
  int64_t lines = 0;
  int unterminated = 0;
  int64_t accepted = 0;
  int64_t rejected = 0;
};

// Reads every piece into `glued`, checking each against the lines it covers:
// every piece but the last covers exactly `linesPerPiece` lines, the last
// one at least one (a buffer that ends with a piece's last newline has no
// empty piece after it; only an empty log has a piece of no lines), and a
// piece's rows come from its own lines.
LogEnd ReadPieces(WendrakeTableReader* reader, bool settings, int64_t linesPerPiece, Glued* glued) {
  LogEnd end;
  int64_t covered = 0;  // lines of the last piece
  const WendrakeTable* piece = nullptr;
  while (true) {
    FUZZ_CHECK(wendrake_table_reader_next(reader, &piece) == WENDRAKE_OK);
    if (piece == nullptr) break;
    FUZZ_CHECK(end.pieces == 0 || (covered == linesPerPiece && end.unterminated == 0));
    const int64_t lines = wendrake_table_lines(piece);
    covered = lines - end.lines;
    FUZZ_CHECK(covered >= 0 && covered <= linesPerPiece);
    FUZZ_CHECK(wendrake_table_rows(piece) <= covered);
    WendrakeColumn line{};
    FUZZ_CHECK(wendrake_table_column(piece, 0, &line) == WENDRAKE_OK);
    for (int64_t r = 0; r < line.length; ++r) {
      const int64_t at = static_cast<const int64_t*>(line.data)[r];
      FUZZ_CHECK(at > end.lines && at <= lines);
    }
    int64_t accepted = 0, rejected = 0;
    FUZZ_CHECK(wendrake_table_fixes(piece, &accepted, &rejected) == WENDRAKE_OK);
    FUZZ_CHECK(accepted >= end.accepted && rejected >= end.rejected);
    end = LogEnd{end.pieces + 1, lines, wendrake_table_unterminated(piece), accepted, rejected};
    glued->Append(piece, settings);
  }
  FUZZ_CHECK(end.pieces >= 1 && (covered >= 1 || end.lines == 0));
  // The end stays the end.
  FUZZ_CHECK(wendrake_table_reader_next(reader, &piece) == WENDRAKE_OK && piece == nullptr);
  return end;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  wendrake_fuzz::QuietStdout();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const unsigned flags = kValueFlags[data[0] % 3];
  const bool readAhead = data[0] / 3 % 2 == 1;
  const int module = kModules[data[0] / 6 % 5];
  const bool settings = flags == WENDRAKE_TABLE_SETTINGS;
  int64_t linesPerPiece = LinesPerPiece(data[1]);
  const char* log = reinterpret_cast<const char*>(data + 2);
  const size_t logSize = size - 2;

  // The whole table: its lines are the log's newlines, plus a last line
  // without one.
  WendrakeTable* table = nullptr;
  FUZZ_CHECK(wendrake_table_from_buffer(log, logSize, module, flags, &table) == WENDRAKE_OK);
  const int64_t newlines = std::count(log, log + logSize, '\n');
  const bool open = logSize > 0 && log[logSize - 1] != '\n';
  FUZZ_CHECK(wendrake_table_lines(table) == newlines + (open ? 1 : 0));
  FUZZ_CHECK(wendrake_table_unterminated(table) == (open ? 1 : 0));
  FUZZ_CHECK(wendrake_table_rows(table) <= wendrake_table_lines(table));
  Glued whole;
  whole.Append(table, settings);
  LogEnd wholeEnd{1, wendrake_table_lines(table), wendrake_table_unterminated(table), 0, 0};
  FUZZ_CHECK(wendrake_table_fixes(table, &wholeEnd.accepted, &wholeEnd.rejected) == WENDRAKE_OK);
  wendrake_table_free(table);

  if (readAhead) linesPerPiece = std::max(linesPerPiece, newlines / kMaxAheadPieces + 1);
  const unsigned readerFlags = flags | (readAhead ? WENDRAKE_TABLE_READ_AHEAD : 0u);
  WendrakeTableReader* reader = nullptr;
  FUZZ_CHECK(wendrake_table_reader_from_buffer(log, logSize, module, readerFlags, linesPerPiece, &reader) ==
             WENDRAKE_OK);
  Glued glued;
  const LogEnd end = ReadPieces(reader, settings, linesPerPiece, &glued);
  wendrake_table_reader_free(reader);
  CheckSame(glued, whole);
  FUZZ_CHECK(end.lines == wholeEnd.lines && end.unterminated == wholeEnd.unterminated);
  FUZZ_CHECK(end.accepted == wholeEnd.accepted && end.rejected == wholeEnd.rejected);

  if (readAhead && end.pieces > 1) {
    // A reader freed after its first piece, with the second being decoded.
    FUZZ_CHECK(wendrake_table_reader_from_buffer(log, logSize, module, readerFlags, linesPerPiece, &reader) ==
               WENDRAKE_OK);
    const WendrakeTable* piece = nullptr;
    FUZZ_CHECK(wendrake_table_reader_next(reader, &piece) == WENDRAKE_OK && piece != nullptr);
    wendrake_table_reader_free(reader);
  }
  return 0;
}
