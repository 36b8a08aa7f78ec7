#include "text/element_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

namespace wendrake {
namespace {

class XmlWriterTest : public testing::Test {
 protected:
  XmlWriterTest() : text_(block_) {
    std::memset(block_, 0xFF, sizeof block_);  // as a fresh item's text block
    text_.Reset();
  }

  std::string Text() const { return std::string(text_.data(), text_.length()); }

  // The envelope as the line dispatcher writes it around the elements.
  void Open() {
    WriteXmlTag("message", "\n", &text_);
    MakeXml("format", "%s", "Dtlog", &text_, nullptr, 0);
    WriteXmlTag("content", "\n", &text_);
  }
  void Close() {
    WriteXmlTag("/content", "\n", &text_);
    WriteXmlTag("/message", "\n", &text_);
  }

  char block_[XmlText::kBlockSize] = {};
  XmlText text_;
};

TEST_F(XmlWriterTest, ColumnRecordText) {
  Open();
  EXPECT_TRUE(MakeXml("Rxagc", "%s", "-85.5", &text_, nullptr, 0));
  EXPECT_TRUE(MakeXml("Txpower", "%s", "10.25", &text_, nullptr, 0));
  Close();
  EXPECT_EQ(Text(),
            "<message>\n<format>Dtlog</format>\n<content>\n<Rxagc>-85.5</Rxagc>\n"
            "<Txpower>10.25</Txpower>\n</content>\n</message>\n");
  EXPECT_EQ(text_.length(), 111u);
}

TEST_F(XmlWriterTest, TagNames) {
  MakeXml("  Ec Io ", "%s", "1", &text_, nullptr, 0);
  MakeXml("a\tb", "%s", "2", &text_, nullptr, 0);
  MakeXml("", "%s", "3", &text_, nullptr, 0);
  MakeXml("   ", "%s", "4", &text_, nullptr, 0);
  MakeXml("a<b", "%s", "5", &text_, nullptr, 0);
  EXPECT_EQ(Text(), "<Ec_Io>1</Ec_Io>\n<a\tb>2</a\tb>\n<>3</>\n<>4</>\n<a<b>5</b>\n");

  text_.Reset();
  std::string longName(300, 'n');
  MakeXml(longName.c_str(), "%s", "v", &text_, nullptr, 0);
  std::string cut(253, 'n');
  EXPECT_EQ(Text(), "<" + cut + ">v</" + cut + ">\n");

  text_.Reset();
  WriteXmlTag("x", nullptr, &text_);
  WriteXmlTag(" y z ", "\n", &text_);
  EXPECT_EQ(Text(), "<x><y_z>\n");
}

TEST_F(XmlWriterTest, FormatRules) {
  const uint8_t byte = 0xFF;
  const int32_t minusTwo = -2;
  const double level = -85.3;
  EXPECT_TRUE(MakeXml("a", "%ld%s", &byte, &text_, " dB", 1));
  EXPECT_TRUE(MakeXml("b", "%lu%s", &byte, &text_, " dB", 1));
  EXPECT_TRUE(MakeXml("c", "%.2f%s", &level, &text_, " dBm", 0));
  EXPECT_TRUE(MakeXml("d", "[%ld]", &minusTwo, &text_, " x", 1));
  EXPECT_TRUE(MakeXml("e", "0x%s: %s", "1A2B", &text_, nullptr, 0));
  EXPECT_TRUE(MakeXml("f", "<%s>", "in", &text_, nullptr, 0));
  EXPECT_TRUE(MakeXml("g", "%lu", &minusTwo, &text_, nullptr, 2));
  EXPECT_TRUE(MakeXml("h", "%s%%", "50", &text_, nullptr, 0));
  EXPECT_EQ(Text(),
            "<a>-1 dB</a>\n<b>255</b>\n<c>-85.30 dBm</c>\n<d>[-2]</d>\n<e>0x1A2B</e>\n"
            "<f><in></f>\n<g>4294967294</g>\n<h>50%</h>\n");

  text_.Reset();
  const uint8_t halfWord[2] = {0x00, 0x80};  // little-endian 0x8000
  MakeXml("s", "%ld%s", halfWord, &text_, nullptr, 2);
  MakeXml("u", "%lu%s", halfWord, &text_, nullptr, 2);
  MakeXml("w", "%ld%s", &minusTwo, &text_, nullptr, 7);
  EXPECT_EQ(Text(), "<s>-32768</s>\n<u>32768</u>\n<w>-2</w>\n");

  text_.Reset();
  EXPECT_FALSE(MakeXml("x", "%d", &minusTwo, &text_, nullptr, 4));
  EXPECT_EQ(Text(), "<x>format error in MakeXml function</x>\n");
  EXPECT_FALSE(MakeXml("x", "%s", "v", nullptr, nullptr, 0));
}

TEST_F(XmlWriterTest, ValueEndsAtFirstZero) {
  const char value[] = {'a', 'b', '\0', 'c', '\0'};
  MakeXml("v", "%s", value, &text_, nullptr, 0);
  EXPECT_EQ(Text(), "<v>ab</v>\n");
}

TEST_F(XmlWriterTest, LongRecordKeepsWholeElementsAndClosesEnvelope) {
  Open();
  std::string value(200, '7');
  int written = 0;
  for (int column = 0; column < 60; ++column) {
    std::string name = "Column" + std::to_string(column);
    // Short values after the first cut are left out as well.
    const char* v = column % 2 == 0 ? value.c_str() : "1";
    if (MakeXml(name.c_str(), "%s", v, &text_, nullptr, 0)) ++written;
  }
  Close();
  EXPECT_TRUE(text_.elementsCut());
  EXPECT_GT(written, 0);
  EXPECT_LT(written, 60);
  std::string text = Text();
  EXPECT_LE(text.size(), XmlText::kMaxLength);
  std::string lastColumn = "Column" + std::to_string(written - 1);
  EXPECT_EQ(text.substr(text.size() - 22), "</content>\n</message>\n");
  EXPECT_NE(text.find("</" + lastColumn + ">\n</content>"), std::string::npos);
  EXPECT_EQ(text.find("<Column" + std::to_string(written) + ">"), std::string::npos);

  // The next line starts over with room for elements.
  text_.Reset();
  EXPECT_TRUE(MakeXml("a", "%s", "1", &text_, nullptr, 0));
}

TEST_F(XmlWriterTest, ElementMayEndExactlyWhereTheCloseStillFits) {
  Open();  // 43 bytes
  std::string exact(XmlText::kElementLimit - 43 - 8, 'x');  // "<v>" "</v>\n" around it
  EXPECT_TRUE(MakeXml("v", "%s", exact.c_str(), &text_, nullptr, 0));
  Close();
  EXPECT_EQ(text_.length(), XmlText::kMaxLength);
  // Nothing more fits, not even a bare tag.
  WriteXmlTag("x", nullptr, &text_);
  EXPECT_EQ(text_.length(), XmlText::kMaxLength);

  text_.Reset();
  Open();
  exact.push_back('x');
  EXPECT_FALSE(MakeXml("v", "%s", exact.c_str(), &text_, nullptr, 0));
  Close();
  EXPECT_EQ(text_.length(), 43u + 22u);
}

TEST_F(XmlWriterTest, ValueLongerThanTheBlockIsLeftOut) {
  Open();
  std::string huge(8000, 'h');
  EXPECT_FALSE(MakeXml("big", "%s", huge.c_str(), &text_, nullptr, 0));
  EXPECT_FALSE(MakeXml("big", "[%s] 100%%", huge.c_str(), &text_, nullptr, 0));
  Close();
  EXPECT_EQ(Text(), "<message>\n<format>Dtlog</format>\n<content>\n</content>\n</message>\n");
}

// Column values take a faster writer than MakeXml; it must write the same
// text and make the same cuts, near the end of the block too.
TEST(AppendElementTest, WritesWhatMakeXmlWrites) {
  std::mt19937 rng(11);
  for (int round = 0; round < 300; ++round) {
    char fast[XmlText::kBlockSize], slow[XmlText::kBlockSize];
    XmlText fastText(fast), slowText(slow);
    fastText.Reset();
    slowText.Reset();
    for (int column = 0; column < 60; ++column) {
      const std::string name(rng() % 32, static_cast<char>('a' + column % 26));
      const size_t length = rng() % 4 == 0 ? rng() % 400 : rng() % 40;
      std::string value(length, static_cast<char>('0' + rng() % 10));
      ElementTags tags;
      tags.Form(name.c_str());
      const bool fastWritten = AppendElement(tags, value, &fastText);
      ASSERT_EQ(fastWritten, MakeXml(name.c_str(), "%s", value.c_str(), &slowText, nullptr, 0));
      ASSERT_EQ(std::string_view(fast, fastText.length()), std::string_view(slow, slowText.length()));
    }
    ASSERT_EQ(fastText.elementsCut(), slowText.elementsCut());
    ASSERT_LE(fastText.length(), XmlText::kElementLimit);
  }
}

TEST_F(XmlWriterTest, ResetStartsOverAfterBytesWrittenDirectly) {
  std::memset(block_, 'b', 300);  // binary body of a layer-3 item
  text_.MarkWritten(300);
  EXPECT_EQ(text_.length(), 300u);
  text_.Reset();
  EXPECT_EQ(text_.length(), 0u);
  EXPECT_TRUE(MakeXml("a", "%s", "1", &text_, nullptr, 0));
  EXPECT_EQ(Text(), "<a>1</a>\n");
}

}  // namespace
}  // namespace wendrake
