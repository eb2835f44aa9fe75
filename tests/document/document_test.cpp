#include "document/document.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "reading/line_fetcher.h"
#include "reading/memory_view.h"
#include "text/reader_state.h"

namespace quillon {
namespace {

const std::string kDataDir = QUILLON_SOURCE_DIR "/tests/document/data/";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> ParagraphTexts(const Document& document) {
  std::vector<std::string> texts;
  for (const Paragraph& p : document) {
    texts.emplace_back(p.text_utf8);
  }
  return texts;
}

}  // namespace

void PrintTo(const Paragraph& p, std::ostream* os) {
  *os << "{\"" << p.text_utf8 << "\", " << p.runs.size() << " runs, alignment "
      << static_cast<int>(p.alignment) << "}";
}

namespace {

std::string Rtf(const std::string& body) {
  return "{\\rtf1\\ansi " + body + "}";
}

struct TextCase {
  const char* name;
  std::string input;
  std::vector<std::string> paragraphs;  // UTF-8
};

void PrintTo(const TextCase& c, std::ostream* os) {
  *os << c.name;
}

class DocumentText : public testing::TestWithParam<TextCase> {};

TEST_P(DocumentText, LoadsTheParagraphs) {
  EXPECT_EQ(ParagraphTexts(ParseDocument(GetParam().input)), GetParam().paragraphs);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(PlainText, DocumentText, testing::Values(
  TextCase{"Empty",             "",                      {}},
  TextCase{"OneLine",           "Hello",                 {"Hello"}},
  TextCase{"NoFinalBreak",      "a\nb",                  {"a", "b"}},
  TextCase{"LineFeeds",         "a\nb\n",                {"a", "b", ""}},
  TextCase{"CarriageReturns",   "a\rb\r",                {"a", "b", ""}},
  TextCase{"CrLf",              "a\r\nb\r\n",            {"a", "b", ""}},
  TextCase{"MixedAndBlank",     "a\r\n\r\nb\n\rc",       {"a", "", "b", "", "c"}},
  TextCase{"TrailingBlankLine", "a\n\n",                 {"a", "", ""}},
  TextCase{"Windows1252Bytes",  "\x93Hi\x94 \x85 caf\xE9", {"\u201CHi\u201D \u2026 caf\u00E9"}},
  TextCase{"NulBytesDropped",   std::string("a\0b\n\0", 5), {"ab", ""}},
  TextCase{"AlmostRichText",    "{\\rt not rich",        {"{\\rt not rich"}},
  TextCase{"BracesAreText",     "{a}\\par",              {"{a}\\par"}}
), [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(RichText, DocumentText, testing::Values(
  TextCase{"Paragraphs",        Rtf("one\\par two\\par"),                      {"one", "two", ""}},
  TextCase{"LastWithoutPar",    Rtf("one\\par two"),                           {"one", "two"}},
  TextCase{"BlankParagraph",    Rtf("one\\par\\par two"),                      {"one", "", "two"}},
  TextCase{"LineEndsIgnored",   Rtf("on\r\ne\ntwo"),                           {"onetwo"}},
  TextCase{"EscapedNewlineIsPar", Rtf("one\\\ntwo"),                           {"one", "two"}},
  TextCase{"LineBreakSplits",   Rtf("one\\line two"),                          {"one", "two"}},
  TextCase{"SpaceDelimiter",    Rtf("a\\b  b\\b0 c"),                          {"a bc"}},
  TextCase{"Specials",          Rtf("\\emdash\\endash\\lquote\\rquote\\ldblquote\\rdblquote\\bullet\\tab|"),
                                {"\u2014\u2013\u2018\u2019\u201C\u201D\u2022\t|"}},
  TextCase{"Symbols",           Rtf("a\\~b\\-c\\_d\\\\\\{\\}"),               {"a\u00A0bc-d\\{}"}},
  TextCase{"HexBytes",          Rtf("\\'85\\'e9\\'80\\'3f"),                   {"\u2026\u00E9\u20AC?"}},
  TextCase{"HexOneDigit",       Rtf("\\'4x"),                                  {"\x04x"}},
  TextCase{"UnicodeFallback",   Rtf("\\u955\\'3fx \\u8212?y"),                 {"\u03BBx \u2014y"}},
  TextCase{"UnicodeNegative",   Rtf("\\u-4064?"),                              {"\uF020"}},
  TextCase{"UcZero",            Rtf("\\uc0\\u955 x"),                          {"\u03BBx"}},
  TextCase{"UcTwo",             Rtf("\\uc2\\u955\\'3f\\'3fx"),                 {"\u03BBx"}},
  TextCase{"UcScoped",          Rtf("{\\uc2\\u955 ab}\\u955 ab"),              {"\u03BB\u03BBb"}},
  TextCase{"FallbackStopsAtGroup", Rtf("\\uc5\\u955{x}"),                      {"\u03BBx"}},
  TextCase{"FallbackControlWord", Rtf("\\u955\\par x"),                        {"\u03BBx"}},
  TextCase{"SurrogatePair",     Rtf("\\u-10179?\\u-8704?"),                    {"\U0001F600"}},
  TextCase{"LoneSurrogate",     Rtf("\\u-10179?x"),                            {"\uFFFDx"}},
  TextCase{"EscapedLineEnds",   Rtf("a\\'0db\\'0ac\\u13?d\\u8232?e\\u8233?f"),  {"a", "b", "c", "d", "e", "f"}},
  TextCase{"UnicodeOutOfRange", Rtf("\\u99999999?x"),                          {"\uFFFDx"}},
  TextCase{"Destinations",      Rtf("{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red0;}{\\stylesheet{\\s0 Normal;}}"
                                    "{\\info{\\title T}}a{\\pict\\picw1 0a0b}{\\object{\\objdata 01}}b"),
                                {"ab"}},
  TextCase{"StarDestination",   Rtf("a{\\*\\generator x{y}\\}z}b{\\*\\unknown c}d"), {"abd"}},
  TextCase{"StarNotAtStart",    Rtf("{a\\*b}"),                                {"ab"}},
  TextCase{"FieldResult",       Rtf("{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt link}}"), {"link"}},
  TextCase{"HeaderFootnote",    Rtf("a{\\header h}{\\footnote n}b"),           {"ab"}},
  TextCase{"BinarySkipped",     Rtf("a\\bin3 }{\\b"),                          {"ab"}},
  TextCase{"BinaryInPicture",   Rtf("a{\\pict\\bin4 }}}{}b"),                  {"ab"}},
  TextCase{"UnknownWords",      Rtf("\\foo12 a\\bar-3 b\\q"),                  {"ab"}},
  TextCase{"TextAfterDocument", "{\\rtf1 a}b\\par c",                          {"a"}},
  TextCase{"RootNotSkipped",    "{\\rtf1 \\fonttbl a\\*b}",                    {"ab"}},
  TextCase{"NulBytesDropped",   std::string("{\\rtf1 a\0b\\'00c}", 16),      {"abc"}}
), [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(BadRichText, DocumentText, testing::Values(
  TextCase{"Unclosed",          "{\\rtf1 a\\par b{\\b c",                      {"a", "bc"}},
  TextCase{"StrayClosing",      "{\\rtf1 a}}}}",                               {"a"}},
  TextCase{"CutInControlWord",  "{\\rtf1 a\\pa",                               {"a"}},
  TextCase{"CutAfterBackslash", "{\\rtf1 a\\",                                 {"a"}},
  TextCase{"CutInHex",          "{\\rtf1 a\\'",                                {"a"}},
  TextCase{"CutInDestination",  "{\\rtf1 a{\\fonttbl{\\f0 Ar",                 {"a"}},
  TextCase{"CutInUnicode",      "{\\rtf1 a\\u955",                             {"a\u03BB"}},
  TextCase{"HugeBinary",        "{\\rtf1 a\\bin99999999999999999999 bcd}",     {"a"}},
  TextCase{"NegativeBinary",    "{\\rtf1 a\\bin-5 b}",                         {"ab"}},
  TextCase{"HugeUc",            "{\\rtf1 {\\uc2147483647\\u955 skipped}x}",    {"\u03BBx"}},
  TextCase{"HugeParameter",     "{\\rtf1 \\b99999999999999999999999 a\\i-99999999999999999 b}", {"ab"}},
  TextCase{"LongWord",          "{\\rtf1 \\" + std::string(100000, 'p') + "ar a}", {"a"}}
), [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(DocumentFormat, KeepsCharacterFormattingInRuns) {
  const Document d = ParseDocument(
      Rtf("\\fs20 a{\\b b{\\i c}}{\\ul d\\ulnone e}{\\fs48 f}\\b g\\plain h\\b i\\b0 j"));
  ASSERT_EQ(d.ParagraphCount(), 1u);
  const auto f = [](bool b, bool i, bool u, int size) { return TextFormat{b, i, u, size}; };
  const std::vector<TextRun> expected = {
      {"a", f(false, false, false, 20)}, {"b", f(true, false, false, 20)},
      {"c", f(true, true, false, 20)},   {"d", f(false, false, true, 20)},
      {"e", f(false, false, false, 20)}, {"f", f(false, false, false, 48)},
      {"g", f(true, false, false, 20)},  {"h", f(false, false, false, 0)},
      {"i", f(true, false, false, 0)},   {"j", f(false, false, false, 0)},
  };
  EXPECT_EQ(d.ParagraphAt(0).runs, expected);
}

TEST(DocumentFormat, MergesRunsOfEqualFormat) {
  const Document d = ParseDocument(Rtf("{\\b a}{\\b b}c{\\i}d"));
  ASSERT_EQ(d.ParagraphCount(), 1u);
  EXPECT_EQ(d.ParagraphAt(0).runs,
            (std::vector<TextRun>{{"ab", {true, false, false, 0}}, {"cd", {}}}));
}

TEST(DocumentFormat, AlignmentIsTheOneInForceAtTheParagraphsEnd) {
  const Document d =
      ParseDocument(Rtf("\\qc a\\par\\pard b\\qr\\par\\qj c\\line d\\par\\pard{\\qc e}\\par"
                        "\\pard\\qc f\\plain\\par"));
  std::vector<Alignment> alignments;
  for (const Paragraph& p : d) {
    alignments.push_back(p.alignment);
  }
  using enum Alignment;
  EXPECT_EQ(alignments,
            (std::vector<Alignment>{Center, Right, Justify, Justify, Left, Center, Center}));
}

// Formats and alignments carry on over paragraph breaks; each paragraph gets its own runs.
TEST(DocumentFormat, RunsAndAlignmentsAcrossParagraphs) {
  const Document d = ParseDocument(Rtf("{\\b a\\par b}c\\par\\par\\qc{\\i d\\par\\pard e}\\par"));
  const TextFormat bold{true, false, false, 0};
  const TextFormat italic{false, true, false, 0};
  const std::vector<Paragraph> expected = {
      {"a", {{"a", bold}}, Alignment::Left},
      {"bc", {{"b", bold}, {"c", {}}}, Alignment::Left},
      {"", {}, Alignment::Left},
      {"d", {{"d", italic}}, Alignment::Center},
      {"e", {{"e", italic}}, Alignment::Center},  // the group's end brings its alignment back
      {"", {}, Alignment::Center},
  };
  EXPECT_EQ(std::vector<Paragraph>(d.begin(), d.end()), expected);
}

// A paragraph asked for by its index is the one a walk reaches, on either side of every place
// the document keeps a paragraph's start.
TEST(DocumentFormat, ParagraphAtIsWhatTheWalkReaches) {
  std::string plain;
  std::string rich = "{\\rtf1 ";
  for (int i = 0; i < 700; ++i) {
    const std::string text = i % 3 == 0 ? "" : std::to_string(i);
    plain += text + (i % 2 == 0 ? "\r\n" : "\n");
    rich +=
        (i % 5 == 0 ? "\\qc " : "\\pard ") + (i % 7 == 0 ? "{\\b " + text + "}" : text) + "\\par ";
  }
  rich += "}";
  for (const std::string& input : {plain, rich}) {
    const Document d = ParseDocument(input);
    ASSERT_EQ(d.ParagraphCount(), 701u);
    std::size_t index = 0;
    for (const Paragraph& p : d) {
      ASSERT_EQ(d.ParagraphAt(index), p) << "paragraph " << index;
      ++index;
    }
    EXPECT_EQ(index, d.ParagraphCount());
    EXPECT_THROW(d.ParagraphAt(100000), std::out_of_range);
  }
  EXPECT_EQ(ParseDocument("").begin(), ParseDocument("").end());
}

TEST(DocumentView, ViewTextIsWindows1252WithCrLf) {
  const Document d =
      ParseDocument(Rtf("\\ldblquote Hi\\u8230?\\rdblquote\\par caf\\'e9 \\u955?\\par"));
  EXPECT_EQ(d.ViewText(), "\x93Hi\x85\x94\r\ncaf\xE9 ?\r\n");
  EXPECT_EQ(d.TextUtf8(), "\u201CHi\u2026\u201D\ncaf\u00E9 \u03BB\n");
}

// A break after the last paragraph stays in the view, as a rich-text view keeps the final
// paragraph mark: the engine only fetches a line that ends with a line feed.
TEST(DocumentView, KeepsTheLineEndAfterTheLastParagraph) {
  const struct {
    std::string input;
    std::string view;
  } cases[] = {
      {"", ""},
      {"a", "a"},
      {"a\n", "a\r\n"},
      {"a\nb", "a\r\nb"},
      {"{\\rtf1 a\\par b\\par }", "a\r\nb\r\n"},
      {"{\\rtf1 a\\par b}", "a\r\nb"},
      {"The end.\r\n~~~\r\n", "The end.\r\n~~~\r\n"},
      {"The end.\n~~~\n", "The end.\r\n~~~\r\n"},
      {"The end.\r~~~\r", "The end.\r\n~~~\r\n"},
      {Rtf("{\\qc The end.}\\par\\pard\\qc ~~~\\par "), "The end.\r\n~~~\r\n"},
      {Rtf("The end.\\par ~~~\\line "), "The end.\r\n~~~\r\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseDocument(c.input).ViewText(), c.view) << c.input;
  }
}

TEST(DocumentView, TheEngineFetchesTheEndMarkerOnTheLastLine) {
  for (const std::string& input : {std::string("CHAPTER 68\r\nThe end.\r\n~~~\r\n"),
                                   Rtf("CHAPTER 68\\par The end.\\par ~~~\\par ")}) {
    MemoryView view(ParseDocument(input).ViewText());
    ReaderState state;
    std::vector<std::string> lines;
    for (std::string line; !(line = GetNextLine(view, state)).empty();) {
      lines.push_back(line);
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"CHAPTER 68\r\n", "The end.\r\n", "~~~\r\n"}))
        << input;
    EXPECT_EQ(state.CurrentChapter, 68);
  }
}

TEST(DocumentView, PlainTextRoundTripsThroughTheView) {
  std::string all_bytes;
  for (int b = 1; b < 256; ++b) {
    if (b != '\r' && b != '\n') {
      all_bytes += static_cast<char>(b);
    }
  }
  const std::string input = all_bytes + "\r\n\r\n" + all_bytes;
  EXPECT_EQ(ParseDocument(input).ViewText(), input);
}

// Sample written with LibreOffice Writer (sample.fodt), saved by it as rich text and as text.
TEST(LibreOfficeSample, TextEqualsLibreOfficesTextExport) {
  const Document rich = LoadDocument(kDataDir + "sample.rtf");
  std::string export_text = ReadFile(kDataDir + "sample.txt");
  ASSERT_TRUE(export_text.starts_with("\xEF\xBB\xBF"));  // UTF-8 with a byte order mark
  export_text.erase(0, 3);
  // The export ends each paragraph with a line feed, the last one too; the document's last
  // paragraph mark leaves an empty paragraph after "~~~", just as the split leaves an empty text.
  ASSERT_TRUE(export_text.ends_with("~~~\n"));
  std::vector<std::string> expected;
  for (std::size_t start = 0;;) {
    const std::size_t end = export_text.find('\n', start);
    expected.push_back(export_text.substr(start, end - start));
    if (end == std::string::npos) {
      break;
    }
    start = end + 1;
  }
  ASSERT_GE(expected.size(), 9u);
  EXPECT_EQ(ParagraphTexts(rich), expected);
  EXPECT_EQ(rich.TextUtf8(), export_text);
}

TEST(LibreOfficeSample, KeepsFormattingAndTheEnginesText) {
  const Document d = LoadDocument(kDataDir + "sample.rtf");
  ASSERT_GE(d.ParagraphCount(), 3u);
  const Paragraph heading = d.ParagraphAt(0);
  EXPECT_EQ(heading.alignment, Alignment::Center);
  ASSERT_EQ(heading.runs.size(), 1u);
  EXPECT_TRUE(heading.runs[0].format.bold);
  EXPECT_EQ(heading.runs[0].format.font_half_points, 32);

  const Paragraph second = d.ParagraphAt(1);
  EXPECT_EQ(second.alignment, Alignment::Justify);
  std::vector<std::string> bold, italic;
  for (const TextRun& run : second.runs) {
    if (run.format.bold) {
      bold.emplace_back(run.text_utf8);
    }
    if (run.format.italic) {
      italic.emplace_back(run.text_utf8);
    }
  }
  EXPECT_EQ(bold, std::vector<std::string>{"Tuesday"});
  EXPECT_EQ(italic, std::vector<std::string>{"least suspicious"});

  const std::string view = d.ViewText();
  EXPECT_NE(view.find("\x93"
                      "Are you sure?\x94 asked Mary. \x91Quite,\x92 he said \x97 and then, "
                      "after a pause\x85 \x93"
                      "Absolutely.\x94\r\n"),
            std::string::npos);
  EXPECT_NE(view.find("letter ? on a napkin"), std::string::npos);
  EXPECT_TRUE(view.ends_with("hand.\r\n~~~\r\n"));
}

TEST(LoadDocument, MissingOrUnreadableFileNamesThePathAsGiven) {
  for (const std::string& path :
       std::vector<std::string>{"NoSuchDocument.rtf", kDataDir + "no/such/file.rtf", kDataDir}) {
    try {
      LoadDocument(path);
      ADD_FAILURE() << path << " loaded";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), "Cannot open file " + path);
    }
  }
}

// What is not a regular file, or is too large, is refused at once and without reading it: a FIFO
// with no writer would block for ever, /dev/zero never ends.
TEST(LoadDocument, RefusesWhatIsNotARegularFileAndWhatIsTooLarge) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("document_test_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string fifo = (dir / "fifo.rtf").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string link = (dir / "link.rtf").string();
  fs::create_symlink("/dev/zero", link);
  const std::string large = (dir / "large.txt").string();
  std::ofstream(large) << "x";
  fs::resize_file(large, kMaxDocumentBytes + 1);  // sparse: no disk, no time
  const std::string at_limit = (dir / "at_limit.txt").string();
  std::ofstream(at_limit) << "Last line.";
  fs::resize_file(at_limit, kMaxDocumentBytes);
  const struct {
    std::string path;
    std::string_view why;
  } cases[] = {
      {"/dev/zero", kNotRegularFile},
      {fifo, kNotRegularFile},
      {link, kNotRegularFile},
      {large, kDocumentTooLarge},
  };
  for (const auto& c : cases) {
    try {
      LoadDocument(c.path);
      ADD_FAILURE() << c.path << " loaded";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), "Cannot open file " + c.path + ": " + std::string(c.why));
    }
  }
  EXPECT_EQ(LoadDocument(at_limit).ParagraphCount(), 1u);
  fs::remove_all(dir);
}

// Every prefix of a real document (a file cut anywhere) loads, and loads no more than the whole.
TEST(BadInput, EveryCutOfARealDocumentLoads) {
  const std::string whole = ReadFile(kDataDir + "sample.rtf");
  const std::string whole_text = ParseDocument(whole).TextUtf8();
  for (std::size_t n = 0; n <= whole.size(); ++n) {
    const std::string text = ParseDocument(std::string_view(whole).substr(0, n)).TextUtf8();
    ASSERT_LE(text.size(), whole_text.size()) << "cut at " << n;
  }
}

TEST(BadInput, DeepNestingKeepsTheFormattingItCan) {
  constexpr int kDepth = 100000;
  std::string input = "{\\rtf1 a";
  for (int i = 0; i < kDepth; ++i) {
    input += "{\\b ";
  }
  input += "deep";
  input.append(kDepth, '}');
  input += "b\\par c}";
  const Document d = ParseDocument(input);
  ASSERT_EQ(d.ParagraphCount(), 2u);
  EXPECT_EQ(d.ParagraphAt(0).runs,
            (std::vector<TextRun>{{"a", {}}, {"deep", {true, false, false, 0}}, {"b", {}}}));
  EXPECT_EQ(d.ParagraphAt(1).text_utf8, "c");
}

TEST(BadInput, DeepNestingUnclosedAndInsideDestinations) {
  const std::string opens(100000, '{');
  EXPECT_EQ(ParseDocument("{\\rtf1 a" + opens + "b").TextUtf8(), "ab");
  EXPECT_EQ(
      ParseDocument("{\\rtf1 a{\\*\\x" + opens + "b" + std::string(100001, '}') + "c}").TextUtf8(),
      "ac");
  EXPECT_EQ(ParseDocument("{\\rtf1 a" + std::string(100000, '}') + "b").TextUtf8(), "a");
}

TEST(BadInput, FiftyMegabyteDocumentLoadsWhole) {
  const std::string sample = ReadFile(kDataDir + "sample.rtf");
  const std::size_t body_start = sample.find("\\pgndec\\pard");
  const std::size_t body_end = sample.rfind('}');
  ASSERT_NE(body_start, std::string::npos);
  const std::string body = sample.substr(body_start, body_end - body_start);
  // The sample ends with a paragraph mark: its last paragraph is empty, and in the big document
  // it is the start of the next copy's first paragraph.
  const std::size_t sample_paragraphs = ParseDocument(sample).ParagraphCount() - 1;

  std::string big = sample.substr(0, body_start);
  std::size_t copies = 0;
  for (; big.size() < 50u << 20; ++copies) {
    big += body;
  }
  big += "}";
  const Document d = ParseDocument(big);
  ASSERT_EQ(d.ParagraphCount(), copies * sample_paragraphs + 1);
  EXPECT_EQ(d.ParagraphAt(d.ParagraphCount() - 2).text_utf8, "~~~");
  EXPECT_TRUE(d.ParagraphAt(d.ParagraphCount() - 1).runs.empty());
}

}  // namespace
}  // namespace quillon
