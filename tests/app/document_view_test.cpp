#include "app/document_view.h"

#include <gtest/gtest.h>

#include <QTextEdit>
#include <string>

#include "document/document.h"

namespace quillon {
namespace {

std::string Lines(const std::string& line, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    text += line + "\n";
  }
  return text;
}

// At 48 points and 96 dots per inch an em is 64 pixels and a line 80; 560 pixels hold 8.75 ems.
// The view may be 6,710,885 pixels tall: 83,886 lines.
TEST(ParagraphsTheViewCanHold, CountsLinesAtTheLargestFontUntilTheHeightIsSpent) {
  const ViewMeasure measure{560, 96.0 / 72, 48};
  const struct {
    const char* name;
    std::string bytes;
    std::size_t paragraphs;
    std::size_t held;
  } cases[] = {
      {"nothing", "", 0, 0},
      {"a few lines", Lines("Short.", 10), 11, 11},
      {"empty lines", Lines("", 99999), 100000, 83886},
      {"four lines each", Lines(std::string(35, 'x'), 30000), 30001, 20971},
      {"five lines each", Lines(std::string(36, 'x'), 30000), 30001, 16777},
      {"Latin letters beyond ASCII are one em", Lines(std::string(35, '\xE9'), 30000), 30001,
       20971},
      {"other characters are four ems", Lines(std::string(9, '\x80'), 30000), 30001, 16777},
      {"a run's own larger size", "{\\rtf1 " + Lines("{\\fs192 a}\\par ", 50000) + "}", 50001,
       41943},
      {"a smaller size takes the largest font", "{\\rtf1 " + Lines("{\\fs8 a}\\par ", 90000) + "}",
       90001, 83886},
  };
  for (const auto& c : cases) {
    const Document document = ParseDocument(c.bytes);
    ASSERT_EQ(document.ParagraphCount(), c.paragraphs) << c.name;
    EXPECT_EQ(ParagraphsTheViewCanHold(document, measure), c.held) << c.name;
  }
}

TEST(ShowDocument, HoldsThePartItCanAndSaysHowMuch) {
  QTextEdit edit;
  edit.resize(600, 571);
  const Document small = ParseDocument(Lines("A line.", 3));
  const ShownPart whole = ShowDocument(edit, small, 48);
  EXPECT_TRUE(whole.Whole());
  EXPECT_EQ(edit.document()->blockCount(), 4);

  const Document big = ParseDocument(Lines("", 199999));
  const ShownPart part = ShowDocument(edit, big, 48);
  EXPECT_FALSE(part.Whole());
  EXPECT_EQ(part.total, 200000u);
  EXPECT_GT(part.shown, 50000u);
  EXPECT_EQ(static_cast<std::size_t>(edit.document()->blockCount()), part.shown);
  EXPECT_EQ(PartShownMessage(part),
            "The document is too long to show whole: the view holds its "
            "first " +
                std::to_string(part.shown) + " of 200000 paragraphs.");
}

}  // namespace
}  // namespace quillon
