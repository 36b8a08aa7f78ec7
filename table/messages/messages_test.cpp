// The messages table and the cells of a log of known signalling messages,
// through the C interface as a host sees it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fields/test_messages.h"
#include "support/table_columns.h"
#include "wendrake/table.h"

namespace wendrake_test {
namespace {

using wendrake::BitWriter;

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string out;
  char pair[3];
  for (const uint8_t b : bytes) {
    std::snprintf(pair, sizeof pair, "%02X", b);
    out += pair;
  }
  return out;
}

// A "CL3" line of the paging channel (category 1) or of EV-DO's control
// channel (0x107C, category 9).
std::string PagingLine(const BitWriter& body, int lengthExtra = 0) {
  return "CL3\tPCH\t1\t" + Hex(wendrake::Logged1x(0x1007, body, lengthExtra)) + "\n";
}

// C.S0005 3.7.2.3.2.1, System Parameters Message, up to EXT_SYS_PARAMETER.
BitWriter SystemParameters(int pn, int sid, int nid, int baseId, double lat, double lon) {
  const auto quarterSeconds = [](double degrees, int width) {
    return static_cast<uint64_t>(std::llround(degrees * 14400)) & ((uint64_t{1} << width) - 1);
  };
  BitWriter w;
  w.Put({{8, 0x01}, {9, uint64_t(pn)}, {6, 3}, {15, uint64_t(sid)}, {16, uint64_t(nid)}, {12, 5}, {3, 1},
         {3, 1}, {1, 0}, {1, 0}, {16, uint64_t(baseId)}, {4, 0}, {3, 1}, {3, 1}, {1, 1}, {1, 1}, {1, 1},
         {1, 1}, {1, 1}, {1, 0}, {7, 0}});
  w.Put(quarterSeconds(lat, 22), 22).Put(quarterSeconds(lon, 23), 23);
  w.Put({{11, 0}, {4, 8}, {4, 8}, {4, 8}, {4, 0}, {5, 0}, {4, 0}, {1, 0}, {1, 0}, {5, 0}, {1, 0},
         {6, 28}, {6, 32}, {4, 5}, {4, 3}, {1, 0}});
  return w;
}

// C.S0005 3.7.2.3.2.3, Neighbor List Message.
BitWriter NeighborList(int pn, const std::vector<int>& neighbours) {
  BitWriter w;
  w.Put({{8, 0x03}, {9, uint64_t(pn)}, {6, 3}, {4, 4}});
  for (const int n : neighbours) w.Put({{3, 0}, {9, uint64_t(n)}});
  return w;
}

// An EV-DO control channel record: the handset's header (PN low octet
// first), the message length, the protocol type and the message.
std::string EvdoLine(int pn, const BitWriter& message) {
  BitWriter w;
  w.Put({{8, 0}, {8, uint64_t(pn & 0xFF)}, {8, uint64_t(pn >> 8)}, {8, 75}, {8, 0}, {8, 1}, {8, 0}, {8, 7},
         {8, 0}, {8, 0}});
  const std::vector<uint8_t> bytes = message.Bytes();
  w.Put(bytes.size(), 8);
  for (const uint8_t b : bytes) w.Put(b, 8);
  return "CL3\tFCH\t9\t" + Hex(wendrake::Logged(0x107C, w.Bytes())) + "\n";
}

// C.S0024 Overhead Messages Protocol, QuickConfig and SectorParameters.
BitWriter QuickConfig(int colorCode, uint32_t sectorId24) {
  BitWriter m;
  m.Put({{8, 0x0F}, {8, 0x00}, {8, uint64_t(colorCode)}, {24, sectorId24}, {16, 1}, {16, 2}, {1, 0}, {6, 0}});
  return m;
}

BitWriter SectorParameters(uint64_t sectorLow, const std::vector<int>& neighbours) {
  BitWriter m;
  m.Put({{8, 0x0F}, {8, 0x01}, {12, 310}});
  m.Put(0x00A1B2C3D4E5F607ull, 64).Put(sectorLow, 64);
  m.Put({{8, 104}, {16, 0xBEEF}});
  m.Put(583200, 22).Put(uint64_t(-1069200) & 0x7FFFFF, 23);  // 40.5, -74.25
  m.Put({{11, 0}, {8, 18}, {11, 0}, {2, 0}, {2, 0}, {5, 0}});
  m.Put(neighbours.size(), 5);
  for (const int n : neighbours) m.Put(uint64_t(n), 9);
  for (size_t i = 0; i < neighbours.size(); ++i) m.Put(0, 1);
  return m;
}

std::string Clock(int second) { return "SEC\t" + std::to_string(second) + "\t0\n"; }

// A drive: two 1x cells (one heard twice), their neighbour lists, an EV-DO
// sector with its QuickConfig, and measurement lines between them.
std::string Drive() {
  return "DAY\t2011\t10\t19\nHOUR\t15\nMIN\t42\n" + Clock(0) +
         PagingLine(SystemParameters(168, 13824, 1, 11280, 30.25, 120.125)) + "DM\t-70\n" + Clock(1) +
         PagingLine(NeighborList(168, {240, 312})) + PagingLine(SystemParameters(240, 13824, 1, 11281, 30.5, 120.0)) +
         "DM\t-71\n" + Clock(2) + EvdoLine(300, QuickConfig(77, 0x112233)) +
         EvdoLine(300, SectorParameters(0x0000000000112233ull, {12, 24})) + Clock(3) +
         PagingLine(NeighborList(168, {312, 480})) +
         PagingLine(SystemParameters(168, 13824, 1, 11280, 30.25, 120.125)) + "DM\t-72\n";
}

struct CellsDeleter {
  void operator()(WendrakeCells* cells) const { wendrake_cells_free(cells); }
};
using CellsPtr = std::unique_ptr<WendrakeCells, CellsDeleter>;

CellsPtr StartCells() {
  WendrakeCells* cells = nullptr;
  EXPECT_EQ(wendrake_cells_start(&cells), WENDRAKE_OK);
  return CellsPtr(cells);
}

std::vector<WendrakeCell> CellsOf(const WendrakeCells* cells) {
  std::vector<WendrakeCell> out(static_cast<size_t>(wendrake_cells_count(cells)));
  for (size_t i = 0; i < out.size(); ++i) EXPECT_EQ(wendrake_cells_get(cells, int64_t(i), &out[i]), WENDRAKE_OK);
  return out;
}

std::vector<int32_t> Neighbours(const WendrakeCell& cell) {
  return std::vector<int32_t>(cell.neighbours, cell.neighbours + cell.neighbourCount);
}

// The long table's entries of one row, by path.
std::map<std::string, size_t> EntriesOfRow(const WendrakeMessages& m, int64_t row) {
  std::map<std::string, size_t> out;
  for (int64_t j = 0; j < m.fieldCount; ++j) {
    if (m.fieldRows[j] == row) out[m.paths[m.fieldPaths[j]]] = size_t(j);
  }
  return out;
}

TEST(MessagesTable, OneMessagePerLayer3RowWithItsFieldsInLongFormAndAsJson) {
  const TablePtr table = FromBuffer(Drive(), WENDRAKE_TABLE_MESSAGES);
  WendrakeMessages m{};
  ASSERT_EQ(wendrake_table_messages(table.get(), &m), WENDRAKE_OK);
  const auto columns = Columns(table.get());
  const WendrakeColumn& record = columns.at("record");
  std::vector<int64_t> layer3Rows;
  for (int64_t row = 0; row < wendrake_table_rows(table.get()); ++row) {
    const int32_t code = static_cast<const int32_t*>(record.data)[row];
    if (std::string(record.categories[code]) == "CL3") layer3Rows.push_back(row);
  }
  ASSERT_EQ(std::vector<int64_t>(m.rows, m.rows + m.count), layer3Rows);
  ASSERT_EQ(m.count, 7);
  EXPECT_STREQ(m.names[0], "System Parameters Message");
  EXPECT_EQ(m.statuses[0], WENDRAKE_MESSAGE_COMPLETE);

  const auto spm = EntriesOfRow(m, m.rows[0]);
  const size_t sid = spm.at("SID");
  EXPECT_EQ(m.fieldKinds[sid], WENDRAKE_FIELD_INTEGER);
  EXPECT_EQ(m.values[sid], 13824);
  EXPECT_STREQ(wendrake_field_name(m.fieldIds[sid]), "SID");
  const size_t lat = spm.at("BASE_LAT");
  EXPECT_EQ(m.fieldKinds[lat], WENDRAKE_FIELD_REAL);
  EXPECT_DOUBLE_EQ(m.values[lat], 30.25);
  EXPECT_EQ(m.raws[lat], uint64_t(30.25 * 14400));
  EXPECT_STREQ(wendrake_field_unit(m.fieldIds[lat]), "deg");
  EXPECT_EQ(wendrake_field_unit(m.fieldIds[sid]), nullptr);
  EXPECT_NE(std::string(m.json[0]).find("\"BASE_LAT\":{\"raw\":435600,\"value\":30.25,\"unit\":\"deg\"}"),
            std::string::npos);

  // Repeated records: the record's count, then each occurrence's fields.
  const auto list = EntriesOfRow(m, m.rows[1]);
  EXPECT_EQ(m.fieldKinds[list.at("NEIGHBORS")], WENDRAKE_FIELD_RECORDS);
  EXPECT_EQ(m.values[list.at("NEIGHBORS")], 2);
  EXPECT_EQ(m.values[list.at("NEIGHBORS[1].NGHBR_PN")], 312);
  EXPECT_LT(list.at("NEIGHBORS"), list.at("NEIGHBORS[0].NGHBR_PN"));

  const auto sector = EntriesOfRow(m, m.rows[4]);
  EXPECT_STREQ(m.names[4], "SectorParameters");
  const size_t id = sector.at("SectorID");
  EXPECT_EQ(m.fieldKinds[id], WENDRAKE_FIELD_OCTETS);
  EXPECT_TRUE(std::isnan(m.values[id]));
  EXPECT_STREQ(m.texts[id], "00A1B2C3D4E5F6070000000000112233");

  // The same JSON as the single-message function gives for the item.
  char buffer[4096];
  const std::vector<uint8_t> logged = wendrake::Logged1x(0x1007, NeighborList(168, {240, 312}));
  std::vector<uint8_t> raw = {0x10, 0x00, logged[0], logged[1]};
  raw.insert(raw.end(), logged.begin(), logged.end());
  ASSERT_GT(wendrake_message_fields(raw.data(), raw.size(), WENDRAKE_FIELDS_JSON, buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, m.json[1]);
}

TEST(MessagesTable, OnlyOnRequestAndAbsentFromOtherTables) {
  const TablePtr plain = FromBuffer(Drive());
  WendrakeMessages m{};
  EXPECT_EQ(wendrake_table_messages(plain.get(), &m), WENDRAKE_ERROR_ARGUMENT);
  const CellsPtr cells = StartCells();
  EXPECT_EQ(wendrake_cells_add(cells.get(), plain.get()), WENDRAKE_ERROR_ARGUMENT);
  EXPECT_EQ(wendrake_cells_count(cells.get()), 0);
  // The flag adds nothing to the table's columns.
  const TablePtr with = FromBuffer(Drive(), WENDRAKE_TABLE_MESSAGES);
  EXPECT_EQ(wendrake_table_column_count(with.get()), wendrake_table_column_count(plain.get()));
  EXPECT_EQ(wendrake_table_rows(with.get()), wendrake_table_rows(plain.get()));
}

TEST(MessagesTable, MessageCutShortEndsInAMarkerAndNothingPastItsBody) {
  // MSG_LENGTH claims 20 octets more than were logged, and the body stops
  // inside BASE_ID: the fields up to it, then the marker.
  BitWriter cut;
  cut.Put({{8, 0x01}, {9, 168}, {6, 3}, {15, 13824}, {16, 1}, {12, 5}, {3, 1}, {3, 1}, {1, 0}, {1, 0}, {8, 0x2C}});
  const std::string log = PagingLine(cut, 20) + PagingLine(NeighborList(168, {240}));
  const TablePtr table = FromBuffer(log, WENDRAKE_TABLE_MESSAGES);
  WendrakeMessages m{};
  ASSERT_EQ(wendrake_table_messages(table.get(), &m), WENDRAKE_OK);
  ASSERT_EQ(m.count, 2);
  EXPECT_EQ(m.statuses[0], WENDRAKE_MESSAGE_TRUNCATED);
  const auto entries = EntriesOfRow(m, m.rows[0]);
  EXPECT_EQ(entries.count("BASE_ID"), 0u);
  const size_t marker = entries.at("<truncated>");
  EXPECT_EQ(m.fieldKinds[marker], WENDRAKE_FIELD_TRUNCATED);
  EXPECT_NE(std::string(m.texts[marker]).find("MSG_LENGTH says"), std::string::npos);
  // The marker is the message's last entry; the next message follows intact.
  EXPECT_EQ(m.fieldRows[marker + 1], m.rows[1]);
  EXPECT_EQ(m.statuses[1], WENDRAKE_MESSAGE_COMPLETE);
  // Cut before BASE_ID, the message names no cell.
  const CellsPtr cells = StartCells();
  ASSERT_EQ(wendrake_cells_add(cells.get(), table.get()), WENDRAKE_OK);
  EXPECT_EQ(wendrake_cells_count(cells.get()), 0);
}

TEST(Cells, BaseStationsAndSectorsWithNeighboursPositionsAndTimes) {
  const TablePtr table = FromBuffer(Drive(), WENDRAKE_TABLE_MESSAGES);
  const CellsPtr cells = StartCells();
  ASSERT_EQ(wendrake_cells_add(cells.get(), table.get()), WENDRAKE_OK);
  const std::vector<WendrakeCell> c = CellsOf(cells.get());
  ASSERT_EQ(c.size(), 3u);
  EXPECT_EQ(c[0].technology, WENDRAKE_CELL_1X);
  EXPECT_EQ((std::vector<int32_t>{c[0].pilotPn, c[0].sid, c[0].nid, c[0].baseId, c[0].colorCode}),
            (std::vector<int32_t>{168, 13824, 1, 11280, -1}));
  EXPECT_EQ(c[0].sectorId, nullptr);
  EXPECT_DOUBLE_EQ(c[0].latitude, 30.25);
  EXPECT_DOUBLE_EQ(c[0].longitude, 120.125);
  EXPECT_EQ(c[0].heard, 2);
  EXPECT_EQ(c[0].lastClockMs - c[0].firstClockMs, 3000);
  // Both neighbour lists heard on PN 168, each PN once.
  EXPECT_EQ(Neighbours(c[0]), (std::vector<int32_t>{240, 312, 480}));
  EXPECT_EQ(c[1].pilotPn, 240);
  EXPECT_TRUE(Neighbours(c[1]).empty());
  EXPECT_EQ(c[2].technology, WENDRAKE_CELL_EVDO);
  EXPECT_EQ(c[2].pilotPn, 300);
  EXPECT_EQ(c[2].colorCode, 77);
  EXPECT_EQ((std::vector<int32_t>{c[2].sid, c[2].nid, c[2].baseId}), (std::vector<int32_t>{-1, -1, -1}));
  EXPECT_STREQ(c[2].sectorId, "00A1B2C3D4E5F6070000000000112233");
  EXPECT_DOUBLE_EQ(c[2].latitude, 40.5);
  EXPECT_DOUBLE_EQ(c[2].longitude, -74.25);
  EXPECT_EQ(Neighbours(c[2]), (std::vector<int32_t>{12, 24}));
  WendrakeCell none{};
  EXPECT_EQ(wendrake_cells_get(cells.get(), 3, &none), WENDRAKE_ERROR_ARGUMENT);
  EXPECT_EQ(wendrake_cells_get(cells.get(), -1, &none), WENDRAKE_ERROR_ARGUMENT);
}

TEST(Cells, PiecesOfAReaderGiveTheCellsOfTheWholeTable) {
  const std::string log = Drive();
  const TablePtr whole = FromBuffer(log, WENDRAKE_TABLE_MESSAGES);
  const CellsPtr expected = StartCells();
  ASSERT_EQ(wendrake_cells_add(expected.get(), whole.get()), WENDRAKE_OK);
  const std::vector<WendrakeCell> want = CellsOf(expected.get());
  for (const unsigned flags : {0u, unsigned(WENDRAKE_TABLE_READ_AHEAD)}) {
    for (const int64_t lines : {1, 2, 3, 5}) {
      WendrakeTableReader* reader = nullptr;
      ASSERT_EQ(wendrake_table_reader_from_buffer(log.data(), log.size(), WENDRAKE_MODULE_B101,
                                                  flags | WENDRAKE_TABLE_MESSAGES, lines, &reader),
                WENDRAKE_OK);
      const CellsPtr cells = StartCells();
      std::vector<std::string> paths;  // the path of every entry, by piece codes
      const WendrakeTable* piece = nullptr;
      int64_t messages = 0;
      while (wendrake_table_reader_next(reader, &piece) == WENDRAKE_OK && piece != nullptr) {
        ASSERT_EQ(wendrake_cells_add(cells.get(), piece), WENDRAKE_OK);
        WendrakeMessages m{};
        ASSERT_EQ(wendrake_table_messages(piece, &m), WENDRAKE_OK);
        messages += m.count;
        for (int64_t j = 0; j < m.fieldCount; ++j) {
          ASSERT_LT(m.fieldPaths[j], m.pathCount);
          paths.push_back(m.paths[m.fieldPaths[j]]);
        }
      }
      wendrake_table_reader_free(reader);
      WendrakeMessages all{};
      ASSERT_EQ(wendrake_table_messages(whole.get(), &all), WENDRAKE_OK);
      EXPECT_EQ(messages, all.count);
      ASSERT_EQ(paths.size(), size_t(all.fieldCount));
      for (int64_t j = 0; j < all.fieldCount; ++j) EXPECT_EQ(paths[size_t(j)], all.paths[all.fieldPaths[j]]);
      const std::vector<WendrakeCell> got = CellsOf(cells.get());
      ASSERT_EQ(got.size(), want.size()) << lines;
      for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].pilotPn, want[i].pilotPn);
        EXPECT_EQ(got[i].colorCode, want[i].colorCode);
        EXPECT_EQ(got[i].heard, want[i].heard);
        EXPECT_EQ(got[i].firstClockMs, want[i].firstClockMs);
        EXPECT_EQ(got[i].lastClockMs, want[i].lastClockMs);
        EXPECT_EQ(Neighbours(got[i]), Neighbours(want[i])) << lines << " " << i;
      }
    }
  }
}

TEST(MessageFields, TextIsNeverHandedOutCutShort) {
  const std::vector<uint8_t> logged = wendrake::Logged1x(0x1007, NeighborList(168, {240, 312}));
  std::vector<uint8_t> raw = {0x10, 0x00, logged[0], logged[1]};
  raw.insert(raw.end(), logged.begin(), logged.end());
  const int64_t length = wendrake_message_fields(raw.data(), raw.size(), WENDRAKE_FIELDS_TEXT, nullptr, 0);
  ASSERT_GT(length, 0);
  std::vector<char> small(size_t(length), 'x');  // one short of the terminating zero
  EXPECT_EQ(wendrake_message_fields(raw.data(), raw.size(), WENDRAKE_FIELDS_TEXT, small.data(), small.size()),
            length);
  EXPECT_EQ(small[0], '\0');
  std::vector<char> exact(size_t(length) + 1);
  EXPECT_EQ(wendrake_message_fields(raw.data(), raw.size(), WENDRAKE_FIELDS_TEXT, exact.data(), exact.size()),
            length);
  const std::string text(exact.data());
  EXPECT_EQ(text.size(), size_t(length));
  EXPECT_EQ(text.rfind("  NEIGHBORS (2)\n", 0) == std::string::npos, true);  // MSG_LENGTH comes first
  EXPECT_NE(text.find("  NEIGHBORS (2)\n    [0]\n      NGHBR_CONFIG = 0\n      NGHBR_PN = 240\n"), std::string::npos);
  // No message in the block: no fields; bad arguments are refused.
  char buffer[8];
  EXPECT_EQ(wendrake_message_fields(raw.data(), 3, WENDRAKE_FIELDS_JSON, buffer, sizeof buffer), 2);
  EXPECT_STREQ(buffer, "{}");
  EXPECT_EQ(wendrake_message_fields(raw.data(), raw.size(), 7, buffer, sizeof buffer), WENDRAKE_ERROR_ARGUMENT);
  EXPECT_EQ(wendrake_message_fields(nullptr, 5, WENDRAKE_FIELDS_JSON, buffer, sizeof buffer),
            WENDRAKE_ERROR_ARGUMENT);
  EXPECT_EQ(wendrake_message_fields(raw.data(), raw.size(), WENDRAKE_FIELDS_JSON, nullptr, 4),
            WENDRAKE_ERROR_ARGUMENT);
}

TEST(MessageFields, CatalogueNamesEachFieldOnceWithItsUnit) {
  const int count = wendrake_field_count();
  ASSERT_GT(count, 100);
  std::map<std::string, int> seen;
  for (int id = 0; id < count; ++id) {
    ASSERT_NE(wendrake_field_name(id), nullptr);
    EXPECT_TRUE(seen.emplace(wendrake_field_name(id), id).second) << wendrake_field_name(id);
  }
  EXPECT_STREQ(wendrake_field_name(count - 1), "<truncated>");
  EXPECT_STREQ(wendrake_field_unit(seen.at("T_ADD")), "dB");
  EXPECT_EQ(wendrake_field_name(count), nullptr);
  EXPECT_EQ(wendrake_field_name(-1), nullptr);
}

}  // namespace
}  // namespace wendrake_test
