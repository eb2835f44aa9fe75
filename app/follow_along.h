// Follow along: shows in the view where the voice is, the sentence being spoken and the word being
// heard, from what the reading loop says of each sentence and the voice says of each word.
//
// The reading loop gives each line as it is fetched and, before each sentence is spoken, where the
// sentence stands in that line and how the spoken text maps back to it; the voice gives each word
// as it is heard. A word outside the view (the reader is elsewhere) scrolls it back, unless the
// reader has scrolled by hand since the line was fetched. Each reading has its own: a reading run
// nested in another keeps its lines apart from the outer one's.
#pragma once

#include <QMetaObject>
#include <cstdint>
#include <optional>

#include "app/qt_rich_text_view.h"
#include "app/reader_text_edit.h"
#include "reading/reading_loop.h"
#include "speech/speech_voice.h"

namespace quillon {

class FollowAlong {
 public:
  FollowAlong(ReaderTextEdit& edit, const QtRichTextView& view);
  ~FollowAlong();
  FollowAlong(const FollowAlong&) = delete;
  FollowAlong& operator=(const FollowAlong&) = delete;

  // A line was fetched and selected; it starts at the view's selection start.
  void LineFetched();
  // The sentence about to be spoken: its span is marked, and no word yet.
  void SentenceSpoken(const SpokenSentence& sentence);
  // A word of the sentence being spoken is heard.
  void WordHeard(const HeardWord& word);
  // The reading ended or stopped: nothing is marked.
  void Clear();

  // Where a span of the text given to Speak stands in the document; empty when it stands for
  // nothing there (markup the reading inserted).
  DocumentSpan ToDocument(TextSpan spoken) const;

 private:
  DocumentSpan LineSpanToDocument(TextSpan in_line) const;

  ReaderTextEdit& edit_;
  const QtRichTextView& view_;
  std::int64_t line_start_ = 0;
  std::optional<SpokenSentence> sentence_;
  DocumentSpan sentence_span_;
  bool scrolled_by_hand_ = false;
  QMetaObject::Connection scroll_connection_;
};

}  // namespace quillon
