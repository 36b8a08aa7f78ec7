// Tables made from log text in tests, and their columns by name.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "wendrake/table.h"

namespace wendrake_test {

using TablePtr = std::unique_ptr<WendrakeTable, decltype(&wendrake_table_free)>;

// The table of `log`, decoded as a B101 log with `flags`.
inline TablePtr FromBuffer(const std::string& log, unsigned flags = 0) {
  WendrakeTable* table = nullptr;
  EXPECT_EQ(wendrake_table_from_buffer(log.data(), log.size(), WENDRAKE_MODULE_B101, flags, &table),
            WENDRAKE_OK);
  return TablePtr(table, wendrake_table_free);
}

// Every column of `table` by name; each must span all its rows.
inline std::map<std::string, WendrakeColumn> Columns(const WendrakeTable* table) {
  std::map<std::string, WendrakeColumn> columns;
  for (int i = 0; i < wendrake_table_column_count(table); ++i) {
    WendrakeColumn column{};
    EXPECT_EQ(wendrake_table_column(table, i, &column), WENDRAKE_OK);
    EXPECT_EQ(column.length, wendrake_table_rows(table));
    columns[column.name] = column;
  }
  return columns;
}

}  // namespace wendrake_test
