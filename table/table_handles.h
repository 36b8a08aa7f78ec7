// The handles of the table library's C interface: a table or piece with the
// C views of its columns, and a reader with its current piece.
#pragma once

#include <cstdint>
#include <vector>

#include "table/columns/item_table.h"
#include "table/columns/table_builder.h"
#include "table/reading/table_reader.h"
#include "wendrake/table.h"

struct WendrakeTable {
  WendrakeTable() = default;
  WendrakeTable(const WendrakeTable&) = delete;
  WendrakeTable& operator=(const WendrakeTable&) = delete;

  wendrake::ItemTable owned;  // a whole log's table
  const wendrake::ItemTable* items = &owned;  // it, or a reader's piece
  std::vector<WendrakeColumn> columns;
  // C views of the category names.
  std::vector<const char*> recordNames;
  std::vector<const char*> eventNames;
  std::vector<const char*> messageNames;
  std::vector<const char*> noteNames;
  std::vector<const char*> evdoStateNames;
  std::vector<uint32_t> blockIds;  // parameter of each column of the block
  // C views of the messages' JSON and field texts (tables with messages).
  std::vector<const char*> messageJson;
  std::vector<const char*> fieldTexts;
};

// Lays out the C views of a table's messages.
void DescribeMessages(WendrakeTable* table);

struct WendrakeTableReader {
  WendrakeTableReader(int moduleType, wendrake::TableBuilder::Params params, size_t lines, bool readAhead,
                      bool recordFields, bool messages)
      : reader(moduleType, params, lines, readAhead, recordFields, messages) {}
  wendrake::TableReader reader;
  WendrakeTable piece;
};

