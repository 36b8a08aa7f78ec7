#include "text/element_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

namespace wendrake {
namespace {

// The element a column name and value make, written the plain way: the name
// cut to 31 bytes, stripped of outer spaces, inner spaces as underscores,
// and the close tag repeating what follows the open tag's last "<".
std::string ReferenceElement(std::string name, const std::string& value) {
  name = name.substr(0, std::min(name.find('\0'), ElementTags::kMaxName));
  const size_t first = name.find_first_not_of(' ');
  name = first == std::string::npos ? "" : name.substr(first, name.find_last_not_of(' ') - first + 1);
  for (char& c : name) c = c == ' ' ? '_' : c;
  const std::string open = "<" + name + ">";
  return open + value + "</" + open.substr(open.rfind('<') + 1) + "\n";
}

class ElementWriterTest : public testing::Test {
 protected:
  ElementWriterTest() : text_(block_) {
    std::memset(block_, 0xFF, sizeof block_);  // as a fresh item's text block
    text_.Reset();
  }

  std::string Text() const { return std::string(text_.data(), text_.length()); }

  bool Element(const char* name, std::string_view value) {
    ElementTags tags;
    tags.Form(name);
    return AppendElement(tags, value, &text_);
  }

  // The envelope as the line dispatcher writes it around the elements.
  static constexpr std::string_view kOpen = "<message>\n<format>Dtlog</format>\n<content>\n";
  static constexpr std::string_view kClose = "</content>\n</message>\n";
  void Open() { text_.Append(kOpen.data(), kOpen.size()); }
  void Close() { text_.Append(kClose.data(), kClose.size()); }

  char block_[XmlText::kBlockSize] = {};
  XmlText text_;
};

TEST_F(ElementWriterTest, ColumnRecordText) {
  Open();
  EXPECT_TRUE(Element("Rxagc", "-85.5"));
  EXPECT_TRUE(Element("Txpower", "10.25"));
  Close();
  EXPECT_EQ(Text(),
            "<message>\n<format>Dtlog</format>\n<content>\n<Rxagc>-85.5</Rxagc>\n"
            "<Txpower>10.25</Txpower>\n</content>\n</message>\n");
}

TEST_F(ElementWriterTest, TagNames) {
  Element("  Ec Io ", "1");
  Element("a\tb", "2");
  Element("", "3");
  Element("   ", "4");
  Element("a<b", "5");
  EXPECT_EQ(Text(), "<Ec_Io>1</Ec_Io>\n<a\tb>2</a\tb>\n<>3</>\n<>4</>\n<a<b>5</b>\n");
}

TEST_F(ElementWriterTest, LongRecordKeepsWholeElementsAndClosesEnvelope) {
  Open();
  const std::string value(200, '7');
  int written = 0;
  for (int column = 0; column < 60; ++column) {
    const std::string name = "Column" + std::to_string(column);
    // Short values after the first cut are left out as well.
    if (Element(name.c_str(), column % 2 == 0 ? std::string_view(value) : "1")) ++written;
  }
  Close();
  EXPECT_TRUE(text_.elementsCut());
  EXPECT_GT(written, 0);
  EXPECT_LT(written, 60);
  const std::string text = Text();
  EXPECT_LE(text.size(), XmlText::kMaxLength);
  EXPECT_EQ(text.substr(text.size() - 22), kClose);
  EXPECT_NE(text.find("</Column" + std::to_string(written - 1) + ">\n</content>"), std::string::npos);
  EXPECT_EQ(text.find("<Column" + std::to_string(written) + ">"), std::string::npos);

  // The next line starts over with room for elements.
  text_.Reset();
  EXPECT_TRUE(Element("a", "1"));
}

TEST_F(ElementWriterTest, ElementMayEndExactlyWhereTheCloseStillFits) {
  Open();  // 43 bytes
  std::string exact(XmlText::kElementLimit - 43 - 8, 'x');  // "<v>" "</v>\n" around it
  EXPECT_TRUE(Element("v", exact));
  Close();
  EXPECT_EQ(text_.length(), XmlText::kMaxLength);

  text_.Reset();
  Open();
  exact.push_back('x');
  EXPECT_FALSE(Element("v", exact));
  Close();
  EXPECT_EQ(text_.length(), 43u + 22u);
}

TEST_F(ElementWriterTest, ValueLongerThanTheBlockIsLeftOut) {
  Open();
  EXPECT_FALSE(Element("big", std::string(8000, 'h')));
  Close();
  EXPECT_EQ(Text(), std::string(kOpen) + std::string(kClose));
}

TEST_F(ElementWriterTest, ResetStartsOverAfterBytesWrittenDirectly) {
  std::memset(block_, 'b', 300);  // binary body of a layer-3 item
  text_.MarkWritten(300);
  EXPECT_EQ(text_.length(), 300u);
  text_.Reset();
  EXPECT_EQ(text_.length(), 0u);
  EXPECT_TRUE(Element("a", "1"));
  EXPECT_EQ(Text(), "<a>1</a>\n");
}

// The writer stores tags as padded blocks and writes scratch past the
// element; whatever the names and values, the text must be exactly the plain
// elements, cut at the same element, near the end of the block too.
TEST(AppendElementTest, WritesThePlainElementsAndCutsAtTheSamePlace) {
  std::mt19937 rng(11);
  for (int round = 0; round < 300; ++round) {
    char block[XmlText::kBlockSize];
    XmlText text(block);
    text.Reset();
    std::string expected;
    bool cut = false;
    for (int column = 0; column < 60; ++column) {
      std::string name(rng() % 40, static_cast<char>('a' + column % 26));
      if (!name.empty() && rng() % 3 == 0) name[rng() % name.size()] = ' ';
      const size_t length = rng() % 4 == 0 ? rng() % 400 : rng() % 40;
      const std::string value(length, static_cast<char>('0' + rng() % 10));
      ElementTags tags;
      tags.Form(name.c_str());
      const std::string element = ReferenceElement(name, value);
      const bool fits = !cut && expected.size() + element.size() <= XmlText::kElementLimit;
      cut = !fits;
      if (fits) expected += element;
      ASSERT_EQ(AppendElement(tags, value, &text), fits);
      ASSERT_EQ(std::string_view(block, text.length()), expected);
    }
    ASSERT_EQ(text.elementsCut(), cut);
  }
}

TEST(ValueUpToNulTest, ValueEndsAtFirstZero) {
  using namespace std::string_literals;
  EXPECT_EQ(ValueUpToNul("ab\0c\0"s), "ab");
  EXPECT_EQ(ValueUpToNul("abc"), "abc");
  EXPECT_EQ(ValueUpToNul("\0"s), "");
}

}  // namespace
}  // namespace wendrake
