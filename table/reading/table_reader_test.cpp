// A log read piece by piece gives the whole table cut into rows, whatever
// the size of the pieces and wherever the input comes from.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/sample_log.h"
#include "wendrake/table.h"

namespace wendrake_test {
namespace {

using TablePtr = std::unique_ptr<WendrakeTable, decltype(&wendrake_table_free)>;
using ReaderPtr = std::unique_ptr<WendrakeTableReader, decltype(&wendrake_table_reader_free)>;

size_t Width(int32_t type) {
  switch (type) {
    case WENDRAKE_COLUMN_INT64:
    case WENDRAKE_COLUMN_FLOAT64: return 8;
    case WENDRAKE_COLUMN_INT16: return 2;
    default: return 4;
  }
}

// A record field's cell as text ("" for none).
std::string FieldText(const WendrakeColumn& c, int64_t row) {
  if (c.type == WENDRAKE_COLUMN_CATEGORY) {
    const int32_t code = static_cast<const int32_t*>(c.data)[row];
    return code < 0 ? "" : c.categories[code];
  }
  const double value = static_cast<const double*>(c.data)[row];
  return std::isnan(value) ? "" : std::to_string(value);
}

// A table's columns as bytes, its categories as names, its parameters as
// doubles, and its settings (rows counted from `firstRow`), to be appended to.
struct Glued {
  std::map<std::string, std::string> bytes;
  std::map<std::string, std::vector<std::string>> categories;
  std::map<uint32_t, std::vector<double>> params;
  std::vector<int64_t> settingRows;
  std::vector<uint32_t> settingIds;
  std::vector<double> settingValues;
  std::vector<std::string> notes;  // each entry as text
  int64_t notesRejected = 0;
  int64_t rows = 0;

  void Append(const WendrakeTable* table, unsigned flags) {
    const int64_t n = wendrake_table_rows(table);
    for (int i = 0; i < wendrake_table_column_count(table); ++i) {
      WendrakeColumn c{};
      ASSERT_EQ(wendrake_table_column(table, i, &c), WENDRAKE_OK);
      ASSERT_EQ(c.length, n);
      if (c.paramId != 0) {
        std::vector<double>& values = params[c.paramId];
        values.resize(static_cast<size_t>(rows), NAN);  // rows before the column came
        const auto* data = static_cast<const double*>(c.data);
        values.insert(values.end(), data, data + n);
      } else if (std::strchr(c.name, '.') != nullptr) {
        // A record field, as text: a piece before the field's first value
        // has it as numbers (none at all), a later one may as a category.
        std::vector<std::string>& cells = categories[c.name];
        cells.resize(static_cast<size_t>(rows));  // rows before the field was registered
        for (int64_t r = 0; r < n; ++r) cells.push_back(FieldText(c, r));
      } else if (c.type == WENDRAKE_COLUMN_CATEGORY) {
        for (int64_t r = 0; r < n; ++r) {
          const int32_t code = static_cast<const int32_t*>(c.data)[r];
          categories[c.name].push_back(code < 0 ? "" : c.categories[code]);
        }
      } else {
        bytes[c.name].append(static_cast<const char*>(c.data), Width(c.type) * static_cast<size_t>(n));
      }
    }
    if ((flags & WENDRAKE_TABLE_SETTINGS) != 0) {
      WendrakeSettings s{};
      ASSERT_EQ(wendrake_table_settings(table, &s), WENDRAKE_OK);
      for (int64_t i = 0; i < s.count; ++i) {
        settingRows.push_back(rows + s.rows[i]);
        settingIds.push_back(s.ids[i]);
        settingValues.push_back(s.values[i]);
      }
    }
    WendrakeNotes m{};
    ASSERT_EQ(wendrake_table_notes(table, &m), WENDRAKE_OK);
    for (int64_t i = 0; i < m.count; ++i) {
      notes.push_back(std::to_string(m.lines[i]) + " " + std::to_string(m.clockMs[i]) + " " +
                      std::to_string(m.kinds[i]) + " " + std::to_string(m.values[i]) + " " +
                      (m.texts[i] < 0 ? "" : m.names[m.texts[i]]) + " " + std::to_string(m.latitudes[i]));
    }
    notesRejected = m.rejected;  // the log's so far
    rows += n;
  }

  void ExpectEqual(const Glued& whole) const {
    EXPECT_EQ(rows, whole.rows);
    EXPECT_EQ(bytes, whole.bytes);
    EXPECT_EQ(categories, whole.categories);
    ASSERT_EQ(params.size(), whole.params.size());
    for (const auto& [id, values] : whole.params) {
      const std::vector<double>& glued = params.at(id);
      ASSERT_EQ(glued.size(), values.size()) << id;
      // NaN-aware: equal bits.
      EXPECT_EQ(std::memcmp(glued.data(), values.data(), values.size() * sizeof(double)), 0) << id;
    }
    EXPECT_EQ(settingRows, whole.settingRows);
    EXPECT_EQ(settingIds, whole.settingIds);
    EXPECT_EQ(settingValues, whole.settingValues);
    EXPECT_EQ(notes, whole.notes);
    EXPECT_EQ(notesRejected, whole.notesRejected);
  }
};

struct PieceTotals {
  int64_t lines = 0;
  int unterminated = 0;
  int64_t fixesAccepted = 0;
  int pieces = 0;
};

// Reads every piece into `glued`; checks no piece outgrows its lines.
PieceTotals ReadPieces(WendrakeTableReader* reader, unsigned flags, int64_t lines, Glued* glued) {
  PieceTotals totals;
  const WendrakeTable* piece = nullptr;
  while (wendrake_table_reader_next(reader, &piece) == WENDRAKE_OK && piece != nullptr) {
    EXPECT_LE(wendrake_table_rows(piece), lines);
    EXPECT_GE(wendrake_table_lines(piece), totals.lines);
    EXPECT_EQ(totals.unterminated, 0) << "only the last piece ends an unterminated line";
    totals.lines = wendrake_table_lines(piece);
    totals.unterminated = wendrake_table_unterminated(piece);
    int64_t rejected = 0;
    EXPECT_EQ(wendrake_table_fixes(piece, &totals.fixesAccepted, &rejected), WENDRAKE_OK);
    glued->Append(piece, flags);
    ++totals.pieces;
  }
  EXPECT_EQ(piece, nullptr);
  EXPECT_EQ(wendrake_table_reader_next(reader, &piece), WENDRAKE_OK);  // stays at the end
  EXPECT_EQ(piece, nullptr);
  return totals;
}

void ExpectPiecesMakeTheTable(const std::string& log, const std::string& path) {
  for (unsigned flags : {0u, unsigned{WENDRAKE_TABLE_CURRENT_ONLY}, unsigned{WENDRAKE_TABLE_SETTINGS},
                         unsigned{WENDRAKE_TABLE_RECORD_FIELDS}}) {
    WendrakeTable* raw = nullptr;
    ASSERT_EQ(wendrake_table_from_buffer(log.data(), log.size(), WENDRAKE_MODULE_B101, flags, &raw), WENDRAKE_OK);
    const TablePtr table(raw, wendrake_table_free);
    Glued whole;
    whole.Append(table.get(), flags);
    int64_t accepted = 0, rejected = 0;
    wendrake_table_fixes(table.get(), &accepted, &rejected);
    for (int64_t lines : {int64_t{1}, int64_t{3}, int64_t{1000}, int64_t{1} << 40}) {
      for (int input = 0; input < 4; ++input) {
        // From a buffer or a file, each with and without reading ahead.
        const bool fromFile = input % 2 == 1;
        const bool readAhead = input >= 2;
        // A thread per tiny piece of a long log would only take time.
        if (readAhead && lines < 1000 && log.size() > 10000) continue;
        const unsigned readerFlags = flags | (readAhead ? WENDRAKE_TABLE_READ_AHEAD : 0u);
        SCOPED_TRACE("flags " + std::to_string(readerFlags) + ", lines " + std::to_string(lines) +
                     (fromFile ? ", file" : ", buffer"));
        WendrakeTableReader* opened = nullptr;
        const int result = fromFile ? wendrake_table_reader_open(path.c_str(), WENDRAKE_MODULE_B101, readerFlags,
                                                                 lines, &opened)
                                    : wendrake_table_reader_from_buffer(log.data(), log.size(), WENDRAKE_MODULE_B101,
                                                                       readerFlags, lines, &opened);
        ASSERT_EQ(result, WENDRAKE_OK);
        const ReaderPtr reader(opened, wendrake_table_reader_free);
        Glued glued;
        const PieceTotals totals = ReadPieces(reader.get(), flags, lines, &glued);
        glued.ExpectEqual(whole);
        EXPECT_EQ(totals.lines, wendrake_table_lines(table.get()));
        EXPECT_EQ(totals.unterminated, wendrake_table_unterminated(table.get()));
        EXPECT_EQ(totals.fixesAccepted, accepted);
        if (lines == 1) {
          EXPECT_GE(totals.pieces, wendrake_table_lines(table.get()));
        }
      }
    }
  }
}

std::string WriteTemp(const std::string& name, const std::string& text) {
  const std::string path = testing::TempDir() + name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

TEST(TableReaderTest, PiecesOfTheSampleMakeItsTable) {
  const std::string sample = SampleLog();
  ASSERT_GT(sample.size(), 100000u);
  const std::string path = WriteTemp("reader_sample.log", sample);
  ExpectPiecesMakeTheTable(sample, path);
  std::remove(path.c_str());
}

// Values carried over and dropped across piece ends, registrations, fixes,
// over-long and CR LF lines, and a last line without newline.
TEST(TableReaderTest, PiecesOfARoughLogMakeItsTable) {
  const std::string log =
      "RegReport\tDM\tRxagc\tTxpower\tTotal_EcIo\r\n"
      "RegReport\tEVT\tEvent\tEventName\n"
      "DAY\t2011\t10\t19\nHOUR\t15\nMIN\t42\nSEC\t7\t137\n"
      "GPS\t30.2\t120.1\n"
      "DM\t-85.5\t10.25\t-6\r\n"
      "LAB\t" + std::string(9000, 'x') + "\tDM\t-50.5\n"
      "EVT\t1A\tCALL_SETUP\n"
      "CL3\tACH\t0\t0F0004100000000000000000020203\n"
      "RegReport\tCEVS\tSession_State\tAT_State\n"
      "CEVS\t1\t3\n\n\n"
      "RegReport\tDM\tTotal_EcIo\tFoo\n"
      "DM\t-7\t1\nGPS\t30.3\t120.1\n"
      "RegReport\tDM\tRxagc\tTxpower\tRxagc\n"
      "DM\t-60\t3\t-61\nDM\t-60\t3\t-61\n"
      "EVT\t3C\tDROP";
  const std::string path = WriteTemp("reader_rough.log", log);
  ExpectPiecesMakeTheTable(log, path);
  ExpectPiecesMakeTheTable(log + "\n", WriteTemp("reader_rough.log", log + "\n"));
  std::remove(path.c_str());
}

// A pipe is read in blocks like a file; a line cut by a block's end waits
// for its rest.
TEST(TableReaderTest, PiecesOfAPipeMakeTheTable) {
  std::string log = "RegReport\tDM\tRxagc\tTxpower\n";
  for (int i = 0; i < 200000; ++i) log += "DM\t-" + std::to_string(i % 977) + "\t" + std::to_string(i % 5) + "\n";
  log += "DM\t-1";  // unterminated
  const std::string path = testing::TempDir() + "reader_fifo";
  std::remove(path.c_str());
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  std::thread writer([&] { std::ofstream(path, std::ios::binary) << log; });
  WendrakeTableReader* opened = nullptr;
  const int result =
      wendrake_table_reader_open(path.c_str(), WENDRAKE_MODULE_B101, WENDRAKE_TABLE_READ_AHEAD, 65536, &opened);
  const ReaderPtr reader(opened, wendrake_table_reader_free);
  Glued glued;
  PieceTotals totals;
  if (result == WENDRAKE_OK) totals = ReadPieces(reader.get(), 0, 65536, &glued);
  writer.join();
  std::remove(path.c_str());
  ASSERT_EQ(result, WENDRAKE_OK);
  WendrakeTable* raw = nullptr;
  ASSERT_EQ(wendrake_table_from_buffer(log.data(), log.size(), WENDRAKE_MODULE_B101, 0, &raw), WENDRAKE_OK);
  const TablePtr table(raw, wendrake_table_free);
  Glued whole;
  whole.Append(table.get(), 0);
  glued.ExpectEqual(whole);
  EXPECT_EQ(totals.lines, 200002);
  EXPECT_EQ(totals.unterminated, 1);
}

// A log truncated while it is read (rotated under the reader) ends at its
// new end: the pieces are those of the log cut there, the line cut in two
// ending it unterminated, and no signal is raised. The file is cut between
// pieces, past what the reader has read, so the cut is the same every run.
TEST(TableReaderTest, LogTruncatedWhileReadEndsWhereItWasCut) {
  std::string log = "RegReport\tDM\tRxagc\tTxpower\n";
  for (int i = 0; i < 100000; ++i) log += "DM\t-" + std::to_string(i % 977) + "\t" + std::to_string(i % 5) + "\n";
  const size_t cut = 300003;  // within a line
  ASSERT_NE(log[cut - 1], '\n');
  const std::string shortened = log.substr(0, cut);
  WendrakeTable* raw = nullptr;
  ASSERT_EQ(wendrake_table_from_buffer(shortened.data(), shortened.size(), WENDRAKE_MODULE_B101, 0, &raw),
            WENDRAKE_OK);
  const TablePtr table(raw, wendrake_table_free);
  Glued whole;
  whole.Append(table.get(), 0);
  for (const unsigned flags : {0u, unsigned{WENDRAKE_TABLE_READ_AHEAD}}) {
    SCOPED_TRACE("flags " + std::to_string(flags));
    const std::string path = WriteTemp("reader_truncated.log", log);
    WendrakeTableReader* opened = nullptr;
    ASSERT_EQ(wendrake_table_reader_open(path.c_str(), WENDRAKE_MODULE_B101, flags, 1000, &opened), WENDRAKE_OK);
    const ReaderPtr reader(opened, wendrake_table_reader_free);
    const WendrakeTable* piece = nullptr;
    ASSERT_EQ(wendrake_table_reader_next(reader.get(), &piece), WENDRAKE_OK);
    ASSERT_NE(piece, nullptr);
    Glued glued;
    glued.Append(piece, 0);
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(cut)), 0);
    const PieceTotals rest = ReadPieces(reader.get(), 0, 1000, &glued);
    glued.ExpectEqual(whole);
    EXPECT_EQ(rest.lines, wendrake_table_lines(table.get()));
    EXPECT_EQ(rest.unterminated, 1);
    std::remove(path.c_str());
  }
}

TEST(TableReaderTest, EmptyLogsAndBadArguments) {
  WendrakeTableReader* opened = nullptr;
  ASSERT_EQ(wendrake_table_reader_from_buffer("", 0, WENDRAKE_MODULE_B101, 0, 10, &opened), WENDRAKE_OK);
  const ReaderPtr reader(opened, wendrake_table_reader_free);
  const WendrakeTable* piece = nullptr;
  ASSERT_EQ(wendrake_table_reader_next(reader.get(), &piece), WENDRAKE_OK);
  ASSERT_NE(piece, nullptr);  // an empty log has one empty piece
  EXPECT_EQ(wendrake_table_rows(piece), 0);
  EXPECT_EQ(wendrake_table_column_count(piece), 22);
  ASSERT_EQ(wendrake_table_reader_next(reader.get(), &piece), WENDRAKE_OK);
  EXPECT_EQ(piece, nullptr);

  opened = reinterpret_cast<WendrakeTableReader*>(1);
  EXPECT_EQ(wendrake_table_reader_from_buffer("", 0, WENDRAKE_MODULE_B101, 0, 0, &opened), WENDRAKE_ERROR_ARGUMENT);
  EXPECT_EQ(wendrake_table_reader_from_buffer("", 0, WENDRAKE_MODULE_B101, 1u << 31, 10, &opened),
            WENDRAKE_ERROR_ARGUMENT);
  EXPECT_EQ(wendrake_table_reader_from_buffer("", 0, 0x1234, 0, 10, &opened), WENDRAKE_ERROR_MODULE);
  WendrakeTable* table = nullptr;  // reading ahead is for readers only
  EXPECT_EQ(wendrake_table_from_buffer("", 0, WENDRAKE_MODULE_B101, WENDRAKE_TABLE_READ_AHEAD, &table),
            WENDRAKE_ERROR_ARGUMENT);
  EXPECT_EQ(opened, nullptr);
  EXPECT_EQ(wendrake_table_reader_open("/nonexistent/log", WENDRAKE_MODULE_B101, 0, 10, &opened),
            WENDRAKE_ERROR_OPEN);
  EXPECT_EQ(wendrake_table_reader_open(nullptr, WENDRAKE_MODULE_B101, 0, 10, &opened), WENDRAKE_ERROR_ARGUMENT);
  EXPECT_EQ(wendrake_table_reader_next(nullptr, &piece), WENDRAKE_ERROR_ARGUMENT);
  wendrake_table_reader_free(nullptr);
}

}  // namespace
}  // namespace wendrake_test
