// The report page's escaping and the thinning of its route and series.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#include "report/report_page.h"
#include "view/drive_view.h"

namespace wendrake_cli {
namespace {

TEST(ReportPageTest, JsonCannotEndTheScriptElement) {
  EXPECT_EQ(ScriptSafeJson("{\"a\":\"</script><!--&\"}"), "{\"a\":\"\\u003c/script\\u003e\\u003c!--\\u0026\"}");
  // JavaScript once ended lines at U+2028 and U+2029; other characters stay.
  EXPECT_EQ(ScriptSafeJson("\"\xE2\x80\xA8\xE2\x80\xA9\xE2\x82\xAC\""), "\"\\u2028\\u2029\xE2\x82\xAC\"");
}

TEST(ReportPageTest, SafeTextReplacesBadBytesAndControls) {
  EXPECT_EQ(SafeText("a\xFF" "b\x01\tc\x7F"), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD\xEF\xBF\xBD" "c\xEF\xBF\xBD");
  EXPECT_EQ(SafeText("\xC3\xA9 \xE2\x80\xA8"), "\xC3\xA9 \xE2\x80\xA8");
  EXPECT_EQ(SafeText("\xE2\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD");  // a cut sequence
}

TEST(ReportPageTest, TemplateValuesAreNotSearchedAgain) {
  EXPECT_EQ(FillTemplate("<a>@X@ @Y@ me@host @Z</a>", {{"X", "@Y@"}, {"Y", "y"}}), "<a>@Y@ y me@host @Z</a>");
}

// "LAB" lines reach the page as labels of the time axis, with their clock
// and line, their text escaped like every log text.
TEST(ReportPageTest, LabelsOfTheDriveScriptReachThePage) {
  const std::string path = testing::TempDir() + "labels.log";
  std::ofstream(path, std::ios::binary)
      << "DAY\t2011\t10\t19\nHOUR\t15\nMIN\t42\nSEC\t7\t0\nRegReport\tDM\tRxagc\nDM\t-70\n"
         "LAB\tVoice call 1 (MO)\nDM\t-71\nSEC\t9\t0\nLAB\t</script>\x01\nVOT\t3.5\tEVRC\nDM\t-72\n";
  DriveReader reader;
  ReportBuilder builder;
  std::string error;
  ASSERT_TRUE(reader.Open(path, 0xB101, &error)) << error;
  std::vector<DriveLabel> labels;
  while (reader.Next(&error)) {
    builder.Add(reader);
    labels.insert(labels.end(), reader.labels().begin(), reader.labels().end());
  }
  ASSERT_EQ(error, "");
  std::remove(path.c_str());
  ASSERT_EQ(labels.size(), 2u);
  EXPECT_EQ(labels[0].line, 7);
  EXPECT_EQ(labels[1].clockMs - labels[0].clockMs, 2000);
  const std::string json = builder.Json(reader, "t", RouteColouring{});
  const std::string t0 = std::to_string(labels[0].clockMs), t1 = std::to_string(labels[1].clockMs);
  EXPECT_NE(json.find("\"labels\":{\"t\":[" + t0 + "," + t1 + "],\"line\":[7,10],"
                      "\"text\":[\"Voice call 1 (MO)\",\"\\u003c/script\\u003e\xEF\xBF\xBD\"]}"),
            std::string::npos)
      << json;
}

// A long drive's page keeps its size: the event table holds the first
// kMaxEvents, and the summary says how many there were, so that nothing is
// cut silently.
TEST(ReportPageTest, TablesOfALongDriveAreCutAndSaySo) {
  const std::string path = testing::TempDir() + "events.log";
  {
    std::ofstream log(path, std::ios::binary);
    log << "RegReport\tEVT\tEvent\tEventName\nDAY\t2011\t10\t19\nHOUR\t8\nMIN\t0\n";
    for (size_t i = 0; i < kMaxEvents + 7; ++i) log << "SEC\t" << i % 60 << "\t0\nEVT\t101\tDROP\n";
  }
  DriveReader reader;
  ReportBuilder builder;
  std::string error;
  ASSERT_TRUE(reader.Open(path, 0xB101, &error)) << error;
  while (reader.Next(&error)) builder.Add(reader);
  ASSERT_EQ(error, "");
  std::remove(path.c_str());
  const std::string json = builder.Json(reader, "t", RouteColouring{});
  EXPECT_NE(json.find("\"events\":" + std::to_string(kMaxEvents + 7) + ","), std::string::npos);
  const size_t table = json.find("\"events\":{\"t\":[");
  ASSERT_NE(table, std::string::npos);
  const std::string times = json.substr(table, json.find(']', table) - table);
  EXPECT_EQ(static_cast<size_t>(std::count(times.begin(), times.end(), ',')), kMaxEvents - 1);
}

}  // namespace
}  // namespace wendrake_cli
