#include "app/bookmarks.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace quillon {
namespace {

namespace fs = std::filesystem;

// A view of fixed display lines of ten characters each, a page of three lines.
class LinesView final : public RichTextView {
 public:
  explicit LinesView(std::int64_t length) : length_(length) {}
  std::int64_t TextLength() const override { return length_; }
  std::string Text() const override { return std::string(static_cast<std::size_t>(length_), 'x'); }
  std::int64_t SelectionStart() const override { return start_; }
  std::int64_t SelectionLength() const override { return length_selected_; }
  void SetSelection(std::int64_t start, std::int64_t length) override {
    calls.push_back("select");
    start_ = std::clamp<std::int64_t>(start, 0, length_);
    length_selected_ = std::clamp<std::int64_t>(length, 0, length_ - start_);
  }
  std::string SelectedText() const override { return {}; }
  std::int64_t FindForward(std::string_view, std::int64_t, std::int64_t) const override {
    return -1;
  }
  std::int64_t FirstVisibleLine() const override { return first_; }
  void ScrollLines(std::int64_t lines) override {
    calls.push_back("scroll " + std::to_string(lines));
    first_ = std::clamp<std::int64_t>(first_ + lines, 0, LastTop());
  }
  void ScrollCaret() override {
    calls.push_back("caret");
    const std::int64_t line = start_ / 10;
    if (line < first_) {
      first_ = line;
    } else if (line >= first_ + 3) {
      first_ = line - 2;
    }
  }
  void SetFocus() override {}

  std::vector<std::string> calls;

 private:
  std::int64_t LastTop() const { return std::max<std::int64_t>(length_ / 10 - 2, 0); }
  std::int64_t length_;
  std::int64_t start_ = 0;
  std::int64_t length_selected_ = 0;
  std::int64_t first_ = 0;
};

class BookmarksTest : public testing::Test {
 protected:
  BookmarksTest() {
    std::string pattern = (fs::temp_directory_path() / "quillon-bookmarks-XXXXXX").string();
    dir_ = ::mkdtemp(pattern.data());
    path_ = dir_ + "/reader.INI";
  }
  ~BookmarksTest() override { fs::remove_all(dir_); }

  std::string Content() const {
    std::ifstream in(path_, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  void Store(const std::string& content) const { std::ofstream(path_) << content; }

  std::string dir_;
  std::string path_;
};

TEST(CentredWindowPosition, RoundsEachHalfOnItsOwn) {
  EXPECT_EQ(CentredWindowPosition(1366, 768, 780, 600), (WindowPosition{293, 84}));
  // Halves rounded on their own: 683 - 390, where (1366 - 781) / 2 would be 292.
  EXPECT_EQ(CentredWindowPosition(1366, 768, 781, 601), (WindowPosition{293, 84}));
  EXPECT_EQ(CentredWindowPosition(640, 480, 780, 600), (WindowPosition{-70, -60}));
}

TEST(BringIntoCoordinateRange, MovesOnlyAPositionTheWindowSystemCannotHold) {
  struct Case {
    WindowPosition stored;
    CoordinateRange range;
    WindowPosition brought;
  };
  // A 780 x 600 window; under X11 its right and bottom ends must stay at or below 32767.
  // clang-format off
  const Case cases[] = {
    {{293, 84},                 kX11Coordinates,   {293, 84}},
    {{-4000, 12},               kX11Coordinates,   {-4000, 12}},      // off the screen: as stored
    {{20000, 31000},            kX11Coordinates,   {20000, 31000}},
    {{31987, 32167},            kX11Coordinates,   {31987, 32167}},   // the last that fit
    {{31988, 32168},            kX11Coordinates,   {31987, 32167}},
    {{0, 32767},                kX11Coordinates,   {0, 32167}},
    {{0, 40000},                kX11Coordinates,   {0, 32167}},
    {{INT32_MAX, 0},            kX11Coordinates,   {31987, 0}},
    {{0, INT32_MAX},            kX11Coordinates,   {0, 32167}},
    {{-1, -1},                  kX11Coordinates,   {-1, -1}},         // $FFFFFFFF
    {{-32768, -32768},          kX11Coordinates,   {-32768, -32768}},
    {{-32769, INT32_MIN},       kX11Coordinates,   {-32768, -32768}},
    {{INT32_MAX, INT32_MAX},    kInt32Coordinates, {INT32_MAX - 780, INT32_MAX - 600}},
    {{INT32_MIN, 40000},        kInt32Coordinates, {INT32_MIN, 40000}},
  };
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(BringIntoCoordinateRange(c.stored, 780, 600, c.range), c.brought)
        << c.stored.left << ", " << c.stored.top;
  }
  // A window larger than the whole range starts at its lowest coordinate.
  EXPECT_EQ(BringIntoCoordinateRange({5, 5}, 70000, 70000, kX11Coordinates),
            (WindowPosition{-32768, -32768}));
}

TEST_F(BookmarksTest, WindowPositionDefaultsToCentredAndStoredValuesAreUsedUnchanged) {
  EXPECT_EQ(LoadWindowPosition(path_, {293, 84}), (WindowPosition{293, 84}));
  SaveWindowPosition(path_, {-4000, 12});
  EXPECT_EQ(Content(), "[Metrics]\nLeft=-4000\nTop=12\n");
  EXPECT_EQ(LoadWindowPosition(path_, {293, 84}), (WindowPosition{-4000, 12}));
  Store("[Metrics]\nLeft=junk\nTop=$10\n");
  EXPECT_EQ(LoadWindowPosition(path_, {293, 84}), (WindowPosition{293, 16}));
}

TEST_F(BookmarksTest, ClosingStoresTheReadingStateButNoPlace) {
  StoreReadingState(path_, ReaderState{5, 12, true, true});
  EXPECT_EQ(Content(),
            "[Bookmarks]\nLastVoice=5\nLastChapter=12\nFirstOccurrenceOfHRInK12HasBeenRead=1\n");
}

TEST_F(BookmarksTest, GoToWithoutABookmarkGivesTheStartVoiceZeroChapterOne) {
  LinesView view(200);
  view.SetSelection(55, 4);
  view.ScrollLines(6);
  view.calls.clear();
  ReaderState state{7, 9, true, true};
  GoToBookmark(path_, view, state);
  EXPECT_EQ(view.SelectionStart(), 0);
  EXPECT_EQ(view.SelectionLength(), 0);
  EXPECT_EQ(view.FirstVisibleLine(), 0);
  EXPECT_EQ(state.CurrentVoice, 0);
  EXPECT_EQ(state.CurrentChapter, 1);
  EXPECT_FALSE(state.FirstOccurrenceOfHRInK12HasBeenRead);
  EXPECT_TRUE(state.StopRequested);  // not part of a bookmark
  EXPECT_EQ(view.calls, (std::vector<std::string>{"select", "scroll -6", "caret"}));
}

TEST_F(BookmarksTest, SetThenGoToRestoresPlaceAndStateInTheWrittenOrder) {
  LinesView view(200);
  view.SetSelection(73, 12);  // a line being read
  view.ScrollLines(5);
  SetBookmark(path_, view, ReaderState{3, 8, false, true});
  EXPECT_EQ(Content(),
            "[Bookmarks]\nLine=5\nCursor=73\nLastVoice=3\nLastChapter=8\n"
            "FirstOccurrenceOfHRInK12HasBeenRead=1\n");

  // Later: the reading went on, the view moved, the program stored a newer state on closing.
  view.SetSelection(150, 0);
  view.ScrollLines(20);
  StoreReadingState(path_, ReaderState{11, 9, false, false});

  ReaderState state;
  view.calls.clear();
  GoToBookmark(path_, view, state);
  EXPECT_EQ(view.SelectionStart(), 73);
  EXPECT_EQ(view.SelectionLength(), 0);
  EXPECT_EQ(view.FirstVisibleLine(), 5);
  EXPECT_EQ(state.CurrentVoice, 11);
  EXPECT_EQ(state.CurrentChapter, 9);
  EXPECT_FALSE(state.FirstOccurrenceOfHRInK12HasBeenRead);
  EXPECT_EQ(view.calls.back(), "caret");
}

TEST_F(BookmarksTest, GoToScrollsAsFarAsTheViewCanAndThenShowsTheCaret) {
  Store("[Bookmarks]\nLine=500\nCursor=0x1F\n");
  LinesView view(200);  // 20 lines: the top can go no further than line 18
  ReaderState state;
  GoToBookmark(path_, view, state);
  EXPECT_EQ(view.SelectionStart(), 31);
  // Line 500 is out of reach (top 18); the caret on line 3 is then scrolled into view.
  EXPECT_EQ(view.FirstVisibleLine(), 3);
  EXPECT_EQ(view.calls, (std::vector<std::string>{"select", "scroll 500", "caret"}));
}

TEST_F(BookmarksTest, AFailedWriteSkipsTheRestOfTheOperation) {
  const std::string unwritable = dir_ + "/missing/reader.INI";
  LinesView view(100);
  EXPECT_THROW(SetBookmark(unwritable, view, ReaderState{}), std::runtime_error);
  EXPECT_THROW(SaveWindowPosition(unwritable, {1, 2}), std::runtime_error);
  EXPECT_FALSE(fs::exists(unwritable));
  // Reading never fails: defaults.
  ReaderState state;
  GoToBookmark(unwritable, view, state);
  EXPECT_EQ(state.CurrentChapter, 1);
}

}  // namespace
}  // namespace quillon
