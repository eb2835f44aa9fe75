// Rich text in other code pages: the document's (\ansicpg) and each font's (\fcharset, \cpg), as
// word processors on other-language systems write them.
#include "document/code_page.h"

#include <gtest/gtest.h>

#include <string>

#include "document/document.h"

namespace quillon {
namespace {

constexpr const char* kFonts =
    "{\\fonttbl{\\f0\\fnil\\fcharset204 Calibri;}{\\f1\\fnil\\fcharset0 Calibri;}"
    "{\\f2\\fnil\\fcharset128 MS Mincho;}{\\f3\\fswiss\\fcharset161{\\*\\panose 0} Arial;}"
    "{\\f4\\fnil\\fcharset0\\cpg1253 Greek by code page;}{\\f5\\fnil\\fcharset2 Symbol;}}";

TEST(RichTextCodePages, BytesAreReadInTheirFontsOrTheDocumentsCodePage) {
  // clang-format off
  const struct { const char* name; std::string body; const char* text; } cases[] = {
    {"Cyrillic font",              "\\f0 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2, \\'e4\\'e0",  "Привет, да"},
    {"Western font beside it",     "\\f1 caf\\'e9",                                 "café"},
    {"Japanese, two escapes each", "\\f2 \\'93\\'fa\\'96\\'7b",                     "日本"},
    {"Greek",                      "\\f3 \\'c1\\'e8\\'de\\'ed\\'e1",                "Αθήνα"},
    {"code page over charset",     "\\f4 \\'e1",                                    "α"},
    {"symbol font: the document's","\\f5 \\'e4",                                    "д"},
    {"default font",               "\\'e4",                                         "д"},
    {"raw bytes in the font",      "\\f0 \xe4\xe0",                                 "да"},
    {"groups restore the font",    "{\\f1 \\'e4}\\'e4",                              "äд"},
    {"plain returns to default",   "\\f1\\plain \\'e4",                             "д"},
    {"control words are Western",  "\\f0 \\ldblquote\\'e4\\rdblquote\\emdash",     "“д”—"},
    {"a cut character",            "\\f2 \\'93\\f1 a",                              "\uFFFDa"},
    {"Unicode wins over fallback", "\\f0\\uc1 \\u1078\\'e6",                        "ж"},
  };
  // clang-format on
  for (const auto& c : cases) {
    const std::string rtf =
        std::string("{\\rtf1\\ansi\\ansicpg1251\\deff0 ") + kFonts + "\\pard " + c.body + "\\par}";
    const Document document = ParseDocument(rtf);
    ASSERT_GE(document.ParagraphCount(), 1u) << c.name;
    EXPECT_EQ(document.ParagraphAt(0).text_utf8, c.text) << c.name;
  }
}

TEST(RichTextCodePages, TheDocumentsCodePageAndUnknownOnes) {
  // clang-format off
  const struct { const char* rtf; const char* text; } cases[] = {
    {"{\\rtf1\\ansi \\'e4}",                                          "ä"},  // no \ansicpg: 1252
    {"{\\rtf1\\ansi\\ansicpg1253 \\'e1}",                             "α"},
    {"{\\rtf1\\ansi\\ansicpg99999 \\'e4}",                            "ä"},  // unknown: 1252
    {"{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset99 X;}}\\f0 \\'e4}",      "ä"},  // unknown set
    {"{\\rtf1\\ansi{\\fonttbl{\\f0\\cpg99999 X;}}\\f0 \\'e4}",        "ä"},  // unknown page
  };
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(ParseDocument(c.rtf).TextUtf8(), c.text) << c.rtf;
  }
  EXPECT_EQ(CodePageToUtf8("\x93\xfa\x93", 932), "日\uFFFD");
}

}  // namespace
}  // namespace quillon
