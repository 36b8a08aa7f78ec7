// The table is a view of the same items a host reads through the 21
// functions: every cell is checked against the per-item path.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/host.h"
#include "support/time_zone.h"
#include "support/sample_log.h"
#include "support/table_columns.h"
#include "wendrake/table.h"

namespace wendrake_test {
namespace {

template <typename T>
T At(const WendrakeColumn& column, size_t row) {
  return static_cast<const T*>(column.data)[row];
}

std::string Category(const WendrakeColumn& column, size_t row) {
  const int32_t code = At<int32_t>(column, row);
  return code < 0 ? "" : column.categories[code];
}

double Scale(uint32_t id) {
  WendrakeParamInfo info{};
  EXPECT_EQ(wendrake_param_info(wendrake_param_slot(id), &info), 0);
  return info.scale;
}

// The text between <name> and </name> in an item's XML, or "".
std::string Element(const std::string& text, const std::string& name) {
  const size_t open = text.find("<" + name + ">");
  if (open == std::string::npos) return "";
  const size_t start = open + name.size() + 2;
  return text.substr(start, text.find("</" + name + ">", start) - start);
}

struct Reference {
  std::vector<Item> items;
  std::vector<int64_t> lines;
  std::vector<std::string> records;
};

// The per-item path: one line per call, so each item knows its line; the
// end of the input ends the last line.
Reference PerItem(const std::string& log) {
  Reference ref;
  Host host;
  size_t start = 0;
  int64_t number = 0;
  while (start < log.size()) {
    size_t end = log.find('\n', start);
    std::string line = log.substr(start, end == std::string::npos ? std::string::npos : end + 1 - start);
    if (end == std::string::npos) line += '\n';
    start = end == std::string::npos ? log.size() : end + 1;
    ++number;
    for (Item& item : host.Cycle(line)) {
      ref.items.push_back(std::move(item));
      ref.lines.push_back(number);
      ref.records.push_back(line.substr(0, line.find_first_of(" \t\r\n\v\f")));
    }
  }
  return ref;
}

void ExpectTableMatchesItems(const std::string& log, bool carried) {
  ScopedTimeZone utc("UTC0");
  const Reference ref = PerItem(log);
  const TablePtr table = FromBuffer(log, carried ? 0 : WENDRAKE_TABLE_CURRENT_ONLY);
  ASSERT_NE(table, nullptr);
  ASSERT_EQ(wendrake_table_rows(table.get()), static_cast<int64_t>(ref.items.size()));
  auto columns = Columns(table.get());
  for (size_t row = 0; row < ref.items.size(); ++row) {
    SCOPED_TRACE("row " + std::to_string(row));
    const Item& item = ref.items[row];
    ASSERT_EQ(At<int64_t>(columns["line"], row), ref.lines[row]);
    ASSERT_EQ(Category(columns["record"], row), ref.records[row]);
    ASSERT_EQ(At<uint32_t>(columns["code"], row), item.code);
    ASSERT_EQ(At<int16_t>(columns["direction"], row), item.direction);
    ASSERT_EQ(At<uint32_t>(columns["stamp"], row), item.seconds);
    ASSERT_EQ(At<uint32_t>(columns["stamp_us"], row), item.micros);
    const bool hasClock = item.seconds != WENDRAKE_STAMP_FAILED && item.seconds >= WENDRAKE_STAMP_OFFSET;
    // Under UTC0 the stamp less its offset is the log's clock.
    const int64_t clock = (int64_t{item.seconds} - WENDRAKE_STAMP_OFFSET) * 1000 + item.micros / 1000;
    ASSERT_EQ(At<int64_t>(columns["clock_ms"], row), hasClock ? clock : INT64_MIN);
    const bool isLayer3 = ref.records[row] == "CL3";
    ASSERT_EQ(At<int32_t>(columns["log_code"], row), isLayer3 ? int32_t(item.code >> 16) : -1);
    ASSERT_EQ(At<int32_t>(columns["message_type"], row), isLayer3 ? int32_t(item.code >> 8 & 0xFF) : -1);
    ASSERT_EQ(At<int32_t>(columns["sub_code"], row), isLayer3 ? int32_t(item.code & 0xFF) : -1);
    const bool isEvent = ref.records[row] == "EVT";
    if (isEvent) {
      ASSERT_EQ(At<double>(columns["event"], row), Find(item.current, WENDRAKE_PARAM_EVENT)->value);
      ASSERT_EQ(Category(columns["event_name"], row), Element(item.text, "EventName"));
    } else {
      ASSERT_TRUE(std::isnan(At<double>(columns["event"], row)));
      ASSERT_EQ(At<int32_t>(columns["event_name"], row), -1);
    }
    const char* message = isLayer3 ? wendrake_message_name(item.code) : nullptr;
    ASSERT_EQ(Category(columns["message"], row), message != nullptr ? message : "");
    // Every parameter column: the item's value in real units, or NaN.
    std::map<uint32_t, int32_t> values;
    if (carried) {
      for (const Param& p : item.inherited) values[p.id] = p.value;
    }
    for (const Param& p : item.current) values[p.id] = p.value;
    size_t found = 0;
    for (const auto& [name, column] : columns) {
      if (column.paramId == 0) continue;
      const double cell = At<double>(column, row);
      const auto value = values.find(column.paramId);
      if (value == values.end()) {
        ASSERT_TRUE(std::isnan(cell)) << name;
      } else {
        ASSERT_EQ(cell, value->second / Scale(column.paramId)) << name;
        ++found;
      }
    }
    ASSERT_EQ(found, values.size());
  }
}

// A settings table lists each item's current values, once per parameter,
// in the item's order, and has no parameter columns.
void ExpectSettingsMatchItems(const std::string& log) {
  ScopedTimeZone utc("UTC0");
  const Reference ref = PerItem(log);
  const TablePtr table = FromBuffer(log, WENDRAKE_TABLE_SETTINGS);
  ASSERT_NE(table, nullptr);
  ASSERT_EQ(wendrake_table_rows(table.get()), static_cast<int64_t>(ref.items.size()));
  for (const auto& [name, column] : Columns(table.get())) EXPECT_EQ(column.paramId, 0u) << name;
  WendrakeSettings settings{};
  ASSERT_EQ(wendrake_table_settings(table.get(), &settings), WENDRAKE_OK);
  int64_t entry = 0;
  for (size_t row = 0; row < ref.items.size(); ++row) {
    std::vector<uint32_t> listed;
    for (const Param& p : ref.items[row].current) {
      if (std::find(listed.begin(), listed.end(), p.id) != listed.end()) continue;
      listed.push_back(p.id);
      ASSERT_LT(entry, settings.count);
      EXPECT_EQ(settings.rows[entry], static_cast<int64_t>(row));
      EXPECT_EQ(settings.ids[entry], p.id);
      EXPECT_EQ(settings.values[entry], Find(ref.items[row].current, p.id)->value / Scale(p.id));
      ++entry;
    }
  }
  EXPECT_EQ(entry, settings.count);
}

TEST(TableTest, SampleLogMatchesThePerItemPath) {
  const std::string sample = SampleLog();
  ASSERT_GT(sample.size(), 100000u);
  ExpectTableMatchesItems(sample, true);
  ExpectTableMatchesItems(sample, false);
  ExpectSettingsMatchItems(sample);
}

// A log large enough for its columns' pages to be mapped on a second thread
// while rows are written, with a parameter that first has a value late.
TEST(TableTest, LargeLogFillsEveryRowWhilePagesAreMappedAhead) {
  constexpr int kRows = 300000, kLateFrom = 200000;
  std::string log = "RegReport\tDM\tRxagc\n";
  for (int i = 0; i < kRows; ++i) {
    if (i == kLateFrom) log += "RegReport\tDM\tRxagc\tTxpower\n";
    log += "DM\t" + std::to_string(-(i % 1000)) + (i >= kLateFrom ? "\t" + std::to_string(i % 7) : "") + "\n";
  }
  for (unsigned flags : {0u, unsigned{WENDRAKE_TABLE_CURRENT_ONLY}}) {
    const TablePtr table = FromBuffer(log, flags);
    ASSERT_EQ(wendrake_table_rows(table.get()), kRows);
    auto columns = Columns(table.get());
    const WendrakeColumn& rx = columns["Rxagc"];
    const WendrakeColumn& tx = columns["Txpower"];
    for (int row = 0; row < kRows; ++row) {
      ASSERT_EQ(At<double>(rx, row), -(row % 1000)) << row;
      if (row < kLateFrom) {
        ASSERT_TRUE(std::isnan(At<double>(tx, row))) << row;
      } else {
        ASSERT_EQ(At<double>(tx, row), row % 7) << row;
      }
    }
  }
  const TablePtr table = FromBuffer(log, WENDRAKE_TABLE_SETTINGS);
  WendrakeSettings settings{};
  ASSERT_EQ(wendrake_table_settings(table.get(), &settings), WENDRAKE_OK);
  ASSERT_EQ(settings.count, kRows + (kRows - kLateFrom));
  for (int64_t i = 0, row = 0; i < settings.count; ++i, ++row) {
    ASSERT_EQ(settings.rows[i], row);
    ASSERT_EQ(settings.values[i], -(row % 1000)) << row;
    if (row >= kLateFrom) {
      ASSERT_EQ(settings.values[++i], row % 7) << row;
    }
  }
}

// The parameter columns are the columns of one block, a matrix.
TEST(TableTest, ParameterColumnsShareOneBlock) {
  const TablePtr table = FromBuffer(SampleLog());
  WendrakeParamBlock block{};
  ASSERT_EQ(wendrake_table_param_block(table.get(), &block), WENDRAKE_OK);
  ASSERT_GE(block.stride, wendrake_table_rows(table.get()));
  std::map<uint32_t, const double*> starts;
  for (int k = 0; k < block.columns; ++k) starts[block.ids[k]] = block.data + k * block.stride;
  size_t paramColumns = 0;
  for (const auto& [name, column] : Columns(table.get())) {
    if (column.paramId == 0) continue;
    ++paramColumns;
    EXPECT_EQ(column.data, starts[column.paramId]) << name;
  }
  EXPECT_EQ(paramColumns, static_cast<size_t>(block.columns));
  EXPECT_EQ(starts.size(), paramColumns);

  const TablePtr settings = FromBuffer(SampleLog(), WENDRAKE_TABLE_SETTINGS);
  ASSERT_EQ(wendrake_table_param_block(settings.get(), &block), WENDRAKE_OK);
  EXPECT_EQ(block.columns, 0);
  EXPECT_EQ(block.data, nullptr);
  EXPECT_EQ(wendrake_table_param_block(nullptr, &block), WENDRAKE_ERROR_ARGUMENT);
}

// The rough edges of real logs: CR LF ends, over-long lines, columns
// registered again with other names, a parameter fed by two columns of a
// line, every record type, clock gaps and clocks out of range, events with
// and without names, a last line without newline.
TEST(TableTest, RoughLogsMatchThePerItemPath) {
  const std::string log =
      "DM\t-1\n"  // before any registration or clock
      "RegReport\tDM\tRxagc\tTxpower\tTotal_EcIo\r\n"
      "RegReport\tEVT\tEvent\tEventName\n"
      "RegReport\tCEVS\tSession_State\tAT_State\tALMP_State\tInit_State\tIdle_State\n"
      "DAY\t2011\t10\t19\nHOUR\t15\nMIN\t42\nSEC\t7\t137\n"
      "DM\t-85.5\t10.25\t-6\r\n"
      "LAB\t" + std::string(9000, 'x') + "\tDM\t-50.5\n"
      "EVT\t1A\tCALL_SETUP\n"
      "EVT\t2B\t\n"
      "SEC\t75\t1500\n"  // carried over as the C library carries it
      "SC\t1\t2\nPCP\t3\nC1XQI\t4\nHOP\t5\nPSM\t6\nAP\t7\nUI\t8\nASFI\t9\nC1XSMI\t10\n"
      "CL3\tACH\t0\t0F0004100000000000000000020203\n"
      "CL3\tPCH\t1\t\n"
      "CEVS\t1\t3\t1\t0\t3\n"
      "RegReport\tDM\tTotal_EcIo\tFoo\n"
      "DM\t-7\t1\n"
      "RegReport\tDM\tRxagc\tTxpower\tRxagc\n"
      "DM\t-60\t3\t-61\nDM\t-60\t3\t-61\n"
      "DAY\t2011\t13\t0\nDM\t-8\n"
      "GPS\t30.2\t120.1\nVOT\t1\nENT\t2\nUNKNOWN\t3\n\n"
      "EVT\t3C\tDROP";
  ExpectTableMatchesItems(log, true);
  ExpectTableMatchesItems(log, false);
  ExpectSettingsMatchItems(log);
  const TablePtr table = FromBuffer(log);
  EXPECT_EQ(wendrake_table_rows(table.get()), 21);
  EXPECT_EQ(wendrake_table_unterminated(table.get()), 1);
  EXPECT_EQ(wendrake_table_lines(table.get()), std::count(log.begin(), log.end(), '\n') + 1);
}

TEST(TableTest, FileAndBufferGiveTheSameTable) {
  const std::string sample = SampleLog();
  const std::string path = testing::TempDir() + "table_test.log";
  {
    std::ofstream out(path, std::ios::binary);
    out << sample;
  }
  WendrakeTable* raw = nullptr;
  ASSERT_EQ(wendrake_table_from_file(path.c_str(), WENDRAKE_MODULE_B101, 0, &raw), WENDRAKE_OK);
  const TablePtr fromFile(raw, wendrake_table_free);
  const TablePtr fromBuffer = FromBuffer(sample);
  ASSERT_EQ(wendrake_table_column_count(fromFile.get()), wendrake_table_column_count(fromBuffer.get()));
  for (int i = 0; i < wendrake_table_column_count(fromFile.get()); ++i) {
    WendrakeColumn a{}, b{};
    wendrake_table_column(fromFile.get(), i, &a);
    wendrake_table_column(fromBuffer.get(), i, &b);
    EXPECT_STREQ(a.name, b.name);
    const size_t width = a.type == WENDRAKE_COLUMN_INT64 || a.type == WENDRAKE_COLUMN_FLOAT64 ? 8
                         : a.type == WENDRAKE_COLUMN_INT16                                  ? 2
                                                                                            : 4;
    EXPECT_EQ(std::memcmp(a.data, b.data, width * static_cast<size_t>(a.length)), 0) << a.name;
  }
  std::remove(path.c_str());
}

// A file truncated while wendrake_table_from_file reads it (a log rotated
// under the reader): whenever the cut comes, the call succeeds with the table
// of the lines read before it, never a signal. The cut comes from a second
// thread at a moment that varies; what is checked holds for every moment.
TEST(TableTest, FileTruncatedWhileReadGivesTheLinesReadBeforeTheCut) {
  std::string log = "RegReport\tDM\tRxagc\tTxpower\n";
  for (int i = 0; i < 400000; ++i) log += "DM\t-" + std::to_string(i % 977) + "\t" + std::to_string(i % 5) + "\n";
  const TablePtr full = FromBuffer(log);
  const std::map<std::string, WendrakeColumn> fullColumns = Columns(full.get());
  const std::string path = testing::TempDir() + "table_truncated.log";
  for (const int delayMicros : {0, 200, 2000, 20000}) {
    SCOPED_TRACE("cut after " + std::to_string(delayMicros) + " us");
    std::ofstream(path, std::ios::binary | std::ios::trunc) << log;
    std::thread cutter([&] {
      std::this_thread::sleep_for(std::chrono::microseconds(delayMicros));
      EXPECT_EQ(truncate(path.c_str(), 1000), 0);
    });
    WendrakeTable* raw = nullptr;
    const int result = wendrake_table_from_file(path.c_str(), WENDRAKE_MODULE_B101, 0, &raw);
    cutter.join();
    ASSERT_EQ(result, WENDRAKE_OK);
    const TablePtr table(raw, wendrake_table_free);
    const int64_t rows = wendrake_table_rows(table.get());
    ASSERT_LE(rows, wendrake_table_rows(full.get()));
    EXPECT_LE(wendrake_table_lines(table.get()), wendrake_table_lines(full.get()));
    // Row for row, the items are the first items of the whole log.
    for (const char* name : {"line", "code"}) {
      const WendrakeColumn column = Columns(table.get()).at(name);
      const size_t width = column.type == WENDRAKE_COLUMN_INT64 ? 8 : 4;
      EXPECT_EQ(std::memcmp(column.data, fullColumns.at(name).data, width * static_cast<size_t>(rows)), 0) << name;
    }
  }
  std::remove(path.c_str());
}

TEST(TableTest, FailuresAreResultCodes) {
  WendrakeTable* table = reinterpret_cast<WendrakeTable*>(1);
  EXPECT_EQ(wendrake_table_from_file("/nonexistent/log", WENDRAKE_MODULE_B101, 0, &table),
            WENDRAKE_ERROR_OPEN);
  EXPECT_EQ(table, nullptr);
  EXPECT_EQ(wendrake_table_from_file("/", WENDRAKE_MODULE_B101, 0, &table), WENDRAKE_ERROR_READ);
  EXPECT_EQ(wendrake_table_from_buffer("", 0, 0x1234, 0, &table), WENDRAKE_ERROR_MODULE);
  EXPECT_EQ(wendrake_table_from_buffer("", 0, WENDRAKE_MODULE_B101, 1u << 31, &table), WENDRAKE_ERROR_ARGUMENT);
  EXPECT_EQ(wendrake_table_from_buffer(nullptr, 1, WENDRAKE_MODULE_B101, 0, &table), WENDRAKE_ERROR_ARGUMENT);
  EXPECT_EQ(wendrake_table_from_buffer("", 0, WENDRAKE_MODULE_B101, 0, nullptr), WENDRAKE_ERROR_ARGUMENT);
  EXPECT_STREQ(wendrake_error_message(WENDRAKE_ERROR_OPEN), "cannot open the log");
  EXPECT_STREQ(wendrake_error_message(42), "unknown error");
  WendrakeColumn column{};
  EXPECT_EQ(wendrake_table_column(nullptr, 0, &column), WENDRAKE_ERROR_ARGUMENT);

  // An empty log is an empty table with its fixed columns.
  const TablePtr empty = FromBuffer("");
  EXPECT_EQ(wendrake_table_rows(empty.get()), 0);
  EXPECT_EQ(wendrake_table_lines(empty.get()), 0);
  EXPECT_EQ(wendrake_table_column_count(empty.get()), 22);  // the fixed columns
  EXPECT_EQ(wendrake_table_unterminated(empty.get()), 0);
  WendrakeSettings settings{};
  EXPECT_EQ(wendrake_table_settings(empty.get(), &settings), WENDRAKE_ERROR_ARGUMENT);
  EXPECT_EQ(wendrake_table_settings(nullptr, &settings), WENDRAKE_ERROR_ARGUMENT);
}

// Positions: each item takes the last kept fix before it; impossible fixes
// and jumps are counted and left out.
TEST(TableTest, ItemsTakeTheLastPossibleFix) {
  const std::string clock = "DAY\t2011\t10\t19\nHOUR\t15\nMIN\t42\n";
  const std::string log =
      clock + "SEC\t0\t0\nDM\t1\n"                       // row 0: before any fix
      "GPS\t30.274141\t120.166627\t14.4\t42.0\t90\t8\n"  // kept (positional layout)
      "SEC\t2\t500\nDM\t2\n"                              // row 1: 2.5 s after it
      "GPS\t91\t120\nGPS\t30\t181\nGPS\t0\t0\nGPS\t\t120\n"  // impossible
      "GPS\t31.274141\t120.166627\n"                        // 111 km in 1 s: a jump
      "DM\t3\n"                                              // row 2: still the first fix
      "RegReport\tGPS\tSats\tLONGITUDE\tlat\tSpeed\n"
      "SEC\t3\t0\nGPS\t9\t120.1666\t30.2741\t50\n"         // kept, by name
      "DM\t4\n"                                              // row 3
      "SEC\t1\t0\nDM\t5\n";                               // row 4: clock went back
  const TablePtr table = FromBuffer(log);
  auto columns = Columns(table.get());
  ASSERT_EQ(wendrake_table_rows(table.get()), 5);
  int64_t accepted = 0, rejected = 0;
  ASSERT_EQ(wendrake_table_fixes(table.get(), &accepted, &rejected), WENDRAKE_OK);
  EXPECT_EQ(accepted, 2);
  EXPECT_EQ(rejected, 5);
  const WendrakeColumn& lat = columns["latitude"];
  const WendrakeColumn& lon = columns["longitude"];
  const WendrakeColumn& age = columns["fix_age"];
  EXPECT_TRUE(std::isnan(At<double>(lat, 0)));
  EXPECT_EQ(At<double>(lat, 1), 30.274141);
  EXPECT_EQ(At<double>(lon, 1), 120.166627);
  EXPECT_EQ(At<double>(columns["altitude"], 1), 14.4);
  EXPECT_EQ(At<double>(columns["satellites"], 1), 8);
  EXPECT_EQ(At<double>(age, 1), 2.5);
  EXPECT_EQ(At<double>(lat, 2), 30.274141);
  EXPECT_EQ(At<double>(lat, 3), 30.2741);
  EXPECT_EQ(At<double>(lon, 3), 120.1666);
  EXPECT_EQ(At<double>(columns["speed"], 3), 50);
  EXPECT_EQ(At<double>(columns["satellites"], 3), 9);
  EXPECT_TRUE(std::isnan(At<double>(columns["altitude"], 3)));  // not registered
  EXPECT_EQ(At<double>(age, 3), 0);
  EXPECT_TRUE(std::isnan(At<double>(lat, 4)));
}

// A fix's fields are read whole: hemisphere letters give the sign, and a
// field with anything more than a decimal number rejects the fix rather
// than being read by its numeric prefix.
TEST(TableTest, FixFieldsAreWholeDecimalNumbers) {
  const std::string log =
      "GPS\t30.1S\t120.1W\t12\n"
      "DM\t1\n"
      "GPS\t30,5\t-120.1\nGPS\t0x1E\t-120.1\nGPS\t-30.1\t-120.1abc\nGPS\t-30.1\t-120.1\t1e2\n"
      "GPS\t-30.1S\t-120.1\nGPS\t30.1E\t-120.1\nGPS\t-30.1\tinf\nGPS\t.\t-120.1\nGPS\t1.2.3\t-120.1\n"
      "GPS\t 30.1001s \t-120.1001\t\t5\r\n"
      "DM\t2\n";
  const TablePtr table = FromBuffer(log);
  auto columns = Columns(table.get());
  ASSERT_EQ(wendrake_table_rows(table.get()), 2);
  int64_t accepted = 0, rejected = 0;
  wendrake_table_fixes(table.get(), &accepted, &rejected);
  EXPECT_EQ(accepted, 2);
  EXPECT_EQ(rejected, 9);
  EXPECT_EQ(At<double>(columns["latitude"], 0), -30.1);
  EXPECT_EQ(At<double>(columns["longitude"], 0), -120.1);
  EXPECT_EQ(At<double>(columns["altitude"], 0), 12);
  EXPECT_EQ(At<double>(columns["latitude"], 1), -30.1001);
  EXPECT_EQ(At<double>(columns["longitude"], 1), -120.1001);
  EXPECT_TRUE(std::isnan(At<double>(columns["altitude"], 1)));
  EXPECT_EQ(At<double>(columns["speed"], 1), 5);
}

// A track that starts on a glitch follows fixes that agree with each other.
TEST(TableTest, ConsistentFixesAwayFromAGlitchTakeOver) {
  std::string log = "GPS\t10\t10\n";  // the glitch, no clock: one second apart
  for (int i = 0; i < 4; ++i) log += "GPS\t30.27" + std::to_string(i) + "\t120.16\n";
  log += "DM\t1\n";
  const TablePtr table = FromBuffer(log);
  int64_t accepted = 0, rejected = 0;
  wendrake_table_fixes(table.get(), &accepted, &rejected);
  EXPECT_EQ(accepted, 3);  // the glitch, the third of the run, the fourth
  EXPECT_EQ(rejected, 2);
  auto columns = Columns(table.get());
  EXPECT_EQ(At<double>(columns["latitude"], 0), 30.273);
}

// "LAB", "VOT" and "ENT" lines: read beside the items, each kept with its
// line, clock and position, the label carried to the rows that follow it.
TEST(TableTest, LabelsVoiceQualityAndWaypoints) {
  const std::string log =
      "DAY\t2011\t10\t19\nHOUR\t15\nMIN\t42\nSEC\t0\t0\n"
      "DM\t1\n"                                    // row 0, line 5: no label yet
      "LAB\tVoice call 1 (MO)\n"                   // line 6
      "GPS\t30.274141\t120.166627\n"
      "DM\t2\n"                                    // row 1
      "SEC\t1\t500\nVOT\t3.76\tEVRC\t0\n"        // line 10
      "VOT\t3.7x\tEVRC\nVOT\t\tEVRC\nVOT\n"       // not wholly a number: rejected
      "ENT\tWaypoint\t1\tStadium junction\n"      // line 14
      "LAB\t\nLAB\tVoice\tcall 1 end\n"           // no text: rejected; fields joined
      "DM\t3\n";                                   // row 2, line 17
  const TablePtr table = FromBuffer(log);
  auto columns = Columns(table.get());
  ASSERT_EQ(wendrake_table_rows(table.get()), 3);
  EXPECT_EQ(Category(columns["label"], 0), "");
  EXPECT_EQ(Category(columns["label"], 1), "Voice call 1 (MO)");
  EXPECT_EQ(Category(columns["label"], 2), "Voice call 1 end");

  WendrakeNotes notes{};
  ASSERT_EQ(wendrake_table_notes(table.get(), &notes), WENDRAKE_OK);
  ASSERT_EQ(notes.count, 4);
  EXPECT_EQ(notes.rejected, 4);
  const auto text = [&](int i) { return notes.texts[i] < 0 ? std::string() : notes.names[notes.texts[i]]; };
  EXPECT_EQ(std::vector<int64_t>(notes.lines, notes.lines + 4), (std::vector<int64_t>{6, 10, 14, 16}));
  EXPECT_EQ(std::vector<int32_t>(notes.kinds, notes.kinds + 4),
            (std::vector<int32_t>{WENDRAKE_NOTE_LABEL, WENDRAKE_NOTE_VOICE_QUALITY, WENDRAKE_NOTE_WAYPOINT,
                                  WENDRAKE_NOTE_LABEL}));
  EXPECT_EQ(text(0), "Voice call 1 (MO)");
  EXPECT_TRUE(std::isnan(notes.values[0]));
  EXPECT_TRUE(std::isnan(notes.latitudes[0]));  // before the first fix
  EXPECT_EQ(text(1), "EVRC");
  EXPECT_EQ(notes.values[1], 3.76);
  EXPECT_EQ(notes.latitudes[1], 30.274141);
  EXPECT_EQ(notes.longitudes[1], 120.166627);
  EXPECT_EQ(notes.clockMs[1] - notes.clockMs[0], 1500);
  EXPECT_EQ(text(2), "Waypoint Stadium junction");
  EXPECT_EQ(notes.values[2], 1);
  EXPECT_EQ(text(3), "Voice call 1 end");
  EXPECT_EQ(wendrake_table_notes(nullptr, &notes), WENDRAKE_ERROR_ARGUMENT);
  EXPECT_EQ(wendrake_table_notes(table.get(), nullptr), WENDRAKE_ERROR_ARGUMENT);
}

}  // namespace
}  // namespace wendrake_test
