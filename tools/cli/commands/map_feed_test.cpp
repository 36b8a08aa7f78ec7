// The drive as the map module pulls it: each piece made on a second thread
// while the one before is written must give the same items, in the same
// order, as reading the log straight through.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "commands/map_feed.h"

namespace wendrake_cli {
namespace {

struct Seen {
  int64_t line;
  double rxagc, latitude, longitude;
  std::string record;
  bool operator==(const Seen&) const = default;
};

// A drive over several pieces: a fix every tenth line.
std::string DriveLog() {
  const std::string path = testing::TempDir() + "feed.log";
  std::ofstream log(path, std::ios::binary);
  log << "RegReport\tDM\tRxagc\tTxpower\n";
  for (int i = 0; i < 3 * DriveReader::kLinesPerPiece + 100; ++i) {
    if (i % 10 == 0) log << "GPS\t30.2741\t" << 120.1552 + i * 1e-5 << "\t14.0\t37.4\t90\t11\n";
    else log << "DM\t-" << 70 + i % 20 << "\t" << i % 7 << "\n";
  }
  return path;
}

std::vector<Seen> Straight(const std::string& path) {
  DriveReader reader;
  std::string error;
  EXPECT_TRUE(reader.Open(path, 0xB101, &error)) << error;
  std::vector<Seen> seen;
  while (reader.Next(&error)) {
    for (const DriveItem& item : reader.items()) {
      if (item.positioned()) seen.push_back({item.line, item.kpis[0], item.latitude, item.longitude, item.record});
    }
  }
  EXPECT_EQ(error, "");
  return seen;
}

TEST(MapFeedTest, PiecesMadeAheadAreTheItemsInOrder) {
  const std::string path = DriveLog();
  const std::vector<Seen> expected = Straight(path);
  ASSERT_GT(expected.size(), static_cast<size_t>(2 * DriveReader::kLinesPerPiece));
  DriveReader reader;
  std::string error;
  ASSERT_TRUE(reader.Open(path, 0xB101, &error)) << error;
  std::vector<Seen> seen;
  {
    MapFeed feed(&reader, 2, 0, 0);
    WendrakeMapPiece piece{};
    int pieces = 0;
    while (feed.Next(&piece, &error)) {
      ++pieces;
      ASSERT_EQ(piece.items, piece.points);  // not thinned
      for (size_t i = 0; i < piece.item_count; ++i) {
        const WendrakeMapItem& item = piece.items[i];
        seen.push_back({item.line, item.kpis[0], item.latitude, item.longitude, item.record});
        EXPECT_EQ(item.colour, item.kpis[0]);
      }
    }
    EXPECT_EQ(error, "");
    EXPECT_GE(pieces, 4);
    EXPECT_FALSE(feed.Next(&piece, &error));  // and stays ended
  }
  EXPECT_EQ(seen, expected);
}

TEST(MapFeedTest, StoppingEarlyWaitsForThePieceBeingMade) {
  const std::string path = DriveLog();
  DriveReader reader;
  std::string error;
  ASSERT_TRUE(reader.Open(path, 0xB101, &error)) << error;
  {
    MapFeed feed(&reader, 2, 0, 50);
    WendrakeMapPiece piece{};
    ASSERT_TRUE(feed.Next(&piece, &error)) << error;
    EXPECT_GT(piece.item_count, 0u);
  }  // the module gave up after one piece: the feed lets the reader go
  EXPECT_TRUE(reader.Next(&error)) << error;
}

TEST(MapFeedTest, ALogWithoutAPositionSaysSo) {
  const std::string path = testing::TempDir() + "nofix.log";
  {
    std::ofstream log(path, std::ios::binary);
    log << "RegReport\tDM\tRxagc\nDM\t-70\nDM\t-71\n";
  }
  DriveReader reader;
  std::string error;
  ASSERT_TRUE(reader.Open(path, 0xB101, &error)) << error;
  MapFeed feed(&reader, 1, 0, 0);
  WendrakeMapPiece piece{};
  while (feed.Next(&piece, &error)) EXPECT_EQ(piece.item_count, 0u);
  EXPECT_NE(error.find("nothing to map"), std::string::npos) << error;
}

}  // namespace
}  // namespace wendrake_cli
