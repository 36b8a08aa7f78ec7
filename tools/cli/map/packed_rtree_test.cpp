#include "map/packed_rtree.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace wendrake_cli {
namespace {

struct Point {
  int64_t rowid;
  double x, y;
};

// A drive: a random walk with a few items at each place, row ids in order
// with a gap now and then (rows deleted before the index was made).
std::vector<Point> Drive(size_t count, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> step(-0.0005, 0.0005);
  std::uniform_int_distribution<int> stay(1, 20);
  std::vector<Point> points;
  double x = 121.4, y = 31.2;
  int64_t rowid = 1;
  while (points.size() < count) {
    x += step(random);
    y += step(random);
    for (int i = stay(random); i > 0 && points.size() < count; --i) points.push_back({rowid++, x, y});
    if (stay(random) == 1) rowid += 3;
  }
  return points;
}

class PackedRtreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/wendrake-rtree-XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    path_ = name;
    Open();
    Exec("CREATE VIRTUAL TABLE idx USING rtree(id, minx, maxx, miny, maxy)");
  }
  void TearDown() override {
    sqlite3_close(db_);
    std::remove(path_.c_str());
  }

  void Open() {
    if (db_ != nullptr) sqlite3_close(db_);
    db_ = nullptr;
    ASSERT_EQ(sqlite3_open(path_.c_str(), &db_), SQLITE_OK);
  }
  void Exec(const std::string& sql) {
    char* message = nullptr;
    ASSERT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message), SQLITE_OK) << (message ? message : "");
  }
  std::string Text(const std::string& sql) {
    sqlite3_stmt* statement = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr), SQLITE_OK) << sqlite3_errmsg(db_);
    std::string text;
    if (sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_text(statement, 0) != nullptr) {
      text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    }
    sqlite3_finalize(statement);
    return text;
  }
  std::set<int64_t> Ids(const std::string& sql) {
    sqlite3_stmt* statement = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr), SQLITE_OK) << sqlite3_errmsg(db_);
    std::set<int64_t> ids;
    while (sqlite3_step(statement) == SQLITE_ROW) ids.insert(sqlite3_column_int64(statement, 0));
    sqlite3_finalize(statement);
    return ids;
  }

  // Packs `points` into the table and opens the file again, as a reader would.
  void Pack(const std::vector<Point>& points) {
    RtreePoints packed;
    for (const Point& p : points) packed.Add(p.rowid, p.x, p.y);
    std::string error;
    Exec("BEGIN");
    ASSERT_TRUE(FillPackedRtree(db_, "idx", packed, &error)) << error;
    Exec("COMMIT");
    Open();
  }

  // The index's answer for a window against every point's own test.
  void ExpectWindow(const std::vector<Point>& points, double minX, double minY, double maxX, double maxY) {
    char sql[256];
    std::snprintf(sql, sizeof sql, "SELECT id FROM idx WHERE minx <= %.17g AND maxx >= %.17g AND miny <= %.17g AND maxy >= %.17g",
                  maxX, minX, maxY, minY);
    std::set<int64_t> expected;
    for (const Point& p : points) {
      const RtreeBox box = RtreeBox::OfPoint(p.x, p.y);
      if (box.minX <= maxX && box.maxX >= minX && box.minY <= maxY && box.maxY >= minY) expected.insert(p.rowid);
    }
    EXPECT_EQ(Ids(sql), expected) << sql;
  }

  std::string path_;
  sqlite3* db_ = nullptr;
};

TEST_F(PackedRtreeTest, EveryTreeShapeChecksAndAnswersLikeAScan) {
  // Nodes hold 51 cells here: empty, a root that is a leaf, one level
  // exactly full, one more, and three levels.
  for (size_t count : {size_t{0}, size_t{1}, size_t{51}, size_t{52}, size_t{51 * 51 + 7}, size_t{20000}}) {
    SCOPED_TRACE(count);
    Exec("DELETE FROM idx");
    Exec("DROP TABLE idx");
    Exec("CREATE VIRTUAL TABLE idx USING rtree(id, minx, maxx, miny, maxy)");
    const std::vector<Point> points = Drive(count, static_cast<unsigned>(count));
    Pack(points);
    EXPECT_EQ(Text("SELECT rtreecheck('idx')"), "ok");
    EXPECT_EQ(Text("SELECT count(*) FROM idx"), std::to_string(count));
    std::mt19937 random(7);
    std::uniform_real_distribution<double> corner(-0.02, 0.02);
    std::uniform_real_distribution<double> size(0.0, 0.01);
    for (int window = 0; window < 20; ++window) {
      const double x = 121.4 + corner(random), y = 31.2 + corner(random);
      ExpectWindow(points, x, y, x + size(random), y + size(random));
    }
    if (!points.empty()) {  // a window around one point only finds the items there
      const Point& p = points[points.size() / 2];
      ExpectWindow(points, p.x, p.y, p.x, p.y);
    }
  }
}

TEST_F(PackedRtreeTest, TheModuleEditsAPackedTreeAsItsOwn) {
  std::vector<Point> points = Drive(5000, 3);
  Pack(points);
  Exec("DELETE FROM idx WHERE id % 7 = 0");
  std::erase_if(points, [](const Point& p) { return p.rowid % 7 == 0; });
  Exec("BEGIN");
  for (int i = 0; i < 3000; ++i) {
    const Point p{100000 + i, 121.3 + i * 1e-5, 31.1 - i * 1e-5};
    points.push_back(p);
    char sql[160];
    std::snprintf(sql, sizeof sql, "INSERT INTO idx VALUES (%lld, %.17g, %.17g, %.17g, %.17g)",
                  static_cast<long long>(p.rowid), p.x, p.x, p.y, p.y);
    Exec(sql);
  }
  Exec("COMMIT");
  Open();
  EXPECT_EQ(Text("SELECT rtreecheck('idx')"), "ok");
  EXPECT_EQ(Text("SELECT count(*) FROM idx"), std::to_string(points.size()));
  ExpectWindow(points, 121.3, 31.0, 121.5, 31.3);
  ExpectWindow(points, 121.31, 31.08, 121.32, 31.09);
}

TEST(RtreeBoxTest, APointsBoxHoldsItWhateverItsRounding) {
  for (double value : {121.4, -121.4, 31.2, 0.0, -0.0, 1e-40, 179.99999999999997, -90.0, 0.1, 16777217.0}) {
    const RtreeBox box = RtreeBox::OfPoint(value, -value);
    EXPECT_LE(box.minX, value);
    EXPECT_GE(box.maxX, value);
    EXPECT_LE(box.minY, -value);
    EXPECT_GE(box.maxY, -value);
    // No wider than it must be: one float step where the value falls between two.
    if (static_cast<double>(static_cast<float>(value)) == value) {
      EXPECT_EQ(box.minX, box.maxX);
    } else {
      EXPECT_EQ(std::nextafter(box.minX, INFINITY), box.maxX);
    }
  }
}

TEST(RtreePointsTest, ItemsAtOnePlaceShareARunUntilARowIdIsSkipped) {
  RtreePoints points;
  points.Add(1, 121.4, 31.2);
  points.Add(2, 121.4, 31.2);
  points.Add(3, 121.4, 31.2);
  points.Add(5, 121.4, 31.2);  // a row id skipped: a new run
  points.Add(6, 121.5, 31.2);  // another place
  ASSERT_EQ(points.runs().size(), 3u);
  EXPECT_EQ(points.count(), 5);
  EXPECT_EQ(points.runs()[0].length, 3);
  EXPECT_EQ(points.runs()[1].firstRowid, 5);
  EXPECT_EQ(points.runs()[2].firstRowid, 6);
}

}  // namespace
}  // namespace wendrake_cli
