// Escaping of log bytes: every output must stay valid UTF-8 and JSON.
#include "format/text_escape.h"

#include <gtest/gtest.h>

#include <string>

namespace wendrake_cli {
namespace {

using namespace std::string_literals;

std::string Json(std::string_view bytes) {
  std::string out;
  AppendJson(&out, bytes);
  return out;
}

std::string Csv(std::string_view bytes) {
  std::string out;
  AppendCsv(&out, bytes);
  return out;
}

TEST(Utf8SequenceLength, AcceptsWellFormedAndRejectsTheRest) {
  EXPECT_EQ(Utf8SequenceLength("A"), 1u);
  EXPECT_EQ(Utf8SequenceLength("\xC3\xA9"), 2u);          // é
  EXPECT_EQ(Utf8SequenceLength("\xE2\x82\xAC"), 3u);      // €
  EXPECT_EQ(Utf8SequenceLength("\xF0\x9F\x93\xB6"), 4u);  // U+1F4F6
  EXPECT_EQ(Utf8SequenceLength("\xC0\xAF"), 0u);          // overlong '/'
  EXPECT_EQ(Utf8SequenceLength("\xE0\x80\xAF"), 0u);      // overlong
  EXPECT_EQ(Utf8SequenceLength("\xED\xA0\x80"), 0u);      // surrogate
  EXPECT_EQ(Utf8SequenceLength("\xF4\x90\x80\x80"), 0u);  // above U+10FFFF
  EXPECT_EQ(Utf8SequenceLength("\xE2\x82"), 0u);          // cut short
  EXPECT_EQ(Utf8SequenceLength("\x80"), 0u);              // lone continuation
  EXPECT_EQ(Utf8SequenceLength("\xFF"), 0u);
}

TEST(AppendJson, EscapesQuotesControlsAndInvalidBytes) {
  EXPECT_EQ(Json("a\"b\\c"), R"("a\"b\\c")");
  EXPECT_EQ(Json("DM\t1\r\n"), R"("DM\t1\r\n")");
  EXPECT_EQ(Json("\0\x01\x1F\x7F"s), R"("\u0000\u0001\u001f\u007f")");
  EXPECT_EQ(Json("\xC3\xA9"), "\"\xC3\xA9\"");
  // Bytes outside well-formed UTF-8 keep their number as a code point.
  EXPECT_EQ(Json("\xFF\xC3"), R"("\u00ff\u00c3")");
  EXPECT_EQ(Json("\xE2\x82x"), R"("\u00e2\u0082x")");
}

// Output is gathered in blocks: long texts, long plain runs and long rows of
// escapes cross their ends, and the text lands after what the string held.
TEST(AppendJson, LongTextsComeOutWhole) {
  std::string text, expected;
  for (int i = 0; i < 400; ++i) {
    const std::string field(static_cast<size_t>(i % 37), static_cast<char>('a' + i % 26));
    text += field + (i % 3 == 0 ? "\t" : "\x01") + std::string(static_cast<size_t>(i % 5 == 0 ? 700 : 0), 'z');
    expected += field + (i % 3 == 0 ? "\\t" : "\\u0001") + std::string(static_cast<size_t>(i % 5 == 0 ? 700 : 0), 'z');
  }
  text += std::string(2000, '"');
  for (int i = 0; i < 2000; ++i) expected += "\\\"";
  std::string out = "prefix";
  AppendJson(&out, text);
  EXPECT_EQ(out, "prefix\"" + expected + "\"");
}

TEST(AppendPrintable, KeepsTabsAndNewlinesAndMarksEveryOtherControl) {
  // A bare CR or an escape sequence would rewrite a terminal's line.
  EXPECT_EQ(Printable("a\tb\r\n"), "a\tb\\x0D\n");
  EXPECT_EQ(Printable("ok\rfake"), "ok\\x0Dfake");
  EXPECT_EQ(Printable("\xC2\x9B" "2J\xC2\xA0"), "\\xC2\\x9B2J\xC2\xA0");  // C1 CSI; NBSP stays
  EXPECT_EQ(OneLine("a\nb\r"), "a\\x0Ab\\x0D");
  EXPECT_EQ(Printable("\0x\x1B\xFE"s), "\\x00x\\x1B\\xFE");
  EXPECT_EQ(Printable("\xE2\x82\xAC"), "\xE2\x82\xAC");
}

TEST(AppendCsv, QuotesOnlyWhenNeeded) {
  EXPECT_EQ(Csv("plain"), "plain");
  EXPECT_EQ(Csv("a,b"), "\"a,b\"");
  EXPECT_EQ(Csv("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(Csv("<a>\n</a>"), "\"<a>\n</a>\"");
  EXPECT_EQ(Csv("a\rb"), "a\\x0Db");
  EXPECT_EQ(Csv(""), "");
}

}  // namespace
}  // namespace wendrake_cli
