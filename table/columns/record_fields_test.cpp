// Record fields: the values a record's line holds beyond its parameters, as
// columns, equal to what the items' text shows.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/host.h"
#include "support/sample_log.h"
#include "support/table_columns.h"
#include "wendrake/table.h"

namespace wendrake_test {
namespace {

using ReaderPtr = std::unique_ptr<WendrakeTableReader, decltype(&wendrake_table_reader_free)>;

std::vector<std::string> FieldNames(const WendrakeTable* table) {
  std::vector<std::string> names;
  for (int i = 0; i < wendrake_table_column_count(table); ++i) {
    WendrakeColumn column{};
    wendrake_table_column(table, i, &column);
    if (std::string(column.name).find('.') != std::string::npos) names.push_back(column.name);
  }
  return names;
}

// A field's cell as text: a number as the shortest text, a category's text,
// "" for none.
std::string Cell(const WendrakeColumn& column, size_t row) {
  if (column.type == WENDRAKE_COLUMN_FLOAT64) {
    const double value = static_cast<const double*>(column.data)[row];
    if (std::isnan(value)) return "";
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
  }
  EXPECT_EQ(column.type, WENDRAKE_COLUMN_CATEGORY) << column.name;
  const int32_t code = static_cast<const int32_t*>(column.data)[row];
  if (code < 0) return "";
  EXPECT_LT(code, column.categoryCount);
  return column.categories[code];
}

std::string AsNumber(const std::string& text) {
  char cell[32];
  std::snprintf(cell, sizeof cell, "%.17g", std::stod(text));
  return cell;
}

// The text between <name> and </name> in an item's XML, or "".
std::string Element(const std::string& text, const std::string& name) {
  const size_t open = text.find("<" + name + ">");
  if (open == std::string::npos) return "";
  const size_t start = open + name.size() + 2;
  return text.substr(start, text.find("</" + name + ">", start) - start);
}

TEST(RecordFieldsTest, SampleFieldsAreWhatTheItemsTextShows) {
  const std::string log = SampleLog();
  ASSERT_FALSE(log.empty());
  // The items and their record tokens, one line per host cycle.
  std::vector<Item> items;
  std::vector<std::string> records;
  Host host;
  for (size_t start = 0; start < log.size();) {
    const size_t end = log.find('\n', start);
    const std::string line = log.substr(start, end - start + 1);
    start = end + 1;
    for (Item& item : host.Cycle(line)) {
      items.push_back(std::move(item));
      records.push_back(line.substr(0, line.find('\t')));
    }
  }
  const TablePtr table = FromBuffer(log, WENDRAKE_TABLE_RECORD_FIELDS);
  ASSERT_EQ(wendrake_table_rows(table.get()), static_cast<int64_t>(items.size()));
  auto columns = Columns(table.get());

  // The fields an analyst asks for, numbers where every value is one.
  const std::map<std::string, int32_t> expected = {
      {"HOP.PN", WENDRAKE_COLUMN_FLOAT64},      {"HOP.Ec_Io", WENDRAKE_COLUMN_FLOAT64},
      {"HOP.SetType", WENDRAKE_COLUMN_CATEGORY}, {"PSM.PN_1", WENDRAKE_COLUMN_FLOAT64},
      {"PSM.EcIo_1", WENDRAKE_COLUMN_FLOAT64},  {"SC.SID", WENDRAKE_COLUMN_FLOAT64},
      {"SC.BaseID", WENDRAKE_COLUMN_FLOAT64},   {"SC.Band", WENDRAKE_COLUMN_FLOAT64},
      {"UI.CallState", WENDRAKE_COLUMN_CATEGORY}, {"AP.Result", WENDRAKE_COLUMN_CATEGORY},
      {"C1XSMI.BestPN", WENDRAKE_COLUMN_FLOAT64}, {"EVT.Payload", WENDRAKE_COLUMN_CATEGORY},
  };
  for (const auto& [name, type] : expected) {
    ASSERT_EQ(columns.count(name), 1u) << name;
    EXPECT_EQ(columns[name].type, type) << name;
    EXPECT_EQ(columns[name].paramId, 0u) << name;
  }
  // Columns that feed parameters are parameter columns only.
  EXPECT_EQ(columns.count("DM.Rxagc"), 0u);
  EXPECT_EQ(columns.count("Rxagc"), 1u);

  // Every field of every row: the item's element on rows of its record,
  // nothing elsewhere.
  const std::vector<std::string> fields = FieldNames(table.get());
  ASSERT_GE(fields.size(), expected.size());
  size_t values = 0;
  for (const std::string& name : fields) {
    const std::string record = name.substr(0, name.find('.'));
    const std::string element = name.substr(name.find('.') + 1);
    const WendrakeColumn& column = columns[name];
    for (size_t row = 0; row < items.size(); ++row) {
      std::string want = records[row] == record ? Element(items[row].text, element) : "";
      if (!want.empty() && column.type == WENDRAKE_COLUMN_FLOAT64) want = AsNumber(want);
      ASSERT_EQ(Cell(column, row), want) << name << " row " << row;
      values += !want.empty();
    }
  }
  EXPECT_GT(values, 1000u);

  // Without the flag the table is as it was.
  const TablePtr plain = FromBuffer(log, 0);
  EXPECT_TRUE(FieldNames(plain.get()).empty());
  EXPECT_EQ(wendrake_table_column_count(plain.get()) + static_cast<int>(fields.size()),
            wendrake_table_column_count(table.get()));
}

// Numbers and texts, registrations that change, and the edges of a line.
TEST(RecordFieldsTest, RoughLinesGiveTheirFields) {
  using namespace std::string_literals;
  const std::string log =
      "HOP\t1\t2\n"  // row 0: before any registration, no field
      "RegReport\tHOP\tPN\tEc_Io\tWindow\tSetType\n"
      "HOP\t168\t-6.7\t\tActive\n"   // row 1: an empty field holds nothing
      "HOP\t+.5\t1e3\t7\tCandidate\n"  // row 2
      "HOP\t0x1A\t-7.\t60\n"          // row 3: hex is text; no SetType
      "RegReport\tHOP\tPN\tEc_Io\tNote\n"  // Window renamed; SetType stays
      "HOP\t12\t-5\t a b\tNeighbor\n"      // row 4
      "HOP\tinf\tnan\t1\tx\0y\n"           // row 5: a value ends at a NUL
      "RegReport\tUI\tCallState\tCallState\n"
      "UI\tIdle\tDialing\n"  // row 6: two columns of one name, the last holds
      "RegReport\tDM\tRxagc\tRemark\n"
      "DM\t-80\tok\n"  // row 7: Rxagc is a parameter
      "CL3\tACH\t0\t0F0004100000000000000000020203\n"  // row 8
      "RegReport\tEVT\tEvent\tEventName\tPayload\n"
      "EVT\t1A\tDROP\t1e999\n"  // row 9: out of range is text
      "HOP\tHOP\t3\n"s;         // row 10: the token is not counted
  const TablePtr table = FromBuffer(log, WENDRAKE_TABLE_RECORD_FIELDS);
  ASSERT_EQ(wendrake_table_rows(table.get()), 11);
  const std::vector<std::string> order = {"HOP.PN",       "HOP.Ec_Io",  "HOP.Window", "HOP.SetType",
                                          "HOP.Note",     "UI.CallState", "DM.Remark", "EVT.EventName",
                                          "EVT.Payload"};
  EXPECT_EQ(FieldNames(table.get()), order);
  auto columns = Columns(table.get());
  auto column = [&](const std::string& name) {
    std::vector<std::string> cells;
    for (size_t row = 0; row < 11; ++row) cells.push_back(Cell(columns[name], row));
    return cells;
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(columns["HOP.PN"].type, WENDRAKE_COLUMN_CATEGORY);
  EXPECT_EQ(column("HOP.PN"), (V{"", "168", "+.5", "0x1A", "12", "inf", "", "", "", "", "3"}));
  EXPECT_EQ(columns["HOP.Ec_Io"].type, WENDRAKE_COLUMN_CATEGORY);
  EXPECT_EQ(column("HOP.Ec_Io"), (V{"", "-6.7", "1e3", "-7.", "-5", "nan", "", "", "", "", ""}));
  EXPECT_EQ(columns["HOP.Window"].type, WENDRAKE_COLUMN_FLOAT64);
  EXPECT_EQ(column("HOP.Window"), (V{"", "", "7", "60", "", "", "", "", "", "", ""}));
  EXPECT_EQ(column("HOP.SetType"), (V{"", "Active", "Candidate", "", "Neighbor", "x", "", "", "", "", ""}));
  EXPECT_EQ(column("HOP.Note"), (V{"", "", "", "", " a b", "1", "", "", "", "", ""}));
  EXPECT_EQ(column("UI.CallState"), (V{"", "", "", "", "", "", "Dialing", "", "", "", ""}));
  EXPECT_EQ(column("DM.Remark"), (V{"", "", "", "", "", "", "", "ok", "", "", ""}));
  EXPECT_EQ(column("EVT.Payload"), (V{"", "", "", "", "", "", "", "", "", "1e999", ""}));
  EXPECT_EQ(columns["HOP.Note"].categoryCount, 2);
}

// Read piece by piece, every piece has the columns registered so far; a
// column is a number until its first text, and a category's codes hold from
// piece to piece.
TEST(RecordFieldsTest, PiecesKeepTheirColumnsAndCodes) {
  const std::string log =
      "RegReport\tHOP\tPN\tSetType\n"
      "HOP\t168\tActive\n"
      "HOP\t240\tCandidate\n"
      "RegReport\tSC\tSID\n"
      "SC\t13824\n"
      "HOP\tn/a\tActive\n"
      "HOP\t312\tNeighbor\n";
  for (unsigned readAhead : {0u, unsigned{WENDRAKE_TABLE_READ_AHEAD}}) {
    WendrakeTableReader* opened = nullptr;
    ASSERT_EQ(wendrake_table_reader_from_buffer(log.data(), log.size(), WENDRAKE_MODULE_B101,
                                                WENDRAKE_TABLE_RECORD_FIELDS | readAhead, 2, &opened),
              WENDRAKE_OK);
    const ReaderPtr reader(opened, wendrake_table_reader_free);
    std::vector<std::vector<std::string>> names;
    std::vector<int32_t> pnTypes;
    std::vector<std::string> pn, setType;
    std::vector<int32_t> setTypeCodes;
    const WendrakeTable* piece = nullptr;
    while (wendrake_table_reader_next(reader.get(), &piece) == WENDRAKE_OK && piece != nullptr) {
      names.push_back(FieldNames(piece));
      auto columns = Columns(piece);
      pnTypes.push_back(columns["HOP.PN"].type);
      for (int64_t row = 0; row < wendrake_table_rows(piece); ++row) {
        pn.push_back(Cell(columns["HOP.PN"], static_cast<size_t>(row)));
        setType.push_back(Cell(columns["HOP.SetType"], static_cast<size_t>(row)));
        setTypeCodes.push_back(static_cast<const int32_t*>(columns["HOP.SetType"].data)[row]);
      }
    }
    using V = std::vector<std::string>;
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names[0], (V{"HOP.PN", "HOP.SetType"}));
    EXPECT_EQ(names[1], (V{"HOP.PN", "HOP.SetType", "SC.SID"}));
    EXPECT_EQ(names[3], names[1]);
    EXPECT_EQ(pnTypes, (std::vector<int32_t>{WENDRAKE_COLUMN_FLOAT64, WENDRAKE_COLUMN_FLOAT64,
                                             WENDRAKE_COLUMN_CATEGORY, WENDRAKE_COLUMN_CATEGORY}));
    EXPECT_EQ(pn, (V{"168", "240", "", "n/a", "312"}));
    EXPECT_EQ(setType, (V{"Active", "Candidate", "", "Active", "Neighbor"}));
    EXPECT_EQ(setTypeCodes, (std::vector<int32_t>{0, 1, -1, 0, 2}));
  }
}

}  // namespace
}  // namespace wendrake_test
