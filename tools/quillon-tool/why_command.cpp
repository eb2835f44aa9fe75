// quillon-tool why DOCUMENT LINE
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "pronunciation/pronunciation_rule.h"
#include "text/encoding.h"
#include "text/text_primitives.h"
#include "tools/quillon-tool/commands.h"
#include "tools/quillon-tool/document.h"
#include "tools/quillon-tool/explained_reading.h"
#include "tools/quillon-tool/text_diff.h"
#include "tools/quillon-tool/why.h"
#include "voices/speaker_cue.h"
#include "voices/speaker_name.h"
#include "voices/voice_profiles.h"

namespace quillon::tool {
namespace {

// How marked text is shown: terminal colours, or brackets that survive a pipe.
class Marks {
 public:
  explicit Marks(bool colour) : colour_(colour) {}

  std::string Found(std::string_view text) const { return Mark(text, "\x1b[7m", "[[", "]]"); }
  std::string Removed(std::string_view text) const { return Mark(text, "\x1b[31;9m", "[-", "-]"); }
  std::string Added(std::string_view text) const { return Mark(text, "\x1b[32m", "{+", "+}"); }
  std::string Heading(std::string_view text) const { return Mark(text, "\x1b[1m", "", ""); }

 private:
  // text is Windows-1252; the result UTF-8.
  std::string Mark(std::string_view text, const char* colour, const char* open,
                   const char* close) const {
    const std::string utf8 = Windows1252ToUtf8(text);
    if (colour_) {
      return colour + utf8 + "\x1b[0m";
    }
    return open + utf8 + close;
  }

  bool colour_;
};

std::string Quoted(std::string_view text) {
  return "\"" + Windows1252ToUtf8(text) + "\"";
}

// The line without the line break it was fetched with.
std::string_view WithoutLineBreak(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
    line.remove_suffix(1);
  }
  return line;
}

// text with the first occurrence of found marked.
std::string MarkFirst(std::string_view text, std::string_view found, const Marks& marks) {
  const std::size_t at = Position(found, text);
  if (at == 0) {
    return Windows1252ToUtf8(text);
  }
  return Windows1252ToUtf8(text.substr(0, at - 1)) + marks.Found(found) +
         Windows1252ToUtf8(text.substr(at - 1 + found.size()));
}

// Unchanged text longer than this is shown as its ends around an ellipsis.
constexpr std::size_t kContext = 24;

std::string Elided(std::string_view same, bool first, bool last) {
  if (same.size() <= 2 * kContext + 3) {
    return Windows1252ToUtf8(same);
  }
  const std::string head = first ? "" : Windows1252ToUtf8(same.substr(0, kContext));
  const std::string tail = last ? "" : Windows1252ToUtf8(same.substr(same.size() - kContext));
  return head + "\xE2\x80\xA6" + tail;  // an ellipsis in UTF-8
}

// The rewrite as a difference, with long unchanged stretches cut to their ends.
std::string Difference(std::string_view before, std::string_view after, const Marks& marks) {
  const std::vector<DiffPiece> pieces = DiffTexts(before, after);
  std::string shown;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const DiffPiece& piece = pieces[i];
    switch (piece.kind) {
      case DiffPiece::Kind::Same:
        shown += Elided(piece.text, i == 0, i + 1 == pieces.size());
        break;
      case DiffPiece::Kind::Removed:
        shown += marks.Removed(piece.text);
        break;
      case DiffPiece::Kind::Added:
        shown += marks.Added(piece.text);
        break;
    }
  }
  return shown;
}

void PrintDecision(const ReadLine& line, const Marks& marks, std::ostream& out) {
  using By = SpeakerDecision::By;
  const SpeakerDecision& speaker = line.speaker;
  const std::string_view text = WithoutLineBreak(line.text);
  switch (speaker.by) {
    case By::Cue: {
      const auto cues = SpeakerCues();
      const SpeakerCue& cue = cues[speaker.row - 1];
      out << "Decided by cue row " << speaker.row << " of " << cues.size() << " (voice "
          << cue.voice << "): " << Quoted(cue.cue) << '\n'
          << "  " << MarkFirst(text, cue.cue, marks) << '\n';
      return;
    }
    case By::Name: {
      const auto names = SpeakerNames();
      const SpeakerName& name = names[speaker.row - 1];
      out << "No cue matches. Decided by name row " << speaker.row << " of " << names.size()
          << " (voice " << name.voice << ", "
          << (name.kind == NameKind::Immediate ? "decides wherever it is found"
                                               : "the name that starts first")
          << "): " << Quoted(name.name) << '\n'
          << "  names searched in: "
          << MarkFirst(WithoutLineBreak(speaker.narration), name.name, marks) << '\n';
      return;
    }
    case By::Previous:
      out << "No cue matches and no name is in the narration: a quotation goes on in the voice "
             "before it (voice "
          << speaker.voice << ").\n"
          << "  names searched in: " << Windows1252ToUtf8(WithoutLineBreak(speaker.narration))
          << '\n';
      return;
    case By::Narrator:
      out << "No cue matches, no name is in the line and it holds no double quotation mark: "
             "the narrator (voice 0).\n";
      return;
    case By::NotDetected:
      out << "The line holds no double quotation mark nor \"1.\" and chapter " << line.chapter
          << " is not 57: the narrator (voice 0), without speaker detection.\n";
      return;
  }
}

// One rule that changed the sentence or whose outcome matters; false for a rule whose guard held
// but that found nothing to replace, which the caller lists apart.
bool PrintRule(const AppliedRule& applied, const Marks& marks, std::ostream& out) {
  const PronunciationRule& rule = PronunciationRules()[static_cast<std::size_t>(applied.row - 1)];
  const bool cascade = !rule.rewrites[1].search.empty();
  switch (applied.flag) {
    case FlagRowOutcome::Ignored:
      out << "  row " << applied.row << " (flag row): chapter 13, nothing done\n";
      return true;
    case FlagRowOutcome::SetFlag:
      out << "  row " << applied.row
          << " (flag row): the first in chapter 12 sets the flag and is left as it is\n";
      return true;
    case FlagRowOutcome::Rewrote:
    case FlagRowOutcome::None:
      break;
  }
  if (applied.before == applied.after && rule.effect != RuleEffect::SetsChapter99) {
    return false;
  }
  out << "  row " << applied.row;
  if (applied.flag == FlagRowOutcome::Rewrote) {
    out << " (flag row)";
  }
  if (rule.effect == RuleEffect::SetsChapter99) {
    out << " (sets the chapter to 99)";
  }
  if (cascade) {
    out << " (rewrite " << applied.alternative << " of 3)";
  }
  out << ": " << Difference(applied.before, applied.after, marks) << '\n';
  return true;
}

void PrintSentence(std::size_t number, std::size_t count, const SpokenSentence& sentence,
                   const Marks& marks, std::ostream& out) {
  const std::string framed = sentence.rules.empty() ? sentence.text : sentence.rules.front().before;
  out << marks.Heading("Sentence " + std::to_string(number) + " of " + std::to_string(count))
      << ", framed in the profile of voice " << sentence.framed_voice;
  if (!sentence.passage.empty() && sentence.framed_voice == 1) {
    out << " (the narration passage " << Quoted(sentence.passage) << " set voice 1)";
  }
  out << ":\n  " << Windows1252ToUtf8(framed) << '\n';
  std::string idle;
  for (const AppliedRule& applied : sentence.rules) {
    if (!PrintRule(applied, marks, out)) {
      const PronunciationRule& rule =
          PronunciationRules()[static_cast<std::size_t>(applied.row - 1)];
      idle += (idle.empty() ? "" : ", ") + std::to_string(applied.row) + " " +
              Quoted(rule.rewrites[0].search);
    }
  }
  if (!idle.empty()) {
    out << "  guard held, nothing to replace: row " << idle << '\n';
  }
  if (sentence.text == framed) {
    out << "  spoken as framed\n";
  } else {
    out << "  spoken: " << Windows1252ToUtf8(sentence.text) << '\n';
  }
}

void PrintWhy(const ReadLine& line, const std::vector<SpokenSentence>& sentences,
              const Marks& marks, std::ostream& out) {
  const std::string_view text = WithoutLineBreak(line.text);
  out << marks.Heading("Line " + std::to_string(line.number)) << ", chapter " << line.chapter
      << ", view position " << line.start << ":\n  " << Windows1252ToUtf8(text) << '\n';
  if (!line.voiced) {
    if (Contains("~~~", line.text)) {
      out << "It holds the end marker \"~~~\": the reading ends here and nothing of it is "
             "spoken.\n";
    } else {
      out << "It is blank: nothing is spoken and the voice stays " << line.voice_after << ".\n";
    }
    return;
  }
  out << "Voice " << line.speaker.voice << ", profile "
      << Windows1252ToUtf8(GetVoiceProfileTag(line.speaker.voice)) << '\n';
  PrintDecision(line, marks, out);
  const auto passage = std::find_if(sentences.begin(), sentences.end(),
                                    [](const SpokenSentence& s) { return !s.passage.empty(); });
  if (passage != sentences.end()) {
    out << "Sentence " << passage - sentences.begin() + 1 << " holds the narration passage "
        << Quoted(passage->passage) << ": the voice is 1 from there to the end of the line.\n";
  }
  for (std::size_t i = 0; i < sentences.size(); ++i) {
    PrintSentence(i + 1, sentences.size(), sentences[i], marks, out);
  }
}

// Finds the line asked for and keeps what the reading did with it.
class LineFinder final : public ReadingListener {
 public:
  LineFinder(std::size_t number, std::string text) : number_(number), text_(std::move(text)) {}

  void OnSentence(const ReadLine& line, const SpokenSentence& sentence) override {
    if (Wanted(line)) {
      sentences_.push_back(sentence);
    }
  }
  void OnLineDone(const ReadLine& line) override {
    if (Wanted(line)) {
      found_ = line;
    }
  }
  bool WantsMoreLines() const override { return !found_; }

  const std::optional<ReadLine>& found() const { return found_; }
  const std::vector<SpokenSentence>& sentences() const { return sentences_; }

 private:
  bool Wanted(const ReadLine& line) const {
    return !found_ && (number_ > 0 ? line.number == number_ : Contains(text_, line.text));
  }

  std::size_t number_;  // 0: look for text_
  std::string text_;
  std::optional<ReadLine> found_;
  std::vector<SpokenSentence> sentences_;
};

bool IsLineNumber(std::string_view text) {
  return !text.empty() && text.size() < 19 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

int RunWhyCommand(const WhyOptions& options, std::ostream& out, std::ostream& err, bool colour) {
  const bool by_number = IsLineNumber(options.line);
  const std::size_t number = by_number ? std::stoull(options.line) : 0;
  if (by_number && number == 0) {
    err << "Line numbers start at 1.\n";
    return kExitUsage;
  }
  if (options.line.empty()) {
    err << "Give a line number or a text of the line.\n";
    return kExitUsage;
  }
  std::optional<std::string> text = LoadDocumentTextOrSay(options.document, err);
  if (!text) {
    return kExitCannotOpen;
  }
  LineFinder finder(number, by_number ? std::string() : Utf8ToWindows1252(options.line));
  const ReadingResult result = ReadDocument(std::move(*text), {}, true, finder);
  if (!finder.found()) {
    const std::string where =
        result.end == ReadingEnd::EndMarker
            ? "the reading ends at the end marker in line " + std::to_string(result.lines)
            : "the reading ends at the end of the text after line " + std::to_string(result.lines);
    if (by_number) {
      err << "Line " << number << " is not read: " << where << ".\n";
    } else {
      err << "No line read holds \"" << options.line << "\"; " << where << ".\n";
    }
    return kExitNoSuchLine;
  }
  PrintWhy(*finder.found(), finder.sentences(), Marks(colour), out);
  FinishWriting(out, "explanation");
  return 0;
}

void AddWhyCommand(CLI::App& app, int& exit_code) {
  auto options = std::make_shared<WhyOptions>();
  CLI::App* command = app.add_subcommand(
      "why", "Explain one line: how its voice was decided and which rules rewrote its sentences");
  AddDocumentArgument(*command, options->document);
  command
      ->add_option("LINE", options->line,
                   "A line number (1 is the first line), or a text the line contains")
      ->required();
  command->callback([options, &exit_code] {
    exit_code = RunWhyCommand(*options, std::cout, std::cerr, isatty(STDOUT_FILENO) == 1);
  });
}

}  // namespace quillon::tool
