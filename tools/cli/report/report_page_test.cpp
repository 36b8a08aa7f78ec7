// The report page's escaping and the route's thinning.
#include <gtest/gtest.h>

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

TEST(ReportPageTest, ThinKeepsTheEndsAndTheLimit) {
  std::vector<size_t> all(10001);
  for (size_t i = 0; i < all.size(); ++i) all[i] = i;
  for (size_t limit : {2, 3, 5000, 9999}) {
    const std::vector<size_t> kept = Thin(all, limit);
    EXPECT_LE(kept.size(), limit);
    EXPECT_GE(kept.size(), limit / 2);
    EXPECT_EQ(kept.front(), 0u);
    EXPECT_EQ(kept.back(), 10000u);
  }
  EXPECT_EQ(Thin({4, 7}, 5000), (std::vector<size_t>{4, 7}));
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
  const std::string json = ReportJson(view, "t", -1);
  const std::string t0 = std::to_string(view.labels[0].clockMs), t1 = std::to_string(view.labels[1].clockMs);
  EXPECT_NE(json.find("\"labels\":{\"t\":[" + t0 + "," + t1 + "],\"line\":[7,10],"
                      "\"text\":[\"Voice call 1 (MO)\",\"\\u003c/script\\u003e\xEF\xBF\xBD\"]}"),
            std::string::npos)
      << json;
}

}  // namespace
}  // namespace wendrake_cli
