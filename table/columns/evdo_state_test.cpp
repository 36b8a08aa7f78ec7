// The EV-DO state as every tool reads it: the "evdo_state" column and the
// tally of its changes and durations, from whole tables and from pieces.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/sample_log.h"
#include "wendrake/table.h"

namespace {

using TablePtr = std::unique_ptr<WendrakeTable, decltype(&wendrake_table_free)>;

// A drive through every state: idle, a connection, a 1x traffic message that
// ends EV-DO use, idle again; then the clock goes back and on.
const std::string kLog =
    "RegReport\tDM\tRxagc\n"
    "RegReport\tCEVS\tAT_State\tIdle_State\tRoute_Update_State\n"
    "DM\t-80\n"                                       // row 0: no clock, no state
    "DAY\t2011\t10\t19\nHOUR\t15\nMIN\t42\nSEC\t0\t0\n"
    "CEVS\t3\t3\t1\n"                                 // row 1, 15:42:00: idle
    "SEC\t10\t0\nCEVS\t5\t0\t1\n"                     // row 2, 15:42:10: connected
    "SEC\t40\t0\nCEVS\t5\t0\t1\n"                     // row 3, 15:42:40: no change
    "MIN\t43\nSEC\t10\t0\n"
    "CL3\tRTC\t2\t10000510000000000000000000000000\n"  // row 4, 15:43:10: 1x traffic, inactive
    "SEC\t40\t0\nCEVS\t3\t3\t1\n"                     // row 5, 15:43:40: idle
    "SEC\t0\t0\nDM\t-81\n"                            // row 6, 15:43:00: the clock went back
    "SEC\t50\t0\nDM\t-82\n";                          // row 7, 15:43:50

TablePtr Table(unsigned flags) {
  WendrakeTable* table = nullptr;
  EXPECT_EQ(wendrake_table_from_buffer(kLog.data(), kLog.size(), WENDRAKE_MODULE_B101, flags, &table), WENDRAKE_OK);
  return TablePtr(table, wendrake_table_free);
}

WendrakeColumn ColumnNamed(const WendrakeTable* table, const std::string& name) {
  for (int i = 0; i < wendrake_table_column_count(table); ++i) {
    WendrakeColumn column{};
    wendrake_table_column(table, i, &column);
    if (name == column.name) return column;
  }
  ADD_FAILURE() << "no column " << name;
  return WendrakeColumn{};
}

void ExpectTheDrive(const WendrakeEvdoTally& tally) {
  EXPECT_EQ(tally.changes, 3);  // idle -> connected -> inactive -> idle
  EXPECT_DOUBLE_EQ(tally.seconds[WENDRAKE_EVDO_IDLE], 10 + 50);  // the step back adds nothing
  EXPECT_DOUBLE_EQ(tally.seconds[WENDRAKE_EVDO_CONNECTED], 60);
  EXPECT_DOUBLE_EQ(tally.seconds[WENDRAKE_EVDO_INACTIVE], 30);
  EXPECT_EQ(tally.state, WENDRAKE_EVDO_IDLE);
}

TEST(EvdoStateTest, ColumnNamesTheStateAtEveryItem) {
  for (unsigned flags : {0u, unsigned{WENDRAKE_TABLE_SETTINGS}}) {
    const TablePtr table = Table(flags);
    const WendrakeColumn column = ColumnNamed(table.get(), "evdo_state");
    ASSERT_EQ(column.type, WENDRAKE_COLUMN_CATEGORY);
    ASSERT_EQ(column.length, 8);
    ASSERT_EQ(column.categoryCount, WENDRAKE_EVDO_STATE_COUNT);
    const std::vector<int32_t> expected = {-1, 1, 2, 2, 0, 1, 1, 1};
    const auto* codes = static_cast<const int32_t*>(column.data);
    EXPECT_EQ(std::vector<int32_t>(codes, codes + column.length), expected) << flags;
    EXPECT_STREQ(column.categories[WENDRAKE_EVDO_INACTIVE], "inactive");
    EXPECT_STREQ(column.categories[WENDRAKE_EVDO_IDLE], "idle");
    EXPECT_STREQ(column.categories[WENDRAKE_EVDO_CONNECTED], "connected");
  }
}

TEST(EvdoStateTest, TallyOfAWholeTableAndOfItsPiecesAgree) {
  const TablePtr table = Table(0);
  WendrakeEvdoTally whole;
  wendrake_evdo_tally_start(&whole);
  ASSERT_EQ(wendrake_evdo_tally_add(&whole, table.get()), WENDRAKE_OK);
  ExpectTheDrive(whole);

  // Pieces of three lines cut the drive between a change and the item before it.
  for (unsigned flags : {0u, unsigned{WENDRAKE_TABLE_SETTINGS}}) {
    WendrakeTableReader* reader = nullptr;
    ASSERT_EQ(wendrake_table_reader_from_buffer(kLog.data(), kLog.size(), WENDRAKE_MODULE_B101, flags, 3, &reader),
              WENDRAKE_OK);
    WendrakeEvdoTally pieces;
    wendrake_evdo_tally_start(&pieces);
    const WendrakeTable* piece = nullptr;
    while (wendrake_table_reader_next(reader, &piece) == WENDRAKE_OK && piece != nullptr) {
      ASSERT_EQ(wendrake_evdo_tally_add(&pieces, piece), WENDRAKE_OK);
    }
    wendrake_table_reader_free(reader);
    ExpectTheDrive(pieces);
  }
}

// On the sample drive the column is the state word the items carry, and the
// tally's durations cover the drive from the first state on.
TEST(EvdoStateTest, SampleDriveColumnFollowsTheStateWord) {
  const std::string log = wendrake_test::SampleLog();
  ASSERT_FALSE(log.empty());
  WendrakeTable* raw = nullptr;
  ASSERT_EQ(wendrake_table_from_buffer(log.data(), log.size(), WENDRAKE_MODULE_B101, 0, &raw), WENDRAKE_OK);
  const TablePtr table(raw, wendrake_table_free);
  const auto* states = static_cast<const int32_t*>(ColumnNamed(table.get(), "evdo_state").data);
  const auto* words = static_cast<const double*>(ColumnNamed(table.get(), "EvdoState").data);
  const auto* clock = static_cast<const int64_t*>(ColumnNamed(table.get(), "clock_ms").data);
  const int64_t rows = wendrake_table_rows(table.get());
  int64_t firstState = -1, changes = 0;
  for (int64_t row = 0; row < rows; ++row) {
    ASSERT_EQ(states[row], words[row] == words[row] ? static_cast<int32_t>(words[row]) : -1) << row;
    if (firstState < 0 && states[row] >= 0) firstState = row;
    changes += row > 0 && states[row - 1] >= 0 && states[row] != states[row - 1];
  }
  WendrakeEvdoTally tally;
  wendrake_evdo_tally_start(&tally);
  wendrake_evdo_tally_add(&tally, table.get());
  EXPECT_EQ(tally.changes, changes);
  EXPECT_GT(changes, 2);
  const double total = tally.seconds[0] + tally.seconds[1] + tally.seconds[2];
  EXPECT_NEAR(total, static_cast<double>(clock[rows - 1] - clock[firstState]) / 1000, 1e-6);
}

TEST(EvdoStateTest, NamesAndBadArguments) {
  EXPECT_STREQ(wendrake_evdo_state_name(WENDRAKE_EVDO_CONNECTED), "connected");
  EXPECT_EQ(wendrake_evdo_state_name(-1), nullptr);
  EXPECT_EQ(wendrake_evdo_state_name(WENDRAKE_EVDO_STATE_COUNT), nullptr);
  const TablePtr table = Table(0);
  WendrakeEvdoTally tally;
  wendrake_evdo_tally_start(&tally);
  EXPECT_EQ(tally.state, -1);
  EXPECT_EQ(wendrake_evdo_tally_add(nullptr, table.get()), WENDRAKE_ERROR_ARGUMENT);
  EXPECT_EQ(wendrake_evdo_tally_add(&tally, nullptr), WENDRAKE_ERROR_ARGUMENT);
  wendrake_evdo_tally_start(nullptr);  // ignored
  // A tally never started writes no time outside its own durations.
  WendrakeEvdoTally garbage;
  garbage.state = garbage.clockState = 1 << 20;
  garbage.clockMs = 0;
  garbage.changes = 0;
  garbage.seconds[0] = garbage.seconds[1] = garbage.seconds[2] = 0;
  EXPECT_EQ(wendrake_evdo_tally_add(&garbage, table.get()), WENDRAKE_OK);
  EXPECT_EQ(garbage.changes, 3);
}

}  // namespace
