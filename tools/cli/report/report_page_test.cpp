// The report page's escaping and the thinning of its route and series.
#include <gtest/gtest.h>

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

double Lowest(const std::vector<double>& values) {
  double low = kNoValue;
  for (double v : values) low = std::isnan(low) || v < low ? v : low;
  return low;
}

double Highest(const std::vector<double>& values) {
  double high = kNoValue;
  for (double v : values) high = std::isnan(high) || v > high ? v : high;
  return high;
}

// However hard a drive is thinned, a dip of one item still shows, and so do
// the first and last item.
TEST(ReportPageTest, ThinningKeepsEveryExtreme) {
  DriveView view;
  view.kpiNames = {"wave", "ramp"};
  std::vector<size_t> rows, ends;
  double top = kNoValue;
  for (size_t i = 0; i < 10001; ++i) {
    DriveItem item;
    item.kpis = {std::sin(static_cast<double>(i) * 0.37) * 10, i % 7 == 0 ? kNoValue : static_cast<double>(i)};
    if (i == 4321) item.kpis[0] = -99.58;
    top = std::isnan(top) || item.kpis[0] > top ? item.kpis[0] : top;
    view.items.push_back(item);
    rows.push_back(i);
    ends.push_back(i + 1);
  }
  for (size_t limit : {2, 3, 100, 5000}) {
    const ThinRows thin = ThinKeepingExtremes(view, rows, ends, {0, 1}, limit);
    EXPECT_TRUE(thin.thinned);
    EXPECT_LE(thin.items.size(), limit);
    EXPECT_GE(thin.items.size(), limit / 2);
    EXPECT_EQ(thin.items.front(), 0u);
    EXPECT_EQ(thin.items.back(), 10000u);
    ASSERT_EQ(thin.kpis.size(), 2u);
    EXPECT_EQ(thin.kpis[0].size(), thin.items.size());
    EXPECT_EQ(thin.kpis[1].size(), thin.items.size());
    EXPECT_EQ(Lowest(thin.kpis[0]), -99.58) << limit;
    EXPECT_EQ(Highest(thin.kpis[0]), top) << limit;
    EXPECT_EQ(Lowest(thin.kpis[1]), 1) << limit;
    EXPECT_EQ(Highest(thin.kpis[1]), 10000) << limit;
  }
  // Rows that fit stay as they are.
  const ThinRows all = ThinKeepingExtremes(view, {3, 4, 5}, {1, 2, 3}, {1}, 5000);
  EXPECT_FALSE(all.thinned);
  EXPECT_EQ(all.items, (std::vector<size_t>{3, 4, 5}));
  EXPECT_EQ(all.kpis[0], (std::vector<double>{3, 4, 5}));
}

TEST(ReportPageTest, RouteCollapsesItemsOfOneFix) {
  DriveView view;
  const double lat[] = {kNoValue, 30.1, 30.1, 30.2, 30.2, 30.1};
  for (double value : lat) {
    DriveItem item;
    item.latitude = value;
    item.longitude = value == value ? 120.0 : kNoValue;
    view.items.push_back(item);
  }
  // The last item of each run stands for it.
  EXPECT_EQ(RouteVertices(view), (std::vector<size_t>{2, 4, 5}));

  // Drawn, a run is its first and last item with its KPI's extremes in the
  // order they came, or its one item.
  view.kpiNames = {"k"};
  const double values[] = {1, 9, 2, kNoValue, 7, 5};
  for (size_t i = 0; i < view.items.size(); ++i) view.items[i].kpis = {values[i]};
  std::vector<size_t> rows, ends;
  RouteRuns(view, &rows, &ends);
  EXPECT_EQ(rows, (std::vector<size_t>{1, 2, 3, 4, 5}));
  EXPECT_EQ(ends, (std::vector<size_t>{2, 4, 5}));
  const ThinRows drawn = ThinKeepingExtremes(view, rows, ends, {0}, 5000);
  EXPECT_EQ(drawn.items, (std::vector<size_t>{1, 2, 3, 4, 5}));
  EXPECT_EQ(drawn.kpis[0], (std::vector<double>{9, 2, 7, 7, 5}));
}

// "LAB" lines reach the page as labels of the time axis, with their clock
// and line, their text escaped like every log text.
TEST(ReportPageTest, LabelsOfTheDriveScriptReachThePage) {
  const std::string path = testing::TempDir() + "labels.log";
  std::ofstream(path, std::ios::binary)
      << "DAY\t2011\t10\t19\nHOUR\t15\nMIN\t42\nSEC\t7\t0\nRegReport\tDM\tRxagc\nDM\t-70\n"
         "LAB\tVoice call 1 (MO)\nDM\t-71\nSEC\t9\t0\nLAB\t</script>\x01\nVOT\t3.5\tEVRC\nDM\t-72\n";
  DriveView view;
  std::string error;
  ASSERT_TRUE(LoadDriveView(path, 0xB101, &view, &error)) << error;
  std::remove(path.c_str());
  ASSERT_EQ(view.labels.size(), 2u);
  EXPECT_EQ(view.labels[0].line, 7);
  EXPECT_EQ(view.labels[1].clockMs - view.labels[0].clockMs, 2000);
  const std::string json = ReportJson(view, "t", RouteColouring{});
  const std::string t0 = std::to_string(view.labels[0].clockMs), t1 = std::to_string(view.labels[1].clockMs);
  EXPECT_NE(json.find("\"labels\":{\"t\":[" + t0 + "," + t1 + "],\"line\":[7,10],"
                      "\"text\":[\"Voice call 1 (MO)\",\"\\u003c/script\\u003e\xEF\xBF\xBD\"]}"),
            std::string::npos)
      << json;
}

}  // namespace
}  // namespace wendrake_cli
