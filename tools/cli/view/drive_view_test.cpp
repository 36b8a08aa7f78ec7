// The drive read piece by piece: KPIs that first come in a later piece,
// a second pass over the same log that keeps only some KPIs, and a log
// without items that says why.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "view/drive_view.h"

namespace wendrake_cli {
namespace {

struct Pass {
  int64_t rows = 0, lines = 0;
  std::vector<double> last;  // the KPIs of the last item
  size_t firstKpis = 0;      // KPIs of the first item
};

Pass ReadAll(DriveReader* reader) {
  Pass pass;
  std::string error;
  bool first = true;
  while (reader->Next(&error)) {
    for (const DriveItem& item : reader->items()) {
      if (first) pass.firstKpis = item.kpis.size(), first = false;
      pass.last = item.kpis;
    }
  }
  EXPECT_EQ(error, "");
  pass.rows = reader->rows();
  pass.lines = reader->lines();
  return pass;
}

TEST(DriveReaderTest, KpisOfLaterPiecesAndASecondPass) {
  const std::string path = testing::TempDir() + "pieces.log";
  {
    std::ofstream log(path, std::ios::binary);
    log << "RegReport\tDM\tRxagc\tTxpower\n";
    // Txpower has a value only pieces after the first.
    for (int i = 0; i < 3 * DriveReader::kLinesPerPiece; ++i) {
      if (i < 2 * DriveReader::kLinesPerPiece) log << "DM\t-" << 70 + i % 20 << "\t\n";
      else log << "DM\t-" << 70 + i % 20 << "\t" << i % 7 << "\n";
    }
  }
  DriveReader reader;
  std::string error;
  ASSERT_TRUE(reader.Open(path, 0xB101, &error)) << error;
  const Pass all = ReadAll(&reader);
  ASSERT_EQ(reader.kpis().size(), 2u);
  EXPECT_EQ(reader.kpis()[0].name, "Rxagc");
  EXPECT_EQ(reader.kpis()[0].unit, "dBm");
  EXPECT_EQ(reader.kpis()[1].name, "Txpower");
  EXPECT_EQ(all.firstKpis, 1u);  // before Txpower had a value
  EXPECT_EQ(all.last.size(), 2u);

  // Again, keeping Txpower only: the same rows and lines, one KPI each.
  const DriveKpi txpower = reader.kpis()[1];
  ASSERT_TRUE(reader.Rewind(&error)) << error;
  reader.KeepOnly({txpower});
  const Pass kept = ReadAll(&reader);
  std::remove(path.c_str());
  EXPECT_EQ(kept.rows, all.rows);
  EXPECT_EQ(kept.lines, all.lines);
  EXPECT_EQ(kept.firstKpis, 1u);
  ASSERT_EQ(kept.last.size(), 1u);
  EXPECT_EQ(kept.last[0], all.last[1]);
}

TEST(DriveReaderTest, ALogWithoutItemsSaysWhy) {
  const std::string path = testing::TempDir() + "gzip.log";
  std::ofstream(path, std::ios::binary) << std::string("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10) << "abc\n";
  DriveReader reader;
  std::string error;
  ASSERT_TRUE(reader.Open(path, 0xB101, &error)) << error;
  while (reader.Next(&error)) {
  }
  std::remove(path.c_str());
  EXPECT_NE(error.find("no report item in"), std::string::npos) << error;
  EXPECT_NE(error.find("gzip"), std::string::npos) << error;
  EXPECT_FALSE(reader.Next(&error));  // and stays at its end
}

TEST(DriveReaderTest, KpiNamesMatchInAnyCase) {
  const std::vector<DriveKpi> kpis = CatalogueKpis();
  const int exact = KpiIndexOf(kpis, "Rxagc");
  ASSERT_GE(exact, 0);
  EXPECT_EQ(KpiIndexOf(kpis, "RXAGC"), exact);
  EXPECT_EQ(KpiIndexOf(kpis, "no such kpi"), -1);
  for (const DriveKpi& kpi : kpis) EXPECT_NE(kpi.id, static_cast<uint32_t>(WENDRAKE_PARAM_EVENT));
}

}  // namespace
}  // namespace wendrake_cli
